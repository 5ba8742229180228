// The station server's request handling: any bytes sent to it as a request (method, path,
// headers, body, or none of these) get an HTTP status line once the header block ends, never a
// crash or a hang. The server runs once for the whole fuzzing session, on loopback, in front of
// an engine that refuses every action, with a token, so both the refusals and the routes behind
// the token are reached (the seeds carry the token).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

// The reply's first bytes, up to its status line's end or the connection's.
std::string StatusLine(int fd) {
  std::string reply;
  char buffer[256];
  while (reply.find("\r\n") == std::string::npos) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(got));
  }
  return reply;
}

bool IsStatusLine(const std::string& reply) {
  return reply.size() >= 12 && reply.compare(0, 9, "HTTP/1.1 ") == 0 && reply[9] >= '1' &&
         reply[9] <= '5';
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  harness = std::make_unique<Harness>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = Connect(harness->server.Port());
  std::size_t sent = 0;
  while (sent < size) {
    const ssize_t put = write(fd, data + sent, size - sent);
    if (put <= 0) break;  // the server answered early and closed (a refused body)
    sent += static_cast<std::size_t>(put);
  }
  // No half-close: the server takes a closed read side for a client that went away. A request
  // that is not whole is answered at the read timeout.
  const std::string reply = StatusLine(fd);
  close(fd);
  // A request whose header block ends is answered. One whose headers never end is dropped by
  // the library at the read timeout without an answer: there is no request to answer yet.
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (input.find("\r\n\r\n") != std::string::npos && !IsStatusLine(reply)) __builtin_trap();
  return 0;
}
