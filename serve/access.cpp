#include "serve/access.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {
constexpr std::size_t kMaxTokenFileBytes = 4096;
constexpr const char* kBearer = "Bearer ";

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Closes the descriptor on every return.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

std::string Refusal(const std::string& path, const std::string& why) {
  return "the token file " + path + " " + why;
}

std::string ModeRefusal(const struct stat& info, const std::string& path) {
  if (!S_ISREG(info.st_mode)) return Refusal(path, "is not a regular file");
  if (info.st_uid != geteuid()) return Refusal(path, "belongs to another user");
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    return Refusal(path, "may be read or written by its group or others (chmod 600 it)");
  }
  return {};
}
}  // namespace

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

TokenFile ReadTokenFile(const std::string& path) {
  Descriptor file;
  // O_NOFOLLOW: the file checked is the file read, not what a link points at.
  file.fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (file.fd < 0)
    return {std::nullopt, Refusal(path, std::string("cannot be opened: ") + std::strerror(errno))};
  struct stat info {};
  if (fstat(file.fd, &info) != 0) return {std::nullopt, Refusal(path, "cannot be examined")};
  const std::string refusal = ModeRefusal(info, path);
  if (!refusal.empty()) return {std::nullopt, refusal};
  std::array<char, kMaxTokenFileBytes> buffer{};
  const ssize_t got = read(file.fd, buffer.data(), buffer.size());
  if (got < 0) return {std::nullopt, Refusal(path, "cannot be read")};
  std::string text(buffer.data(), static_cast<std::size_t>(got));
  const std::string token = Trimmed(text.substr(0, text.find('\n')));
  if (token.empty()) return {std::nullopt, Refusal(path, "holds no token")};
  return {token, {}};
}

bool SameToken(const std::string& presented, const std::string& token) {
  if (token.empty()) return false;
  unsigned difference = presented.size() == token.size() ? 0u : 1u;
  for (std::size_t i = 0; i < presented.size(); ++i) {
    const char expected = token[i % token.size()];
    difference |= static_cast<unsigned char>(presented[i] ^ expected);
  }
  return difference == 0;
}

std::string BearerToken(const std::string& authorization) {
  if (authorization.rfind(kBearer, 0) != 0) return {};
  return Trimmed(authorization.substr(std::strlen(kBearer)));
}
