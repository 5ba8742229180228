// gangprog-cli serve on eight simulated units, driven through a real HTTP client as a line
// controller drives it: load, run, follow the events, read the records, stop; every error
// status; the event stream's order and resume; a client that reads nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "records/record_export.h"
#include "tests/cli/cli_fixture.h"
#include "tests/serve/event_follower.h"
#include "tests/serve/serve_process.h"

namespace {
using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr std::size_t kMaxBody = 64 * 1024;
constexpr int kConnectionLimit = 64;
constexpr std::chrono::seconds kDeadline{300};

bool IsType(const StreamEvent& event, const char* type) {
  return event.type == type;
}

std::vector<StreamEvent> OfType(const std::vector<StreamEvent>& events, const char* type) {
  std::vector<StreamEvent> chosen;
  for (const StreamEvent& event : events) {
    if (event.type == type) chosen.push_back(event);
  }
  return chosen;
}

// A metric's value from the exposition text; -1 when it is not there.
double Metric(const std::string& text, const std::string& series) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(series + " ", 0) == 0) return std::stod(line.substr(series.size() + 1));
  }
  return -1;
}

// A socket that connects and then does only what the test says.
struct RawClient {
  int fd = -1;
  RawClient(int port, int receiveBuffer = 0) {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
      setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      close(fd);
      fd = -1;
    }
  }
  ~RawClient() {
    if (fd >= 0) close(fd);
  }
  void Send(const std::string& text) const { (void)!write(fd, text.data(), text.size()); }
  // Reads until `piece` shows (true) or the connection ends.
  bool ReadUntil(const std::string& piece) const {
    timeval patience{kDeadline.count(), 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::string text;
    char buffer[512];
    while (text.find(piece) == std::string::npos) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got <= 0) return false;
      text.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
  }
  // Everything up to the connection's end; whether it ended (not at the deadline).
  bool ReadToEnd(std::string& text) const {
    timeval patience{kDeadline.count(), 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char buffer[4096];
    for (;;) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got == 0 || (got < 0 && errno == ECONNRESET)) return true;
      if (got < 0) return false;
      text.append(buffer, static_cast<std::size_t>(got));
    }
  }
};

// The ids of a stream's text, in order.
std::vector<std::uint64_t> StreamIds(const std::string& text) {
  std::vector<std::uint64_t> ids;
  static const std::regex id("(^|\n)id: ([0-9]+)\n");
  for (auto at = std::sregex_iterator(text.begin(), text.end(), id); at != std::sregex_iterator();
       ++at) {
    ids.push_back(std::stoull((*at)[2]));
  }
  return ids;
}

class ServeTest : public CliTest {
 protected:
  // The smallest demo part: a hundred parts take little time.
  std::string SmallProject() const { return Base() + "Projects/MR24C256.zvprj"; }

  std::unique_ptr<ServeProcess> Serve(std::vector<std::string> serveArgs = {},
                                      const std::string& speed = "100") {
    std::vector<std::string> args = {"--simulate", "8",          "--sim-speed",
                                     speed,        "--base-dir", Base(),
                                     "serve",      "--listen",   "127.0.0.1:0"};
    args.insert(args.end(), serveArgs.begin(), serveArgs.end());
    return std::make_unique<ServeProcess>(args, Base());
  }

