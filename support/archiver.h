#pragma once
// Password-protected 7z archives through 7-Zip's "7zz" program. The program is run without a
// shell from an argument vector; the password reaches it only on its standard input (7zz asks
// for it there when it meets encrypted data), never on the command line that every local user
// can read, never in a log line, an error text or a file. Member names are plain file names:
// extraction ("e") drops every folder of the archive, so files land only in the target folder.
#include <cstdint>
#include <string>
#include <vector>

// The program's string-table passwords (entries 30006 and 30000).
namespace ArchivePassword {
inline constexpr char Project[] = "TaperK";
inline constexpr char Firmware[] = "PlumeRaven";
}  // namespace ArchivePassword

enum class ArchiveStatus {
  Ok,              // every requested member was extracted
  MissingMembers,  // the archive opened and the password fit, but some members are absent
  WrongPassword,   // 7zz refused the password (or data that only a wrong password spoils)
  Failed,          // missing or damaged archive, unusable name, I/O error, 7zz not runnable
};

struct ArchiveResult {
  ArchiveStatus Status = ArchiveStatus::Failed;
  int ExitCode = -1;                 // of the last 7zz run; -1 when none ran
  std::vector<std::string> Missing;  // requested members the archive lacks
  std::string Error;                 // short reason for logs; never holds the password
  bool Ok() const { return Status == ArchiveStatus::Ok; }
};

struct ExtractRequest {
  std::string Archive;               // path of the archive
  std::string OutDir;                // target folder ("-o"), created when missing
  std::vector<std::string> Members;  // plain names; "/", "\", "..", wildcards are refused
  std::string Password;              // empty: none is offered
  bool Recurse = false;              // "-r": also find the members in sub-folders
  bool TypeSevenZip = false;         // "-t7z": accept only the 7z format
};

struct ArchiveEntry {
  std::string Path;  // as stored, folders joined by "/"
  std::uint64_t Size = 0;
  bool Folder = false;
  bool Encrypted = false;
};

struct ArchiveCheckResult {
  bool Opened = false;            // the archive exists and 7zz read its directory
  bool PasswordAccepted = false;  // an encrypted member decrypted with the password
  std::vector<bool> Found;        // per required member; filled only after the password fit
  bool Valid() const;             // opened, password fit and every member found
};

class Archiver {
 public:
  // `program`: the 7zz executable; a name without "/" is searched in PATH.
  explicit Archiver(std::string program = "7zz");

  // "e" [-t7z] -o<dir> -y [-r] -- <archive> <members...>. Lists the archive first so that an
  // absent member is reported (7zz itself exits 0 for names it does not find); the members
  // that are present are extracted even when others are missing.
  ArchiveResult Extract(const ExtractRequest& request) const;

  // Project check: lists the archive, proves the password on one encrypted member (7zz "t"),
  // and only then looks up the required members. A wrong password is found without a lookup.
  ArchiveCheckResult Check(const std::string& archive, const std::string& password,
                           const std::vector<std::string>& required) const;

  // Directory of the archive (password needed only when its headers are encrypted).
  ArchiveResult List(const std::string& archive, const std::string& password,
                     std::vector<ArchiveEntry>& entries) const;

  // Creates (replaces) a 7z archive holding `files` under their file names (a folder is
  // stored with its contents, below its own name), every member and
  // the directory encrypted with `password` (AES-256, headers too when `encryptHeaders`).
  // For the database and project makers.
  ArchiveResult Create(const std::string& archive, const std::vector<std::string>& files,
                       const std::string& password, bool encryptHeaders = false) const;

  // The argument vector Extract runs (argv[0] is the program). Exposed for tests.
  std::vector<std::string> ExtractArguments(const ExtractRequest& request,
                                            const std::vector<std::string>& members) const;

  const std::string& Program() const { return program_; }

 private:
  std::string program_;
};

// True for a name that 7zz takes literally and that cannot leave the target folder.
bool IsPlainMemberName(const std::string& name);
