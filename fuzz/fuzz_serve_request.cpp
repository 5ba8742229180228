// The station server's request handling: any bytes sent to it as a request (method, path,
// headers, body, or none of these) get a well-formed reply or a clean close, never a crash or a
// hang, and the server answers a plain request after each. The server runs once for the whole
// fuzzing session, on loopback, in front of an engine that refuses every action, with a token, so
// both the refusals and the routes behind the token are reached (the seeds carry the token).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "serve/station_feed.h"
#include "serve/station_server.h"

namespace {
class RefusingEngine final : public StationEngine {
 public:
  StationSnapshot Snapshot() override { return {}; }
  ProjectLoad LoadProject(const std::string&) override { return {}; }
  RunStart StartRun(const StationRunRequest&) override { return {}; }
  void RequestStop() override {}
  std::optional<RunTallyState> Run(std::uint64_t) override { return std::nullopt; }
  std::string RecordsPath() override { return "/nonexistent/Records.db"; }
};

struct Harness {
  RefusingEngine engine;
  StationFeed feed;
  StationServer server;
  Harness() : server(engine, feed, Options()) {
    std::string error;
    if (!server.Start(error)) __builtin_trap();
  }
  static ServerOptions Options() {
    ServerOptions options;
    options.port = 0;
    options.token = "fuzz-token";
    options.projectRoots = {"/nonexistent/Projects"};
    options.heartbeat = std::chrono::seconds(1);
    options.ioTimeout = std::chrono::seconds(1);
    return options;
  }
};

// Made by LLVMFuzzerInitialize, before the first input.
std::unique_ptr<Harness> harness;

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) __builtin_trap();
  timeval patience{10, 0};  // beyond the server's own read timeout
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  return fd;
}

enum class Ending { Answered, Closed, Hung };

// The reply's header block, up to its blank line or the connection's end.
Ending ReadReply(int fd, std::string& reply) {
  char buffer[256];
  while (reply.find("\r\n\r\n") == std::string::npos) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      reply.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno == ECONNRESET) {
      return Ending::Closed;
    } else if (errno != EINTR) {
      return Ending::Hung;  // nothing within the patience: neither an answer nor a close
    }
  }
  return Ending::Answered;
}

bool IsStatusLine(const std::string& line) {
  return line.size() >= 13 && line.compare(0, 9, "HTTP/1.1 ") == 0 && line[9] >= '1' &&
         line[9] <= '5' && std::isdigit(static_cast<unsigned char>(line[10])) &&
         std::isdigit(static_cast<unsigned char>(line[11])) && line[12] == ' ';
}

bool IsHeaderLine(const std::string& line) {
  const std::size_t colon = line.find(": ");
  return colon != std::string::npos && colon > 0 && line.find_first_of(" \t\r\n") > colon;
}

// A status line, then header lines, each ended by CR LF; the blank line that ends the block
// needed only when the connection did not end first.
bool IsWellFormed(const std::string& reply, Ending ending) {
  std::size_t at = 0;
  for (bool first = true;; first = false) {
    const std::size_t end = reply.find("\r\n", at);
    if (end == std::string::npos) return false;
    const std::string line = reply.substr(at, end - at);
    if (line.empty()) return !first;
    if (first ? !IsStatusLine(line) : !IsHeaderLine(line)) return false;
    at = end + 2;
    if (at == reply.size()) return ending == Ending::Closed;
  }
}

void Send(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t sent = 0;
  while (sent < size) {
    // No SIGPIPE: the server may answer early and close (a refused body).
    const ssize_t put = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
    if (put <= 0) break;
    sent += static_cast<std::size_t>(put);
  }
}

// A plain request on a fresh connection is answered 200 (503 while earlier connections are
// still being let go, then again), within the deadline.
bool AnswersNormally(int port) {
  static const std::string request =
      "GET /api/v1/station HTTP/1.1\r\nHost: fuzz\r\nAuthorization: Bearer fuzz-token\r\n"
      "Connection: close\r\n\r\n";
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < until) {
    const int fd = Connect(port);
    Send(fd, reinterpret_cast<const std::uint8_t*>(request.data()), request.size());
    std::string reply;
    const Ending ending = ReadReply(fd, reply);
    close(fd);
    if (ending == Ending::Answered && reply.compare(0, 13, "HTTP/1.1 200 ") == 0) return true;
    if (reply.compare(0, 13, "HTTP/1.1 503 ") != 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  harness = std::make_unique<Harness>();
  return 0;
}

// Any input gets a well-formed reply or a clean close, never silence: an input whose header
// block ends is answered; one whose headers never end is dropped at the read timeout (there is
// no request to answer yet). Either way the server answers the next client as before.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = Connect(harness->server.Port());
  // No half-close: the server takes a closed read side for a client that went away. A request
  // that is not whole is answered or dropped at the read timeout.
  Send(fd, data, size);
  std::string reply;
  const Ending ending = ReadReply(fd, reply);
  close(fd);
  if (ending == Ending::Hung) __builtin_trap();
  if (!reply.empty() && !IsWellFormed(reply, ending)) __builtin_trap();
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (input.find("\r\n\r\n") != std::string::npos && reply.empty()) __builtin_trap();
  if (!AnswersNormally(harness->server.Port())) __builtin_trap();
  return 0;
}