  // Waits until the station counts `clients` event-stream clients (a stream is connected
  // before the test starts what it wants to follow).
  static bool StreamClients(httplib::Client& api, int clients) {
    const auto until = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < until) {
      auto metrics = api.Get("/metrics");
      if (metrics && Metric(metrics->body, "gangprog_event_clients") == clients) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  static Json Post(httplib::Client& api, const std::string& path, const std::string& body,
                   int& status) {
    auto reply = api.Post(path.c_str(), body, "application/json");
    status = reply ? reply->status : -1;
    return reply ? Json::parse(reply->body, nullptr, false) : Json();
  }
};

// The whole session of a line controller: every part is reported once, in order per site, and
// the run's tally, the records, the statistics and the metrics all agree with the events.
TEST_F(ServeTest, ALineControllerLoadsRunsAHundredPartsFollowsTheEventsAndReadsTheRecords) {
  auto serve = Serve();
  ASSERT_GT(serve->Port(), 0) << serve->Output();
  httplib::Client api("127.0.0.1", serve->Port());
  EventFollower follower(serve->Port());
  ASSERT_TRUE(StreamClients(api, 1)) << serve->Output();

  int status = 0;
  const Json project = Post(api, "/api/v1/project", Json{{"path", SmallProject()}}.dump(), status);
  ASSERT_EQ(status, 200) << project;
  EXPECT_EQ(project["file"], "MR24C256.zvprj");
  EXPECT_TRUE(std::regex_match(project["data_crc"].get<std::string>(), std::regex("[0-9A-F]{8}")));
  const Json run = Post(api, "/api/v1/run", R"({"auto": true, "parts": 100})", status);
  ASSERT_EQ(status, 202) << run;
  EXPECT_EQ(run, Json({{"run", 1}}));
  ASSERT_TRUE(follower.WaitFor([](const StreamEvent& e) { return IsType(e, "summary"); }));

  const std::vector<StreamEvent> events = follower.Events();
  for (std::size_t i = 1; i < events.size(); ++i) {
    ASSERT_EQ(*events[i].id, *events[i - 1].id + 1) << "event ids follow each other";
    EXPECT_EQ(events[i].data["event"], events[i].type);
  }
  const std::vector<StreamEvent> parts = OfType(events, "part");
  const Json summary = OfType(events, "summary").back().data;
  // Each site finishes the part in hand once the count is reached.
  EXPECT_GE(parts.size(), 100u);
  EXPECT_LE(parts.size(), 107u);
  EXPECT_EQ(summary["parts"], parts.size());
  EXPECT_EQ(summary["run"], 1);
  EXPECT_EQ(summary["passed"].get<int>() + summary["failed"].get<int>(), summary["parts"]);
  // Per site: a part's step events come right before it, one per step of its record.
  std::map<int, int> stepsSincePart;
  for (const StreamEvent& event : events) {
    if (event.type == "step") ++stepsSincePart[event.data["site"]];
    if (event.type != "part") continue;
    EXPECT_EQ(stepsSincePart[event.data["site"]], event.data["steps"].size());
    stepsSincePart[event.data["site"]] = 0;
  }
  EXPECT_EQ(OfType(events, "log").empty(), false);
  for (const StreamEvent& event : OfType(events, "site")) {
    EXPECT_TRUE(std::regex_match(event.data["state"].get<std::string>(),
                                 std::regex("READY|WORKING|PASS|FAIL|Remove IC|Insert IC")));
  }

  auto state = api.Get("/api/v1/runs/1");
  ASSERT_TRUE(state);
  EXPECT_EQ(Json::parse(state->body), Json({{"run", 1},
                                            {"state", "done"},
                                            {"parts", summary["parts"]},
                                            {"passed", summary["passed"]},
                                            {"failed", summary["failed"]}}));

  // The summary comes once every record is in the production trail.
  auto records = api.Get("/api/v1/records");
  ASSERT_TRUE(records);
  const Json trail = Json::parse(records->body);
  ASSERT_EQ(trail.size(), parts.size());
  for (std::size_t i = 0; i < trail.size(); ++i) EXPECT_EQ(trail[i]["time"].is_string(), true);
  auto csv = api.Get("/api/v1/records?format=csv");
  ASSERT_TRUE(csv);
  EXPECT_EQ(csv->get_header_value("Content-Type").rfind("text/csv", 0), 0u);
  EXPECT_EQ(csv->body.rfind(CsvHeader(), 0), 0u);
  EXPECT_EQ(static_cast<std::size_t>(std::count(csv->body.begin(), csv->body.end(), '\n')),
            parts.size() + 1);
  // since: both edges of the last record's time; limit: the oldest first.
  const std::string last = trail.back()["time"];
  auto from = [&](const std::string& query) {
    return Json::parse(api.Get(("/api/v1/records?" + query).c_str())->body);
  };
  EXPECT_GE(from("since=" + httplib::detail::encode_query_param(last)).size(), 1u);
  const std::string afterLast = last.substr(0, 20) +
                                std::to_string(std::stoi(last.substr(20, 3)) + 1001).substr(1) +
                                last.substr(23);
  if (last.substr(20, 3) != "999") {
    EXPECT_EQ(from("since=" + httplib::detail::encode_query_param(afterLast)).size(), 0u);
  }
  EXPECT_EQ(from("limit=1"), Json::array({trail.front()}));

  // The yield report counts what the events told, site by site.
  Json bySite = Json::array();
  for (int site = 1; site <= 8; ++site) {
    std::uint64_t done = 0, passed = 0;
    for (const StreamEvent& part : parts) {
      if (part.data["site"] != site) continue;
      ++done;
      passed += part.data["pass"].get<bool>() ? 1 : 0;
    }
    if (done == 0) continue;
    bySite.push_back({{"site", std::to_string(site)},
                      {"parts", done},
                      {"passed", passed},
                      {"failed", done - passed},
                      {"yield", static_cast<double>(passed) / static_cast<double>(done)}});
  }
  EXPECT_EQ(Json::parse(api.Get("/api/v1/report?by=site")->body), bySite);
  EXPECT_EQ(Json::parse(api.Get("/api/v1/report?by=site&since=2999-01-01")->body), Json::array());

  const Json station = Json::parse(api.Get("/api/v1/station")->body);
  EXPECT_EQ(station["running"], false);
  EXPECT_EQ(station["units"], 8);
  EXPECT_EQ(station["project"], project);
  EXPECT_EQ(station["statistics"]["total"], parts.size());
  EXPECT_EQ(station["statistics"]["passed"], summary["passed"]);

  const std::string metrics = api.Get("/metrics")->body;
  double counted = 0;
  for (int site = 1; site <= 8; ++site) {
    const std::string labels = "{site=\"" + std::to_string(site) + "\"";
    counted += Metric(metrics, "gangprog_parts_total" + labels + ",result=\"pass\"}") +
               Metric(metrics, "gangprog_parts_total" + labels + ",result=\"fail\"}");
    EXPECT_EQ(Metric(metrics, "gangprog_unit_up" + labels + "}"), 1);
  }
  EXPECT_EQ(counted, parts.size());
  EXPECT_EQ(Metric(metrics, "gangprog_part_duration_seconds_count"), parts.size());
  EXPECT_EQ(Metric(metrics, "gangprog_part_duration_seconds_bucket{le=\"+Inf\"}"), parts.size());
  EXPECT_EQ(Metric(metrics, "gangprog_run_active"), 0);

  EXPECT_EQ(api.Post("/api/v1/stop")->status, 202);
  EXPECT_EQ(serve->Stop(), 0) << serve->Output();
}

struct ErrorCase {
  const char* method;
  std::string path;
  std::string body;
  int status;
  std::string error;  // the whole "error" text; empty: any
};

void ExpectErrors(httplib::Client& api, const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    httplib::Request request;
    request.method = c.method;
    request.path = c.path;
    request.body = c.body;
    auto reply = api.send(request);
    ASSERT_TRUE(reply) << c.method << ' ' << c.path;
    EXPECT_EQ(reply->status, c.status) << c.method << ' ' << c.path << ' ' << reply->body;
    EXPECT_EQ(reply->get_header_value("Content-Type"), "application/json") << c.path;
    const Json body = Json::parse(reply->body, nullptr, false);
    ASSERT_TRUE(body.is_object() && body["error"].is_string()) << c.path << ' ' << reply->body;
    if (!c.error.empty()) {
      EXPECT_EQ(body["error"], c.error) << c.method << ' ' << c.path;
    }
  }
}

