#include "support/archiver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "support/child_process.h"

namespace fs = std::filesystem;

namespace {

// 7zz's exit codes.
constexpr int kExitOk = 0;

// Switches common to every run: answer every question with yes, no progress, no banner noise.
constexpr char kYes[] = "-y";
constexpr char kNoProgress[] = "-bsp0";
constexpr char kNoOutput[] = "-bso0";
constexpr char kEndOfSwitches[] = "--";

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// 7zz reads a leading "@" as a list file; "./" keeps such a path literal.
std::string LiteralPath(const std::string& path) {
  if (!path.empty() && (path.front() == '@' || path.front() == '-')) return "./" + path;
  return path;
}

bool PasswordUsable(const std::string& password) {
  return password.find_first_of("\r\n") == std::string::npos &&
         password.find('\0') == std::string::npos && password.size() < kChildInputLimit;
}

// The password as 7zz's prompt wants it: one line. Empty: nothing, so a prompt sees EOF.
std::string PasswordInput(const std::string& password) {
  return password.empty() ? std::string() : password + "\n";
}

bool MentionsWrongPassword(const ChildResult& run) {
  return run.Err.find("Wrong password") != std::string::npos ||
         run.Out.find("Wrong password") != std::string::npos;
}

// One line of 7zz's error output, for logs.
std::string FirstError(const ChildResult& run) {
  if (!run.Started) return run.Error;
  for (const std::string* text : {&run.Err, &run.Out}) {
    std::size_t pos = text->find("ERROR");
    if (pos == std::string::npos) continue;
    std::size_t end = text->find_first_of("\r\n", pos);
    std::string line = text->substr(pos, end == std::string::npos ? end : end - pos);
    if (line.size() > 200) line.resize(200);
    return line;
  }
  return "7zz exit code " + std::to_string(run.ExitCode);
}

ArchiveResult FailureOf(const ChildResult& run) {
  ArchiveResult result;
  result.ExitCode = run.ExitCode;
  result.Status = run.Started && MentionsWrongPassword(run) ? ArchiveStatus::WrongPassword
                                                            : ArchiveStatus::Failed;
  // 7zz stops with "Break signaled" (255) when it needs a password that stdin lacks.
  if (run.Started && run.ExitCode == 255) result.Status = ArchiveStatus::WrongPassword;
  result.Error = FirstError(run);
  return result;
}

ArchiveResult Failure(std::string why) {
  ArchiveResult result;
  result.Error = std::move(why);
  return result;
}

std::string_view ValueOf(std::string_view line, std::string_view name) {
  if (line.size() < name.size() + 3 || !line.starts_with(name)) return {};
  if (line.substr(name.size(), 3) != " = ") return {};
  return line.substr(name.size() + 3);
}

// Parses the technical listing (-slt -ba): blocks of "Name = value" lines, one per entry.
std::vector<ArchiveEntry> ParseListing(const std::string& text, std::vector<std::string>* blocks) {
  std::vector<ArchiveEntry> entries;
  ArchiveEntry current;
  std::string block;
  bool inEntry = false;
  auto flush = [&] {
    if (inEntry) {
      entries.push_back(current);
      if (blocks) blocks->push_back(block);
    }
    current = ArchiveEntry();
    block.clear();
    inEntry = false;
  };
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    if (auto v = ValueOf(line, "Path"); !v.empty()) {
      flush();
      current.Path = std::string(v);
      inEntry = true;
    } else if (!inEntry) {
      continue;
    } else if (auto size = ValueOf(line, "Size"); !size.empty()) {
      current.Size = std::strtoull(std::string(size).c_str(), nullptr, 10);
    } else if (auto attr = ValueOf(line, "Attributes"); !attr.empty()) {
      if (attr.front() == 'D') current.Folder = true;
    } else if (ValueOf(line, "Folder") == "+") {
      current.Folder = true;
    } else if (ValueOf(line, "Encrypted") == "+") {
      current.Encrypted = true;
    } else if (auto b = ValueOf(line, "Block"); !b.empty()) {
      block = std::string(b);
    }
  }
  flush();
  return entries;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Matches(const ArchiveEntry& entry, const std::string& member, bool recurse) {
  if (entry.Folder) return false;
  return recurse ? BaseName(entry.Path) == member : entry.Path == member;
}

bool AnyMatch(const std::vector<ArchiveEntry>& entries, const std::string& member, bool recurse) {
  return std::any_of(entries.begin(), entries.end(),
                     [&](const ArchiveEntry& e) { return Matches(e, member, recurse); });
}

// An extracted name must be a plain file: a link could point anywhere.
bool LandedAsFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  if (S_ISREG(st.st_mode)) return true;
  if (S_ISLNK(st.st_mode)) ::unlink(path.c_str());
  return false;
}

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

