#include "support/file_helpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace {
// Owns one file descriptor, so every early return closes it.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded (a late write error shows up here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const unsigned char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, bytes, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CreateAndWrite(const void* buffer, std::size_t length, const std::string& path) {
  Fd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file.ok()) return false;
  if (buffer != nullptr && length > 0 &&
      !WriteAll(file.get(), static_cast<const unsigned char*>(buffer), length)) {
    return false;
  }
  return file.Close();
}
}  // namespace

std::uint64_t GetDiskFreeBytes(const std::string& path) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
}

bool FitsInFreeSpace(std::uint64_t freeBytes, std::uint64_t size, std::uint8_t count) {
  if (count != 0 && size > std::numeric_limits<std::uint64_t>::max() / count) return false;
  return size * count < freeBytes;
}

bool HasFreeSpace(const std::string& path, std::uint64_t size, std::uint8_t count) {
  return FitsInFreeSpace(GetDiskFreeBytes(path), size, count);
}

std::int64_t GetFileSizeBytes(const std::string& path) {
  Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.ok()) return -1;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

std::optional<std::size_t> ReadFileHead(const std::string& path, std::span<std::uint8_t> buffer) {
  Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.ok()) return std::nullopt;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::read(file.get(), buffer.data() + filled, buffer.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;  // end of the file
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

bool WriteFileBytes(const void* buffer, std::size_t length, const std::string& path) {
  return CreateAndWrite(buffer, length, path);
}

bool SaveBufferToFile(const std::string& path, const void* buffer, std::size_t length) {
  return CreateAndWrite(buffer, length, path);
}

std::string CharText(std::uint8_t byte) {
  return std::string(1, static_cast<char>(byte));
}

bool WipeAndDeleteFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  // O_NOFOLLOW: a link planted under a temporary name is removed, never the file it points to.
  if (S_ISREG(info.st_mode)) {
    Fd file(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW));
    if (!file.ok() || !file.Close()) return false;
  }
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}
