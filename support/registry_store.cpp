#include "support/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "support/ini_file.h"

namespace {
constexpr uid_t kRootUid = 0;
constexpr std::size_t kReadChunk = 4096;

// Closes the descriptor on every return.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

bool ReadAll(int fd, std::string& text) {
  char buffer[kReadChunk];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
}
}  // namespace

bool IsTrustedStoreFile(uid_t owner, mode_t mode) {
  return S_ISREG(mode) && owner == kRootUid && (mode & (S_IWGRP | S_IWOTH)) == 0;
}

RegistryStore RegistryStore::ForProgram(bool allowOverride) {
  const char* overridden = allowOverride ? std::getenv(kRegistryStoreEnv) : nullptr;
  if (overridden != nullptr && *overridden != '\0') return RegistryStore(overridden);
  return RegistryStore(kRegistryStoreDefault, true);
}

RegistryStore::Access RegistryStore::Read(std::string& text) const {
  const Descriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.Get() < 0) return Access::Missing;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) return Access::Missing;
  if (machineWide_ && !IsTrustedStoreFile(info.st_uid, info.st_mode)) return Access::Untrusted;
  if (!S_ISREG(info.st_mode) || !ReadAll(file.Get(), text)) return Access::Missing;
  return Access::Readable;
}

std::string RegistryStore::Refusal() const {
  std::string text;
  if (Read(text) != Access::Untrusted) return {};
  return "Mode Switches Ignored: " + path_ + " Must Be Owned By root And Writable By No One Else!";
}

bool RegistryStore::CheckRegistryMode(const std::string& key, const std::string& code) const {
  std::string text;
  if (Read(text) != Access::Readable) return false;
  IniFile store;
  store.LoadText(text);
  if (!store.ValueExists(key, RegistryKey::PasswordValue)) return false;
  // Compared exactly, letter case included: "jx" does not open the debug mode.
  return store.ReadString(key, RegistryKey::PasswordValue, "") == code;
}