bool IsPlainMemberName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.front() == '-' || name.front() == '@') return false;
  if (name.find("..") != std::string::npos) return false;
  return name.find_first_of("/\\*?[]\r\n") == std::string::npos &&
         name.find('\0') == std::string::npos;
}

bool ArchiveCheckResult::Valid() const {
  return Opened && PasswordAccepted && !Found.empty() &&
         std::all_of(Found.begin(), Found.end(), [](bool f) { return f; });
}

Archiver::Archiver(std::string program) : program_(std::move(program)) {}

std::vector<std::string> Archiver::ExtractArguments(const ExtractRequest& request,
                                                    const std::vector<std::string>& members) const {
  std::vector<std::string> args = {program_, "e"};
  if (request.TypeSevenZip) args.emplace_back("-t7z");
  args.push_back("-o" + request.OutDir);
  if (request.Recurse) args.emplace_back("-r");
  args.insert(args.end(), {kYes, kNoProgress, kNoOutput, kEndOfSwitches});
  args.push_back(LiteralPath(request.Archive));
  args.insert(args.end(), members.begin(), members.end());
  return args;
}

ArchiveResult Archiver::List(const std::string& archive, const std::string& password,
                             std::vector<ArchiveEntry>& entries) const {
  entries.clear();
  if (!IsFile(archive)) return Failure("archive not found");
  if (!PasswordUsable(password)) return Failure("password not usable");
  const std::vector<std::string> args = {
      program_, "l", "-slt", "-ba", kEndOfSwitches, LiteralPath(archive)};
  const ChildResult run = RunChild(args, PasswordInput(password), 64u << 20);
  if (!run.Started || run.ExitCode != kExitOk) return FailureOf(run);
  entries = ParseListing(run.Out, nullptr);
  ArchiveResult result;
  result.Status = ArchiveStatus::Ok;
  result.ExitCode = run.ExitCode;
  return result;
}

ArchiveResult Archiver::Extract(const ExtractRequest& request) const {
  if (request.Members.empty()) return Failure("no member named");
  for (const auto& member : request.Members) {
    if (!IsPlainMemberName(member)) return Failure("member name refused: " + member);
  }
  if (request.OutDir.empty()) return Failure("no target folder");
  std::error_code ec;
  fs::create_directories(request.OutDir, ec);
  if (!fs::is_directory(request.OutDir, ec)) return Failure("target folder not usable");

  std::vector<ArchiveEntry> entries;
  ArchiveResult listed = List(request.Archive, request.Password, entries);
  if (!listed.Ok()) return listed;

  ArchiveResult result;
  std::vector<std::string> present;
  for (const auto& member : request.Members) {
    if (AnyMatch(entries, member, request.Recurse)) {
      present.push_back(member);
    } else {
      result.Missing.push_back(member);
    }
  }
  result.ExitCode = listed.ExitCode;
  if (!present.empty()) {
    const ChildResult run =
        RunChild(ExtractArguments(request, present), PasswordInput(request.Password));
    if (!run.Started || run.ExitCode != kExitOk) return FailureOf(run);
    result.ExitCode = run.ExitCode;
    for (const auto& member : present) {
      if (!LandedAsFile(WithSlash(request.OutDir) + member)) {
        result.Status = ArchiveStatus::Failed;
        result.Error = "member did not land as a file: " + member;
        return result;
      }
    }
  }
  result.Status = result.Missing.empty() ? ArchiveStatus::Ok : ArchiveStatus::MissingMembers;
  if (!result.Missing.empty()) result.Error = "member missing: " + result.Missing.front();
  return result;
}

