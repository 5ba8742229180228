#include "support/resource_pack.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

constexpr char kMissingText[] = "Plus.dll Does Not Exist!";
constexpr char kUnloadableText[] = "Plus.dll Cannot Be Loaded!";
constexpr char kErrorCaption[] = "ERROR";

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// The resource name is the file name without its extension ("INIOrder.tab" -> "INIOrder").
std::string ResourceNameOf(const std::string& fileName) {
  const std::size_t dot = fileName.find_last_of('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// Writes a new file only: an existing one (or a planted link) is never followed.
bool WriteNewFile(const std::string& path, const unsigned char* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

}  // namespace

ResourcePack::ResourcePack(std::string baseDir, ErrorReporter reportError)
    : modulePath_(WithSlash(std::move(baseDir)) + kPlusModulePath),
      reportError_(std::move(reportError)) {}

ResourcePack::~ResourcePack() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

void ResourcePack::ReportError(const std::string& text, const std::string& caption) const {
  if (reportError_) reportError_(text, caption);
}

bool ResourcePack::Load() {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(modulePath_, ec)) {
    ReportError(kMissingText, kErrorCaption);
    return false;
  }
  if (table_ != nullptr) return true;
  void* handle = ::dlopen(modulePath_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    ReportError(kUnloadableText, kErrorCaption);
    return false;
  }
  const auto* table = static_cast<const PlusResource*>(::dlsym(handle, kPlusTableSymbol));
  const auto* count = static_cast<const std::size_t*>(::dlsym(handle, kPlusCountSymbol));
  if (table == nullptr || count == nullptr) {
    ::dlclose(handle);
    ReportError(kUnloadableText, kErrorCaption);
    return false;
  }
  handle_ = handle;
  table_ = table;
  count_ = *count;
  return true;
}

const PlusResource* ResourcePack::Find(std::string_view name) const {
  for (std::size_t i = 0; i < count_; ++i) {
    if (table_[i].Name != nullptr && SameName(table_[i].Name, name)) return &table_[i];
  }
  return nullptr;
}

RC_Plus::RC_Plus(ResourcePack& pack, const std::string& tempDir, const std::string& fileName)
    : path_(WithSlash(tempDir) + fileName) {
  if (!pack.Load()) return;
  const PlusResource* resource = pack.Find(ResourceNameOf(fileName));
  if (resource == nullptr) return;
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(path_, ec))) {
    ok_ = std::filesystem::is_regular_file(std::filesystem::symlink_status(path_, ec));
    return;
  }
  ok_ = WriteNewFile(path_, resource->Data, resource->Size);
}

RC_Plus::~RC_Plus() {
  if (ok_) ::unlink(path_.c_str());
}