// Every refusal has its status and says why in JSON; a body of exactly 64 KiB is read, one
// byte more is not.
TEST_F(ServeTest, EveryRefusalHasItsStatusAndSaysWhyInJson) {
  const std::string projects = Base() + "Projects/";
  std::ofstream(projects + "damaged.zvprj") << "not an archive";
  fs::create_symlink("/etc/hostname", projects + "outside.zvprj");
  auto serve = Serve();
  ASSERT_GT(serve->Port(), 0) << serve->Output();
  httplib::Client api("127.0.0.1", serve->Port());
  const std::string exactly(kMaxBody, 'x');
  const std::string project = fs::path(SmallProject()).filename().string();
  const std::string outside = "the path is outside the project folders";
  ExpectErrors(
      api,
      {
          {"GET", "/api/v2/station", "", 404, "no such path"},
          {"GET", "/api/v1/runs/x", "", 404, "no such path"},
          {"GET", "/api/v1/runs/99", "", 404, "no such run"},
          {"DELETE", "/api/v1/station", "", 405, "method not allowed; allowed: GET, HEAD"},
          {"GET", "/api/v1/run", "", 405, "method not allowed; allowed: POST"},
          {"PUT", "/api/v1/project", "{}", 405, "method not allowed; allowed: POST"},
          {"POST", "/api/v1/project", "{\"path\":", 400, "the body is not JSON"},
          {"POST", "/api/v1/project", "[]", 400, "the body is not a JSON object"},
          {"POST", "/api/v1/project", "{}", 400, "path: needs the project file's path"},
          {"POST", "/api/v1/project", R"({"path": 5})", 400, "path: needs the project file's path"},
          {"POST", "/api/v1/project", R"({"path": "a", "x": 1})", 400, "unknown key \"x\""},
          {"POST", "/api/v1/project", R"({"path": "../Projects/)" + project + "\"}", 403, outside},
          {"POST", "/api/v1/project", R"({"path": "/etc/hostname"})", 403, outside},
          {"POST", "/api/v1/project", R"({"path": "outside.zvprj"})", 403, outside},
          {"POST", "/api/v1/project", R"({"path": "/nowhere/x.zvprj"})", 403, outside},
          {"POST", "/api/v1/project", R"({"path": "missing.zvprj"})", 404, "no such project file"},
          {"POST", "/api/v1/project", R"({"path": "damaged.zvprj"})", 422, "Decryption Fail!"},
          {"POST", "/api/v1/run", "", 412, "No project is loaded"},
          {"POST", "/api/v1/run", R"({"parts": 5})", 400, "parts: needs \"auto\": true"},
          {"POST", "/api/v1/run", R"({"auto": true, "parts": 0})", 400,
           "parts: needs a number above 0"},
          {"POST", "/api/v1/run", R"({"auto": 1})", 400, "auto: needs true or false"},
          {"POST", "/api/v1/run", R"({"sites": [0]})", 400,
           "sites: needs a list of site numbers 1 to 8"},
          {"POST", "/api/v1/run", R"({"sites": [9]})", 400,
           "sites: needs a list of site numbers 1 to 8"},
          {"POST", "/api/v1/run", R"({"sites": [2, 2]})", 400, "sites: site 2 is listed twice"},
          {"POST", "/api/v1/run", R"({"mode": "usb"})", 400, "mode: \"pc\" or \"sd\""},
          {"POST", "/api/v1/run", exactly, 400, "the body is not JSON"},
          {"POST", "/api/v1/run", exactly + "x", 413, "the body is longer than 64 KiB"},
          {"GET", "/api/v1/records?limit=0", "", 400, "limit: needs a number from 1 to 100000"},
          {"GET", "/api/v1/records?limit=100001", "", 400,
           "limit: needs a number from 1 to 100000"},
          {"GET", "/api/v1/records?format=xml", "", 400, "format: json or csv, not xml"},
          {"GET", "/api/v1/records?since=2026-13-01", "", 400, ""},
          {"GET", "/api/v1/report", "", 400, "by: site, socket, part, step or hour"},
          {"GET", "/api/v1/report?by=day", "", 400, "by: site, socket, part, step or hour"},
          {"GET", "/api/v1/report?by=site&since=2026-13-01", "", 400,
           "since: needs a time YYYY-MM-DDThh:mm:ss with an optional offset, not 2026-13-01"},
          {"POST", "/api/v1/report?by=site", "{}", 405, "method not allowed; allowed: GET, HEAD"},
      });
  EXPECT_EQ(api.Get("/api/v1/records?limit=100000")->status, 200);
  // A POST that names no body length has none: answered at once, not at the connection's end.
  RawClient bare(serve->Port());
  bare.Send("POST /api/v1/run HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_TRUE(bare.ReadUntil("HTTP/1.1 412 Precondition Failed\r\n"));
  EXPECT_EQ(api.Get("/api/v1/records?since=2026-12-01T10:00:00%2B02:00")->status, 200);

  // While a run goes: no second run, no other project; the stop lets it end.
  EventFollower follower(serve->Port());
  ASSERT_TRUE(StreamClients(api, 1)) << serve->Output();
  int status = 0;
  Post(api, "/api/v1/project", Json{{"path", project}}.dump(), status);
  ASSERT_EQ(status, 200);
  Post(api, "/api/v1/run", R"({"auto": true})", status);
  ASSERT_EQ(status, 202);
  ExpectErrors(
      api, {{"POST", "/api/v1/run", "{}", 409, "a run is active"},
            {"POST", "/api/v1/project", Json{{"path", project}}.dump(), 409, "a run is active"}});
  EXPECT_EQ(api.Post("/api/v1/stop")->status, 202);
  ASSERT_TRUE(follower.WaitFor([](const StreamEvent& e) { return IsType(e, "summary"); }));
  EXPECT_EQ(Json::parse(api.Get("/api/v1/runs/1")->body)["state"], "done");

  // Connections beyond the limit: event streams hold 64, the next request gets 503. The one
  // follower above holds one of them.
  std::vector<std::unique_ptr<RawClient>> held;
  for (int n = 1; n < kConnectionLimit; ++n) {
    held.push_back(std::make_unique<RawClient>(serve->Port()));
    held.back()->Send("GET /api/v1/events HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(held.back()->ReadUntil("\r\n\r\n")) << "connection " << n << " admitted";
  }
  httplib::Client beyond("127.0.0.1", serve->Port());
  auto refused = beyond.Get("/api/v1/station");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
  EXPECT_EQ(Json::parse(refused->body), Json({{"error", "too many connections"}}));
  held.clear();
  EXPECT_EQ(serve->Stop(), 0) << serve->Output();
}

// Beyond loopback only with a private token file; with one, every request shows the token
// (compared whole: one character off is refused), and a browser's GET may carry it as ?token=.
TEST_F(ServeTest, TheTokenFileMustBePrivateAndEveryRequestShowsTheToken) {
  const std::string tokenFile = Base() + "token";
  std::ofstream(tokenFile) << "s3cret-token-1234\n";
  chmod(tokenFile.c_str(), 0640);
  auto refused = Serve({"--token-file", tokenFile});
  EXPECT_EQ(refused->Wait(kDeadline), 2);
  EXPECT_NE(refused->Output().find("the token file " + tokenFile +
                                   " may be read or written by its group or others (chmod 600 "
                                   "it); not serving"),
            std::string::npos)
      << refused->Output();
  auto open = std::make_unique<ServeProcess>(
      std::vector<std::string>{"--simulate", "0", "--base-dir", Base(), "serve", "--listen",
                               "0.0.0.0:0"},
      Base());
  EXPECT_EQ(open->Wait(kDeadline), 2);
  EXPECT_NE(open->Output().find("listening on 0.0.0.0 reaches other machines; give a "
                                "--token-file; not serving"),
            std::string::npos)
      << open->Output();

  chmod(tokenFile.c_str(), 0600);
  auto serve = Serve({"--token-file", tokenFile});
  ASSERT_GT(serve->Port(), 0) << serve->Output();
  httplib::Client api("127.0.0.1", serve->Port());
  const std::vector<std::pair<httplib::Headers, int>> cases = {
      {{}, 401},
      {{{"Authorization", "Bearer s3cret-token-1235"}}, 401},
      {{{"Authorization", "Bearer s3cret-token-123"}}, 401},
      {{{"Authorization", "Bearer s3cret-token-12345"}}, 401},
      {{{"Authorization", "Basic s3cret-token-1234"}}, 401},
      {{{"Authorization", "Bearer s3cret-token-1234"}}, 200},
  };
  for (const auto& [headers, status] : cases) {
    auto reply = api.Get("/api/v1/station", headers);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, status) << (headers.empty() ? "" : headers.begin()->second);
  }
  EXPECT_EQ(api.Get("/?token=s3cret-token-1234")->status, 200);
  EXPECT_EQ(api.Get("/?token=s3cret-token-1233")->status, 401);
  EXPECT_EQ(api.Post("/api/v1/stop?token=s3cret-token-1234")->status, 401);
  EXPECT_EQ(api.Get("/nowhere")->status, 401);  // nothing answered before the token
  EXPECT_EQ(serve->Stop(), 0) << serve->Output();
}