namespace {

// The cheapest proof of the password: the smallest encrypted file that starts its block, so
// 7zz decodes nothing before it. Empty when nothing is encrypted.
std::string ProbeMember(const std::vector<ArchiveEntry>& entries,
                        const std::vector<std::string>& blocks) {
  std::string best;
  std::uint64_t bestSize = 0;
  std::string previousBlock = "\x01";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ArchiveEntry& e = entries[i];
    if (e.Folder || e.Size == 0) continue;
    const bool startsBlock = blocks[i] != previousBlock;
    previousBlock = blocks[i];
    if (!e.Encrypted || !startsBlock || !IsPlainMemberName(BaseName(e.Path))) continue;
    if (e.Path.find_first_of("*?[]") != std::string::npos || e.Path.front() == '@') continue;
    if (best.empty() || e.Size < bestSize) {
      best = e.Path;
      bestSize = e.Size;
    }
  }
  return best;
}

}  // namespace

ArchiveCheckResult Archiver::Check(const std::string& archive, const std::string& password,
                                   const std::vector<std::string>& required) const {
  ArchiveCheckResult check;
  if (!IsFile(archive) || !PasswordUsable(password)) return check;
  const std::vector<std::string> listArgs = {
      program_, "l", "-slt", "-ba", kEndOfSwitches, LiteralPath(archive)};
  const ChildResult listing = RunChild(listArgs, PasswordInput(password), 64u << 20);
  if (!listing.Started) return check;
  if (listing.ExitCode != kExitOk) {
    // Encrypted headers: the archive opened, but the password did not fit.
    check.Opened = MentionsWrongPassword(listing);
    return check;
  }
  check.Opened = true;
  std::vector<std::string> blocks;
  const std::vector<ArchiveEntry> entries = ParseListing(listing.Out, &blocks);

  const std::string probe = ProbeMember(entries, blocks);
  if (!probe.empty()) {
    const std::vector<std::string> testArgs = {
        program_, "t", kNoProgress, kNoOutput, kEndOfSwitches, LiteralPath(archive), probe};
    const ChildResult test = RunChild(testArgs, PasswordInput(password));
    if (!test.Started || test.ExitCode != kExitOk) return check;
  }
  check.PasswordAccepted = true;
  for (const auto& member : required) check.Found.push_back(AnyMatch(entries, member, false));
  return check;
}

ArchiveResult Archiver::Create(const std::string& archive, const std::vector<std::string>& files,
                               const std::string& password, bool encryptHeaders) const {
  if (files.empty()) return Failure("no file to store");
  if (password.empty() || !PasswordUsable(password)) return Failure("password not usable");
  for (const auto& file : files) {
    std::error_code ec;
    if (!IsFile(file) && !fs::is_directory(file, ec)) return Failure("file not found: " + file);
  }
  std::error_code ec;
  fs::remove(archive, ec);  // "a" would add to an old archive
  // A bare "-p" makes 7zz ask for the password, which it then reads from standard input.
  std::vector<std::string> args = {program_, "a", "-t7z", "-p"};
  if (encryptHeaders) args.emplace_back("-mhe=on");
  args.insert(args.end(), {kYes, kNoProgress, kNoOutput, kEndOfSwitches, LiteralPath(archive)});
  // 7zz keeps a relative path's folders in the member's name; an absolute path stores the
  // bare name, which is what the members are looked up by.
  for (const auto& file : files) args.push_back(fs::absolute(file, ec).string());
  const ChildResult run = RunChild(args, PasswordInput(password));
  if (!run.Started || run.ExitCode != kExitOk) return FailureOf(run);
  ArchiveResult result;
  result.Status = ArchiveStatus::Ok;
  result.ExitCode = run.ExitCode;
  return result;
}
