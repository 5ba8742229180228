#include "support/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "support/system_paths_init.h"

namespace {
int OpenLockFile(const std::string& path, int flags) {
  // O_NOFOLLOW: a symbolic link planted under the lock's name is not followed.
  return ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0600);
}

bool IsOwnPlainFile(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}
}  // namespace

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the file releases the lock
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

std::string InstanceLock::LockPath(const std::string& folder, const std::string& title) {
  std::string name = title;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + name + ".lock";
}

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& folder,
                                                  const std::string& title) {
  const int fd = OpenLockFile(LockPath(folder, title), O_RDWR | O_CREAT);
  if (fd < 0) return std::nullopt;
  InstanceLock lock(fd);  // closes on every early return
  if (!IsOwnPlainFile(fd)) return std::nullopt;
  int rc = 0;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return std::nullopt;
  return lock;
}

bool InstanceLock::IsHeld(const std::string& folder, const std::string& title) {
  const int fd = OpenLockFile(LockPath(folder, title), O_RDONLY);
  if (fd < 0) return false;  // no lock file: that program never ran here
  InstanceLock probe(fd);
  int rc = 0;
  do {
    rc = ::flock(fd, LOCK_SH | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc != 0 && errno == EWOULDBLOCK;
}

std::string DefaultLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') {
    struct stat info {};
    if (::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode)) return runtime;
  }
  const std::string fallback = "/tmp/gangprog-" + std::to_string(::geteuid()) + "-run";
  return EnsurePrivateDir(fallback) ? fallback : std::string();
}
