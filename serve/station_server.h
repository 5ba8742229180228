#pragma once
// The station server: the HTTP API under /api/v1, the event stream, the metrics and the
// dashboard, on one listening socket, driving a StationEngine and streaming its feed.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serve/station_engine.h"
#include "serve/station_feed.h"

#include <httplib.h>

class AdmissionQueue;

inline constexpr int kDefaultServePort = 8470;

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = kDefaultServePort;  // 0: any free port (Port() tells which)
  std::string token;             // empty: no token asked (loopback only)
  std::vector<std::string> projectRoots;
  std::size_t maxConnections = 64;
  std::size_t maxBodyBytes = 64 * 1024;
  std::chrono::seconds ioTimeout{5};    // a request read or a response written
  std::chrono::seconds idleTimeout{5};  // a kept-alive connection without a request
  std::chrono::seconds heartbeat{10};   // an event stream without events
};

// "HOST:PORT" or "[V6]:PORT" into host and port; false when it is neither.
bool ParseListenAddress(const std::string& text, std::string& host, int& port);

class StationServer {
 public:
  // The engine publishes into `feed`; both outlive the server.
  StationServer(StationEngine& engine, StationFeed& feed, ServerOptions options);
  ~StationServer();
  StationServer(const StationServer&) = delete;
  StationServer& operator=(const StationServer&) = delete;

  // Binds and starts serving on a thread of its own; false with the reason when it cannot.
  // Listening beyond loopback without a token is refused.
  bool Start(std::string& error);
  int Port() const { return port_; }
  // Ends every event stream, stops accepting and joins the connection threads.
  void Stop();

 private:
  void Routes();
  // Before a request's body is read: the connection limit, the token, the path and method.
  bool Refused(const httplib::Request& request, httplib::Response& response);
  bool Authorized(const httplib::Request& request) const;
  // The POST routes (the path is one of them: the checks before have made sure).
  void Post(const httplib::Request& request, httplib::Response& response);
  void Station(httplib::Response& response);
  void Project(const httplib::Request& request, httplib::Response& response);
  void Run(const httplib::Request& request, httplib::Response& response);
  void RunState(const httplib::Request& request, httplib::Response& response);
  void Records(const httplib::Request& request, httplib::Response& response);
  void Report(const httplib::Request& request, httplib::Response& response);
  void Events(const httplib::Request& request, httplib::Response& response);

  StationEngine& engine_;
  StationFeed& feed_;
  const ServerOptions options_;
  std::unique_ptr<httplib::Server> http_;
  AdmissionQueue* queue_ = nullptr;  // owned by the server while it listens
  std::thread listener_;
  int port_ = 0;
};