// A client that reconnects with the last id it saw gets the events after it, the same ones; an
// id the station never gave (another start of it) gets "reset" first. A client that reads
// nothing while eight sites run is cut off (having been sent no more than its backlog of 4,096
// events, in order), the run completes, and the one that reads gets every event.
TEST_F(ServeTest, TheStreamResumesAfterTheLastEventIdAndDropsAClientThatReadsNothing) {
  // Every log line on the stream, and parts enough that the stream holds far more than the
  // socket buffers between the station and the client that reads nothing.
  std::ofstream(Base() + "System/System.ini") << "[System]\r\nLogDisplayMode=2\r\n";
  auto serve = Serve();
  ASSERT_GT(serve->Port(), 0) << serve->Output();
  httplib::Client api("127.0.0.1", serve->Port());
  auto follower = std::make_unique<EventFollower>(serve->Port());
  RawClient stalled(serve->Port(), 4096);
  stalled.Send("GET /api/v1/events HTTP/1.1\r\nHost: x\r\n\r\n");
  ASSERT_TRUE(StreamClients(api, 2)) << serve->Output();
  int status = 0;
  Post(api, "/api/v1/project", Json{{"path", SmallProject()}}.dump(), status);
  ASSERT_EQ(status, 200);
  Post(api, "/api/v1/run", R"({"auto": true, "parts": 400})", status);
  ASSERT_EQ(status, 202);
  ASSERT_TRUE(follower->WaitFor([](const StreamEvent& e) { return IsType(e, "summary"); }));
  const std::vector<StreamEvent> seen = follower->Events();
  ASSERT_FALSE(follower->Ended()) << "the reading client is never dropped";
  EXPECT_GE(OfType(seen, "part").size(), 400u);
  // The stalled client is gone: only the reading one is left.
  ASSERT_TRUE(StreamClients(api, 1)) << serve->Output();
  std::string stalledText;
  ASSERT_TRUE(stalled.ReadToEnd(stalledText)) << "the stalled client's connection is closed";
  const std::vector<std::uint64_t> stalledIds = StreamIds(stalledText);
  ASSERT_FALSE(stalledIds.empty());
  EXPECT_LE(stalledIds.size(), 4096u);
  EXPECT_LT(stalledIds.back(), *seen.back().id) << "it never got the run's end";
  for (std::size_t i = 1; i < stalledIds.size(); ++i) {
    ASSERT_EQ(stalledIds[i], stalledIds[i - 1] + 1) << "what it got came in order, whole";
  }
  follower.reset();

  const std::size_t middle = seen.size() / 2;
  EventFollower resumed(serve->Port(), *seen[middle].id);
  ASSERT_TRUE(
      resumed.WaitFor([&](const StreamEvent& e) { return e.id == seen.back().id; }, kDeadline));
  const std::vector<StreamEvent> again = resumed.Events();
  ASSERT_EQ(again.size(), seen.size() - middle - 1);
  for (std::size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i].id, seen[middle + 1 + i].id);
    EXPECT_EQ(again[i].data, seen[middle + 1 + i].data);
  }
  EventFollower stranger(serve->Port(), *seen.back().id + 1);
  ASSERT_TRUE(stranger.WaitFor([](const StreamEvent& e) { return IsType(e, "reset"); }));
  EXPECT_EQ(stranger.Events().front().type, "reset");
  EXPECT_EQ(serve->Stop(), 0) << serve->Output();
}
}  // namespace
