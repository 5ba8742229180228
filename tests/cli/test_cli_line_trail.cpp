// The line's production trail: stations running at once ship every record to a real PostgreSQL
// server, through a restart of it, exactly once; a station that could not ship catches up with
// "records push"; refusals cost one log line and no part; the reports of the local and the
// line's database agree.
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "records/pg_connection.h"
#include "records/record_pusher.h"
#include "records/record_store.h"
#include "records/station.h"
#include "site/site_system.h"
#include "support/child_process.h"
#include "tests/cli/cli_fixture.h"
#include "tests/records/pg_test_server.h"

using namespace std::chrono_literals;
using records_test::PgTestServer;

namespace {
constexpr auto kPatience = 120s;  // far above any honest delay; reached only by a fault
constexpr int kDefaultLineParts = 2000;
constexpr const char* kShipLine = "Part Records: shipping to ";

std::vector<std::string> LinesWith(const std::string& text, const std::string& piece) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(piece) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

int LineParts() {
  const char* text = std::getenv("ZV_TRAIL_PARTS");
  return text ? std::max(30, std::atoi(text)) : kDefaultLineParts;
}

template <typename Condition>
bool WaitUntil(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// Holds the stations' workers at the phase boundaries until the test opens them.
class Gate {
 public:
  void Pass(int phase) {
    std::unique_lock lock(mutex_);
    opened_.wait_for(lock, kPatience, [&] { return open_ >= phase; });
  }
  void Open(int phase) {
    {
      std::lock_guard lock(mutex_);
      open_ = phase;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  int open_ = 0;
};

// (station id, record id) of every record of the local databases, or of the line's.
using RecordKeys = std::set<std::pair<std::string, std::string>>;

std::string StationId(const std::string& base) {
  std::string id, error;
  EXPECT_TRUE(LoadOrMakeStationId(base, id, error)) << error;
  return id;
}

std::size_t AddLocal(const std::string& base, RecordKeys& keys, std::size_t& steps) {
  RecordStore store(RecordStore::PathBelow(base));
  std::vector<PartRecord> rows;
  EXPECT_TRUE(store.QuerySince("", rows).Ok());
  const std::string station = StationId(base);
  for (const PartRecord& r : rows) {
    keys.insert({station, r.RecordId});
    steps += r.Steps.size();
  }
  return rows.size();
}

RecordKeys Central(PgTestServer& server, std::size_t& records, std::size_t& steps) {
  PgConnection pg;
  PgResult rows;
  RecordKeys keys;
  EXPECT_TRUE(pg.Open(server.Url("trail")) &&
              pg.Query("SELECT station_id, record_id FROM part_records", {}, rows))
      << pg.Error();
  for (int i = 0; i < rows.Rows(); ++i) keys.insert({rows.Text(i, 0), rows.Text(i, 1)});
  records = static_cast<std::size_t>(rows.Rows());
  PgResult count;
  EXPECT_TRUE(pg.Query("SELECT count(*) FROM part_steps", {}, count)) << pg.Error();
  steps = count.Rows() ? static_cast<std::size_t>(count.Int(0, 0)) : 0;
  return keys;
}

long long CentralCount(PgTestServer& server, const std::string& station) {
  PgConnection pg;
  PgResult rows;
  if (!pg.Open(server.Url("trail")) ||
      !pg.Query("SELECT count(*) FROM part_records WHERE station_id = $1", {station}, rows)) {
    return -1;
  }
  return rows.Int(0, 0);
}

class LineTrailTest : public CliTest {
 protected:
  void SetUp() override {
    const std::string missing = PgTestServer::Missing();
    if (!missing.empty()) GTEST_SKIP() << "skipped: " << missing;
    CliTest::SetUp();
    std::string error;
    server_ = std::make_unique<PgTestServer>(error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_TRUE(server_->Start(error)) << error;
    ASSERT_TRUE(server_->CreateDatabase("trail", error)) << error;
  }
  void TearDown() override {
    server_.reset();
    CliTest::TearDown();
  }

  std::vector<std::string> AutoRun(const std::string& base, int parts, const std::string& url) {
    return {"--simulate", "4",       "--base-dir", base,      "--records-url",      url, "run",
            "--project",  Project(), "--auto",     "--parts", std::to_string(parts)};
  }

  std::unique_ptr<PgTestServer> server_;
};

struct Station {
  std::string base;
  std::string temp;
  std::atomic<int> parts{0};
  std::atomic<SiteSystem*> system{nullptr};
  CliResult result;
};

TEST_F(LineTrailTest, ThreeStationsShipEveryRecordOnceThroughAServerRestart) {
  const int perStation = LineParts() / 3;
  const int firstStop = perStation / 3;
  const int secondStop = 2 * perStation / 3;
  Gate gate;
  std::vector<std::unique_ptr<Station>> stations;
  std::vector<std::thread> threads;
  for (int n = 0; n < 3; ++n) {
    auto station = std::make_unique<Station>();
    station->base = NewBase("station" + std::to_string(n));
    station->temp = station->base + "../";
    stations.push_back(std::move(station));
  }
  for (auto& owned : stations) {
    Station& station = *owned;
    threads.emplace_back([&, url = server_->Url("trail")] {
      station.result = RunWithTemp(
          station.temp, AutoRun(station.base, perStation, url), [&](SiteSystem& system) {
            station.system = &system;
            RegisterStandIns(
                system, [](int, int) { return true; },
                [&](int, int) {
                  const int done = ++station.parts;
                  gate.Pass(done > secondStop ? 2 : done > firstStop ? 1 : 0);
                });
          });
    });
  }
  // Up: every station reaches its first stop and its records reach the line's database.
  std::string error;
  for (auto& station : stations) {
    EXPECT_TRUE(WaitUntil([&] { return station->parts > firstStop; }));
    const std::string id = StationId(station->base);
    EXPECT_TRUE(WaitUntil([&] { return CentralCount(*server_, id) > firstStop; }));
  }
  // Down: the stations go on; each notices that shipping stopped.
  ASSERT_TRUE(server_->Stop(error)) << error;
  gate.Open(1);
  for (auto& station : stations) {
    EXPECT_TRUE(WaitUntil([&] { return station->parts > secondStop; }));
    EXPECT_TRUE(WaitUntil([&] {
      RecordShipper* shipper = station->system.load()->Shipping();
      return shipper && shipper->Failing();
    }));
  }
  // Up again: the rest, and everything that waited.
  ASSERT_TRUE(server_->Start(error)) << error;
  gate.Open(2);
  for (std::thread& thread : threads) thread.join();

  RecordKeys local;
  std::size_t localRecords = 0;
  std::size_t localSteps = 0;
  for (auto& station : stations) {
    EXPECT_NE(station->result.out.find(", Failed: 0\n"), std::string::npos)
        << station->result.err << station->result.out;
    EXPECT_GE(AddLocal(station->base, local, localSteps), static_cast<std::size_t>(perStation));
    const std::vector<std::string> lines = LinesWith(station->result.out, kShipLine);
    ASSERT_EQ(lines.size(), 2u) << station->result.out;
    EXPECT_NE(lines[0].find(" stopped ("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" records wait in "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" resumed; "), std::string::npos) << lines[1];
  }
  localRecords = local.size();
  std::size_t centralRecords = 0;
  std::size_t centralSteps = 0;
  const RecordKeys central = Central(*server_, centralRecords, centralSteps);
  EXPECT_EQ(central, local);
  EXPECT_EQ(centralRecords, localRecords);
  EXPECT_EQ(centralSteps, localSteps);
}

void WritePassFile(const std::string& path, const std::string& password) {
  std::ofstream(path) << "*:*:*:station:" << password << '\n';
  chmod(path.c_str(), 0600);  // libpq ignores a password file others may read
}

TEST_F(LineTrailTest, AStationThatCannotShipLogsOneLineRunsOnAndPushesLater) {
  std::string error;
  ASSERT_TRUE(server_->Exec("postgres", "CREATE ROLE station LOGIN PASSWORD 'right'", error))
      << error;
  ASSERT_TRUE(server_->CreateDatabase("newer", error)) << error;
  ASSERT_TRUE(server_->Exec("newer",
                            "CREATE TABLE trail_schema (version integer NOT NULL);"
                            "INSERT INTO trail_schema VALUES (2)",
                            error))
      << error;
  const std::string passFile = server_->Folder() + "/wrong.pgpass";
  WritePassFile(passFile, "wrong");
  const std::string noServer =
      "postgresql:///trail?host=" + server_->Folder() + "/none&user=postgres";
  const struct {
    std::string url;
    std::string reason;
  } cases[] = {
      {noServer, "No such file or directory"},
      {server_->Url("trail", "station", "&passfile=" + passFile),
       "password authentication failed for user \"station\""},
      {server_->Url("newer"),
       "the line's database has trail schema version 2, this program knows version 1 and "
       "leaves it alone"},
  };
  constexpr int kParts = 12;
  std::vector<std::string> bases;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const std::string base = bases.emplace_back(NewBase("station" + std::to_string(bases.size())));
    const CliResult run = Run(AutoRun(base, kParts, c.url), [](SiteSystem& system) {
      RegisterStandIns(system, [](int, int) { return true; });
    });
    EXPECT_NE(run.out.find(", Failed: 0\n"), std::string::npos) << run.err << run.out;
    const std::vector<std::string> lines = LinesWith(run.out, kShipLine);
    ASSERT_EQ(lines.size(), 1u) << run.out;
    EXPECT_NE(lines[0].find(PgUrlForLog(c.url) + " stopped ("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].find("right"), std::string::npos) << "no password in the log";
    RecordKeys local;
    std::size_t steps = 0;
    EXPECT_GE(AddLocal(base, local, steps), static_cast<std::size_t>(kParts));
  }

  // The station that never reached the server ships everything, once, though a kill ends its
  // first push between the line's commit and the local watermark: the next push sends the batch
  // again, with a record that came meanwhile, and each record is there once, with its steps once.
  const std::string& offline = bases.front();
  const std::string url = server_->Url("trail");
  const std::string shipped = " records shipped to " + PgUrlForLog(url) + "\n";
  RecordKeys local;
  std::size_t steps = 0;
  const std::size_t count = AddLocal(offline, local, steps);
  const ChildResult killed = RunChild({"env", "ZV_PUSH_KILL_AFTER_COMMIT=1", ZV_CLI_PROGRAM,
                                       "--base-dir", offline, "records", "push", "--to", url},
                                      "");
  EXPECT_EQ(killed.ExitCode, 128 + SIGKILL) << killed.Error << killed.Err;
  EXPECT_EQ(killed.Out, "");
  std::size_t centralRecords = 0;
  std::size_t centralSteps = 0;
  EXPECT_EQ(Central(*server_, centralRecords, centralSteps), local);
  {
    RecordStore store(RecordStore::PathBelow(offline));
    long long mark = -1;
    ASSERT_TRUE(store.ReadShipMark(ShipTargetKey(url), mark).Ok());
    EXPECT_EQ(mark, 0) << "the kill came before the watermark";
    PartRecord extra;
    extra.RecordId = "extra";
    extra.Time = "2024-05-01T10:15:00.000+02:00";
    extra.Steps = {{0x0101, "Program", 0xA0, 10}};
    ASSERT_TRUE(store.Insert({extra}).Ok());
  }
  local.clear();
  steps = 0;
  AddLocal(offline, local, steps);
  const std::vector<std::string> push = {"--base-dir", offline, "records", "push", "--to", url};
  CliResult pushed = Run(push);
  EXPECT_EQ(pushed.status, CliExit::AllPassed) << pushed.err;
  EXPECT_EQ(pushed.out, std::to_string(count + 1) + shipped);
  EXPECT_EQ(Central(*server_, centralRecords, centralSteps), local);
  EXPECT_EQ(centralRecords, count + 1);
  EXPECT_EQ(centralSteps, steps);
  pushed = Run(push);
  EXPECT_EQ(pushed.status, CliExit::AllPassed) << pushed.err;
  EXPECT_EQ(pushed.out, "0" + shipped);

  const CliResult unreachable = Run({"--base-dir", offline, "records", "push", "--to", noServer});
  EXPECT_EQ(unreachable.status, CliExit::PartFailed);
  EXPECT_NE(unreachable.err.find("No such file or directory"), std::string::npos)
      << unreachable.err;
}

PartRecord Known(const std::string& id, int site, bool pass, const std::string& part,
                 std::uint8_t sockets, std::array<std::uint8_t, 4> verdicts,
                 std::vector<StepRecord> steps, const std::string& time) {
  PartRecord r;
  r.RecordId = id;
  r.Time = time;
  r.Site = site;
  r.Manufacturer = part.substr(0, part.find(' '));
  r.PartNumber = part.substr(part.find(' ') + 1);
  r.Sockets = sockets;
  r.SocketVerdicts = verdicts;
  r.Steps = std::move(steps);
  r.Pass = pass;
  r.RunResult = pass ? 0xA0 : 0xA1;
  return r;
}

TEST_F(LineTrailTest, ReportsOfTheLocalAndTheLineDatabaseAgree) {
  const StepRecord programOk{0x0101, "Program", 0xA0, 10};
  const StepRecord programBad{0x0101, "Program", 0xA1, 10};
  const StepRecord verifyOk{0x0102, "Verify", 0xA0, 5};
  const StepRecord verifyBad{0x0102, "Verify", 0xA1, 5};
  const StepRecord unnamedBad{0x0105, "", 0xA1, 1};
  const std::vector<PartRecord> records = {
      Known("r1", 1, false, "Acme X1", 0b0011, {0xA0, 0xA1, 0, 0}, {programOk, verifyBad},
            "2024-05-01T10:15:00.000+02:00"),
      Known("r2", 1, true, "Acme X1", 0b0001, {0xA0, 0, 0, 0}, {programOk, verifyOk},
            "2024-05-01T10:45:00.000+02:00"),
      Known("r3", 2, true, "Acme X2", 0b0101, {0xA0, 0, 0xA0, 0}, {programOk},
            "2024-05-01T09:05:00.000+00:00"),
      Known("r4", 2, false, "Acme X2", 0b0100, {0, 0, 0xA1, 0}, {programOk, unnamedBad},
            "2024-05-01T09:30:00.000+00:00"),
      Known("r5", 8, false, "Bolt Y", 0b1000, {0, 0, 0, 0}, {programBad, verifyBad},
            "2024-05-01T12:10:00.000+02:00"),
  };
  RecordStore store(RecordStore::PathBelow(Base()));
  ASSERT_TRUE(store.Insert(records).Ok());
  store.Close();
  const std::string url = server_->Url("trail");
  ASSERT_EQ(Run({"--base-dir", Base(), "records", "push", "--to", url}).status, CliExit::AllPassed);

  const char* header = ",parts,passed,failed,yield\r\n";
  const struct {
    std::vector<std::string> args;
    std::string csv;
  } cases[] = {
      {{"--by", "site"},
       std::string("site") + header + "1,2,1,1,0.5000\r\n2,2,1,1,0.5000\r\n8,1,0,1,0.0000\r\n"},
      {{"--by", "socket"},
       std::string("socket") + header +
           "1,3,3,0,1.0000\r\n2,1,0,1,0.0000\r\n3,2,1,1,0.5000\r\n4,1,0,1,0.0000\r\n"},
      {{"--by", "part"},
       std::string("part") + header +
           "Acme X1,2,1,1,0.5000\r\nAcme X2,2,1,1,0.5000\r\nBolt Y,1,0,1,0.0000\r\n"},
      {{"--by", "step"},
       std::string("step") + header +
           "Verify,3,1,2,0.3333\r\n0x0105,1,0,1,0.0000\r\nProgram,5,4,1,0.8000\r\n"},
      {{"--by", "hour"},
       std::string("hour") + header +
           "2024-05-01T08:00Z,2,1,1,0.5000\r\n2024-05-01T09:00Z,2,1,1,0.5000\r\n"
           "2024-05-01T10:00Z,1,0,1,0.0000\r\n"},
      // From 09:00 UTC on, written in another zone: r3, r4 and r5.
      {{"--by", "site", "--since", "2024-05-01T11:00+02:00"},
       std::string("site") + header + "2,2,1,1,0.5000\r\n8,1,0,1,0.0000\r\n"},
      {{"--by", "site", "--since", "2024-05-01T09:05:00.001Z"},
       std::string("site") + header + "2,1,0,1,0.0000\r\n8,1,0,1,0.0000\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> local = {"--base-dir", Base(), "records", "report", "--csv"};
    local.insert(local.end(), c.args.begin(), c.args.end());
    std::vector<std::string> central = local;
    central.insert(central.end(), {"--from", url});
    for (const auto& args : {local, central}) {
      const CliResult report = Run(args);
      EXPECT_EQ(report.status, CliExit::AllPassed) << report.err;
      EXPECT_EQ(report.out, c.csv)
          << c.args.back() << (args.size() > local.size() ? " central" : " local");
    }
  }
  const CliResult table = Run({"--base-dir", Base(), "records", "report", "--by", "part"});
  EXPECT_EQ(table.out,
            "part        parts   passed   failed   yield\n"
            "Acme X1         2        1        1   50.0%\n"
            "Acme X2         2        1        1   50.0%\n"
            "Bolt Y          1        0        1    0.0%\n");
}

TEST_F(LineTrailTest, TheStationRoleInsertsAndReadsAndChangesNothingElse) {
  // The line as the README sets it up: an owner who makes the tables with the first push, and
  // the stations' role with its grants.
  std::string error;
  for (const char* sql : {"CREATE ROLE trail_owner LOGIN", "CREATE DATABASE line OWNER trail_owner",
                          "CREATE ROLE station LOGIN PASSWORD 'right'"}) {
    ASSERT_TRUE(server_->Exec("postgres", sql, error)) << error;
  }
  const std::string ownerBase = NewBase("owner");
  ASSERT_TRUE(RecordStore(RecordStore::PathBelow(ownerBase))
                  .Insert({Known("o1", 1, true, "Acme X1", 1, {0xA0, 0, 0, 0}, {},
                                 "2024-05-01T10:15:00.000+02:00")})
                  .Ok());
  const CliResult made = Run(
      {"--base-dir", ownerBase, "records", "push", "--to", server_->Url("line", "trail_owner")});
  ASSERT_EQ(made.status, CliExit::AllPassed) << made.err;
  ASSERT_TRUE(
      server_->Exec("line",
                    "GRANT CONNECT, TEMPORARY ON DATABASE line TO station;"
                    "GRANT USAGE ON SCHEMA public TO station;"
                    "GRANT SELECT ON trail_schema TO station;"
                    "GRANT SELECT, INSERT ON stations, part_records, part_steps TO station;"
                    "GRANT UPDATE (host, program_version, last_seen) ON stations TO station",
                    error))
      << error;
  const std::string passFile = server_->Folder() + "/right.pgpass";
  WritePassFile(passFile, "right");
  const std::string url = server_->Url("line", "station", "&passfile=" + passFile);

  // What a station must do: register, ship (a batch sent again included), read the reports.
  RecordStore store(RecordStore::PathBelow(Base()));
  ASSERT_TRUE(store
                  .Insert({Known("s1", 2, false, "Acme X1", 1, {0xA1, 0, 0, 0},
                                 {{0x0101, "Program", 0xA1, 10}}, "2024-05-01T10:20:00.000+02:00")})
                  .Ok());
  const std::vector<std::string> push = {"--base-dir", Base(), "records", "push", "--to", url};
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_TRUE(store.WriteShipMark(ShipTargetKey(url), 0).Ok());
    const CliResult pushed = Run(push);
    EXPECT_EQ(pushed.status, CliExit::AllPassed) << pushed.err;
    EXPECT_EQ(pushed.out, "1 records shipped to " + PgUrlForLog(url) + "\n");
  }
  const CliResult report =
      Run({"--base-dir", Base(), "records", "report", "--csv", "--by", "site", "--from", url});
  EXPECT_EQ(report.out, "site,parts,passed,failed,yield\r\n1,1,1,0,1.0000\r\n2,1,0,1,0.0000\r\n")
      << report.err;

  // What it must not: change or remove what is there, or the tables themselves.
  const struct {
    const char* sql;
    const char* refusal;
  } refused[] = {
      {"DELETE FROM part_records", "permission denied for table part_records"},
      {"UPDATE part_records SET pass = true", "permission denied for table part_records"},
      {"TRUNCATE part_records", "permission denied for table part_records"},
      {"DELETE FROM part_steps", "permission denied for table part_steps"},
      {"UPDATE part_steps SET result = 160", "permission denied for table part_steps"},
      {"DELETE FROM stations", "permission denied for table stations"},
      {"UPDATE stations SET station_id = 'other'", "permission denied for table stations"},
      {"INSERT INTO trail_schema VALUES (2)", "permission denied for table trail_schema"},
      {"UPDATE trail_schema SET version = 2", "permission denied for table trail_schema"},
      {"DROP TABLE part_steps", "must be owner of table part_steps"},
      {"ALTER TABLE part_records DROP COLUMN pass", "must be owner of table part_records"},
      {"CREATE TABLE extra (x integer)", "permission denied for schema public"},
  };
  PgConnection pg;
  ASSERT_TRUE(pg.Open(url)) << pg.Error();
  for (const auto& r : refused) {
    EXPECT_FALSE(pg.Exec(r.sql)) << r.sql;
    EXPECT_NE(pg.Error().find(r.refusal), std::string::npos) << r.sql << ": " << pg.Error();
  }
  PgResult rows;
  ASSERT_TRUE(
      pg.Query("SELECT (SELECT count(*) FROM part_records WHERE pass),"
               " (SELECT count(*) FROM part_records),"
               " (SELECT count(*) FROM part_steps), (SELECT count(*) FROM stations)",
               {}, rows))
      << pg.Error();
  EXPECT_EQ(rows.Text(0, 0) + " " + rows.Text(0, 1) + " " + rows.Text(0, 2) + " " + rows.Text(0, 3),
            "1 2 1 2");
}

}  // namespace
