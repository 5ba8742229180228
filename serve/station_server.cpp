#include "serve/station_server.h"

#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <limits>
#include <regex>

#include "serve/access.h"
#include "serve/admission_queue.h"
#include "serve/api_json.h"
#include "serve/dashboard_assets.h"
#include "serve/openapi.h"
#include "serve/project_roots.h"
#include "serve/records_query.h"
#include "serve/report_query.h"
#include "site/system_startup.h"

namespace {
constexpr std::size_t kOverflowThreads = 2;
constexpr std::size_t kEventsPerWrite = 256;
constexpr const char* kJson = "application/json";
// Each connection's socket holds at most this much unsent data (the kernel doubles it). Left to
// itself the kernel grows a stream's buffer to megabytes for a client that reads nothing, and
// such a client would never be found out; bounded, its writes stall and it is dropped.
constexpr int kSendBufferBytes = 64 * 1024;

struct Route {
  const char* pattern;  // the whole path, as a regular expression
  const char* methods;  // the methods it answers, as the Allow header lists them
};

// Every path the server answers; any other is 404, any other method on these 405.
const Route kRoutes[] = {
    {"/", "GET, HEAD"},
    {"/chart.js", "GET, HEAD"},
    {"/metrics", "GET, HEAD"},
    {"/api/v1/station", "GET, HEAD"},
    {"/api/v1/project", "POST"},
    {"/api/v1/run", "POST"},
    {"/api/v1/stop", "POST"},
    {"/api/v1/runs/[0-9]+", "GET, HEAD"},
    {"/api/v1/records", "GET, HEAD"},
    {"/api/v1/report", "GET, HEAD"},
    {"/api/v1/events", "GET"},
    {"/api/v1/openapi.json", "GET, HEAD"},
};

const Route* FindRoute(const std::string& path) {
  for (const Route& route : kRoutes) {
    if (std::regex_match(path, std::regex(route.pattern))) return &route;
  }
  return nullptr;
}

bool Allows(const Route& route, const std::string& method) {
  const std::string methods = std::string(", ") + route.methods + ",";
  return methods.find(", " + method + ",") != std::string::npos;
}

void Reply(httplib::Response& response, int status, const std::string& json) {
  response.status = status;
  response.set_content(json + "\n", kJson);
}

void Error(httplib::Response& response, int status, const std::string& text) {
  Reply(response, status, ErrorJson(text));
}

// The standard reason for statuses the library sets itself (bad request line, body too long).
std::string StatusText(int status) {
  switch (status) {
    case 400:
      return "bad request";
    case 404:
      return "no such path";
    case 413:
      return "the body is longer than 64 KiB";
    case 414:
      return "the path is too long";
    default:
      return "request failed (" + std::to_string(status) + ")";
  }
}

std::optional<std::uint64_t> Number(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (code != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

const std::string* Param(const httplib::Request& request, const char* key, std::string& storage) {
  if (!request.has_param(key)) return nullptr;
  storage = request.get_param_value(key);
  return &storage;
}

// A request that announces no body length has none (HTTP/1.1); the library would read it up to
// the connection's end instead, and never answer a client that waits for its reply.
bool WithoutBodyLength(const httplib::Request& request) {
  return request.method == "POST" && !request.has_header("Content-Length") &&
         !request.has_header("Transfer-Encoding");
}

std::string StreamText(const HubReader::Batch& batch) {
  std::string text;
  if (batch.reset) text += "event: reset\ndata: {\"event\":\"reset\"}\n\n";
  for (const HubEvent& event : batch.events) {
    text += "id: " + std::to_string(event.id) + "\nevent: " + event.type + "\ndata: " + event.data +
            "\n\n";
  }
  if (text.empty()) text = ": keep-alive\n\n";
  return text;
}
}  // namespace

bool ParseListenAddress(const std::string& text, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = text.substr(0, colon);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  }
  const std::optional<std::uint64_t> number = Number(text.substr(colon + 1));
  if (!number || *number > 65535) return false;
  port = static_cast<int>(*number);
  return true;
}

StationServer::StationServer(StationEngine& engine, StationFeed& feed, ServerOptions options)
    : engine_(engine), feed_(feed), options_(std::move(options)) {}

StationServer::~StationServer() {
  Stop();
}

bool StationServer::Start(std::string& error) {
  if (options_.token.empty() && !IsLoopbackHost(options_.host)) {
    error = "listening on " + options_.host + " reaches other machines: it needs --token-file";
    return false;
  }
  http_ = std::make_unique<httplib::Server>();
  http_->new_task_queue = [this] {
    auto* queue = new AdmissionQueue(options_.maxConnections, kOverflowThreads);
    queue_ = queue;
    return queue;
  };
  http_->set_socket_options([](socket_t socket) {
    httplib::default_socket_options(socket);
    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
  });  // set on the listening socket: every accepted connection inherits it
  http_->set_payload_max_length(options_.maxBodyBytes);
  http_->set_read_timeout(options_.ioTimeout);
  http_->set_write_timeout(options_.ioTimeout);
  http_->set_keep_alive_timeout(options_.idleTimeout.count());
  Routes();
  port_ = options_.port == 0
              ? http_->bind_to_any_port(options_.host)
              : (http_->bind_to_port(options_.host, options_.port) ? options_.port : -1);
  if (port_ <= 0) {
    error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
    http_.reset();
    return false;
  }
  listener_ = std::thread([this] { http_->listen_after_bind(); });
  return true;
}

void StationServer::Stop() {
  feed_.Hub().Close();
  if (http_) http_->stop();
  if (listener_.joinable()) listener_.join();
  http_.reset();
}

bool StationServer::Authorized(const httplib::Request& request) const {
  if (options_.token.empty()) return true;
  std::string presented = BearerToken(request.get_header_value("Authorization"));
  // A browser's page and event stream cannot set the header: they carry ?token=.
  if (presented.empty() && request.method == "GET") presented = request.get_param_value("token");
  return SameToken(presented, options_.token);
}

bool StationServer::Refused(const httplib::Request& request, httplib::Response& response) {
  if (queue_ != nullptr && queue_->OnOverflowThread()) {
    response.set_header("Connection", "close");
    Error(response, 503, "too many connections");
    return true;
  }
  if (!Authorized(request)) {
    response.set_header("WWW-Authenticate", "Bearer");
    Error(response, 401, "a valid bearer token is needed");
    return true;
  }
  const Route* route = FindRoute(request.path);
  if (route == nullptr) {
    Error(response, 404, "no such path");
    return true;
  }
  if (!Allows(*route, request.method)) {
    response.set_header("Allow", route->methods);
    Error(response, 405, "method not allowed; allowed: " + std::string(route->methods));
    return true;
  }
  return false;
}

void StationServer::Routes() {
  using httplib::Request;
  using httplib::Response;
  using Handled = httplib::Server::HandlerResponse;
  http_->set_pre_routing_handler([this](const Request& request, Response& response) {
    if (Refused(request, response)) return Handled::Handled;
    if (!WithoutBodyLength(request)) return Handled::Unhandled;
    Post(request, response);  // answered here, with the empty body it has
    return Handled::Handled;
  });
  http_->set_error_handler([](const Request&, Response& response) {
    if (response.body.empty()) Error(response, response.status, StatusText(response.status));
  });
  http_->set_exception_handler([](const Request&, Response& response, std::exception_ptr) {
    Error(response, 500, "internal error");
  });
  http_->Get("/", [](const Request&, Response& response) {
    response.set_content(std::string(DashboardHtml()), "text/html; charset=utf-8");
  });
  http_->Get("/chart.js", [](const Request&, Response& response) {
    response.set_content(std::string(ChartScript()), "text/javascript; charset=utf-8");
  });
  http_->Get("/api/v1/openapi.json", [](const Request&, Response& response) {
    response.set_content(std::string(OpenApiDocument()), kJson);
  });
  http_->Get("/metrics", [this](const Request&, Response& response) {
    response.set_content(feed_.Metrics().Text(engine_.Snapshot(), feed_.Hub().Clients(),
                                              feed_.Hub().DroppedClients()),
                         "text/plain; version=0.0.4");
  });
  http_->Get("/api/v1/station", [this](const Request&, Response& response) { Station(response); });
  for (const char* path : {"/api/v1/project", "/api/v1/run", "/api/v1/stop"}) {
    http_->Post(path,
                [this](const Request& request, Response& response) { Post(request, response); });
  }
  http_->Get(R"(/api/v1/runs/([0-9]+))",
             [this](const Request& request, Response& response) { RunState(request, response); });
  http_->Get("/api/v1/records",
             [this](const Request& request, Response& response) { Records(request, response); });
  http_->Get("/api/v1/report",
             [this](const Request& request, Response& response) { Report(request, response); });
  http_->Get("/api/v1/events",
             [this](const Request& request, Response& response) { Events(request, response); });
}

void StationServer::Post(const httplib::Request& request, httplib::Response& response) {
  if (request.path == "/api/v1/project") return Project(request, response);
  if (request.path == "/api/v1/run") return Run(request, response);
  engine_.RequestStop();
  Reply(response, 202, "{\"stopping\":true}");
}

void StationServer::Station(httplib::Response& response) {
  Reply(response, 200, StationJson(engine_.Snapshot(), GetVersionText()).dump());
}

void StationServer::Project(const httplib::Request& request, httplib::Response& response) {
  std::string error;
  const std::optional<std::string> path = ParseProjectBody(request.body, error);
  if (!path) return Error(response, 400, error);
  const ProjectPath checked = CheckProjectPath(options_.projectRoots, *path);
  if (checked.status == ProjectPath::Status::Outside) {
    return Error(response, 403, "the path is outside the project folders");
  }
  if (checked.status == ProjectPath::Status::Missing) {
    return Error(response, 404, "no such project file");
  }
  const ProjectLoad load = engine_.LoadProject(checked.path);
  switch (load.status) {
    case ProjectLoad::Status::Loaded:
      return Reply(response, 200, ProjectJson(load.project).dump());
    case ProjectLoad::Status::RunActive:
      return Error(response, 409, "a run is active");
    case ProjectLoad::Status::Refused:
      return Error(response, 422, load.message);
  }
}

void StationServer::Run(const httplib::Request& request, httplib::Response& response) {
  std::string error;
  const std::optional<StationRunRequest> run = ParseRunBody(request.body, error);
  if (!run) return Error(response, 400, error);
  const RunStart start = engine_.StartRun(*run);
  switch (start.status) {
    case RunStart::Status::Started:
      return Reply(response, 202, "{\"run\":" + std::to_string(start.run) + "}");
    case RunStart::Status::RunActive:
      return Error(response, 409, "a run is active");
    case RunStart::Status::NoProject:
      return Error(response, 412, start.message);
    case RunStart::Status::NoUnit:
      return Error(response, 409, start.message);
  }
}

void StationServer::RunState(const httplib::Request& request, httplib::Response& response) {
  const std::optional<std::uint64_t> id = Number(request.matches[1]);
  const std::optional<RunTallyState> run = id ? engine_.Run(*id) : std::nullopt;
  if (!run) return Error(response, 404, "no such run");
  Reply(response, 200, RunJson(*id, *run).dump());
}

void StationServer::Records(const httplib::Request& request, httplib::Response& response) {
  std::string since, limit, format, error;
  const std::optional<RecordsQuery> query =
      ParseRecordsQuery(Param(request, "since", since), Param(request, "limit", limit),
                        Param(request, "format", format), error);
  if (!query) return Error(response, 400, error);
  const RecordsReply reply = QueryRecords(engine_.RecordsPath(), *query);
  if (reply.status != 200) return Error(response, reply.status, reply.body);
  response.set_content(reply.body, reply.contentType);
}

void StationServer::Report(const httplib::Request& request, httplib::Response& response) {
  std::string by, since, error;
  const std::optional<ReportQuery> query =
      ParseReportQuery(Param(request, "by", by), Param(request, "since", since), error);
  if (!query) return Error(response, 400, error);
  const RecordsReply reply = QueryReport(engine_.RecordsPath(), *query);
  if (reply.status != 200) return Error(response, reply.status, reply.body);
  response.set_content(reply.body, reply.contentType);
}

void StationServer::Events(const httplib::Request& request, httplib::Response& response) {
  const std::string last = request.get_header_value("Last-Event-ID");
  std::optional<std::uint64_t> lastId = Number(last);
  // An id this hub never gave starts the client afresh.
  if (!last.empty() && !lastId) lastId = std::numeric_limits<std::uint64_t>::max();
  std::shared_ptr<HubReader> reader(feed_.Hub().Subscribe(lastId));
  response.set_header("Cache-Control", "no-store");
  const std::chrono::milliseconds heartbeat = options_.heartbeat;
  response.set_chunked_content_provider(
      "text/event-stream", [reader, heartbeat](std::size_t, httplib::DataSink& sink) {
        const HubReader::Batch batch = reader->Next(kEventsPerWrite, heartbeat);
        if (batch.status == HubReader::Status::Dropped ||
            batch.status == HubReader::Status::Closed) {
          return false;
        }
        const std::string text = StreamText(batch);
        return sink.write(text.data(), text.size());
      });
}
