// The writer thread: hand-over from many workers, a locked or damaged file reported once and
// survived, the queue's bound, shutdown, and rows that survive a kill of the program.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "records/record_writer.h"
#include "tests/records/record_samples.h"

using namespace std::chrono_literals;
using records_test::RawConnection;
using records_test::SampleRecord;
using records_test::TempFolder;

namespace {

constexpr auto kPatience = 60s;  // far above any honest delay; reached only by a fault

// Collects log lines and lets a test wait for them.
class LineSink : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({text, colour});
    changed_.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return lines_.size() >= count; });
  }
  std::vector<std::pair<std::string, std::uint32_t>> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<std::string, std::uint32_t>> lines_;
};

// A record whose writer fills in id and time; the unit id tells records apart.
PartRecord Unstamped(std::uint64_t n) {
  PartRecord record = SampleRecord(n);
  record.RecordId.clear();
  record.Time.clear();
  return record;
}

std::vector<PartRecord> ReadAll(const std::string& path) {
  RecordStore store(path);
  std::vector<PartRecord> rows;
  EXPECT_TRUE(store.QuerySince("", rows).Ok());
  return rows;
}

// Fast retries let a test see many attempts against a locked file, none of which may log.
RecordWriterOptions FastRetries(const std::string& path) {
  RecordWriterOptions options;
  options.Path = path;
  options.RetryInterval = 2ms;
  options.BusyTimeoutMs = 0;
  return options;
}

TEST(RecordWriter, RecordsFromManyWorkersAreCommittedOnceEach) {
  TempFolder folder;
  LineSink sink;
  constexpr int kWorkers = 8;
  constexpr int kEach = 40;
  {
    RecordWriter writer({folder.Db()}, sink);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
      workers.emplace_back([&writer, w] {
        for (int i = 0; i < kEach; ++i) EXPECT_TRUE(writer.Submit(Unstamped(w * kEach + i)));
      });
    }
    for (auto& worker : workers) worker.join();
    ASSERT_TRUE(writer.Flush(kPatience));
    EXPECT_EQ(writer.CommittedCount(), std::uint64_t{kWorkers * kEach});
    EXPECT_EQ(writer.QueuedCount(), 0u);
  }
  const auto rows = ReadAll(folder.Db());
  std::set<std::string> ids;
  for (const auto& row : rows) {
    ids.insert(row.RecordId);
    EXPECT_EQ(row.Time.size(), std::string("2024-05-01T13:45:12.345+02:00").size()) << row.Time;
  }
  EXPECT_EQ(rows.size(), std::size_t{kWorkers * kEach});
  EXPECT_EQ(ids.size(), rows.size());
  EXPECT_TRUE(sink.Lines().empty());
}

// Many attempts against the locked file, one line; a full queue, one more line; the file
// written again, a green line. A second outage is announced again, and its end.
TEST(RecordWriter, LockedFileLogsOnceKeepsRecordsAndSavesThemAfterRelease) {
  TempFolder folder;
  ASSERT_TRUE(RecordStore(folder.Db()).Open().Ok());
  RawConnection other(folder.Db());
  ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
  LineSink sink;
  RecordWriterOptions options = FastRetries(folder.Db());
  options.MaxQueued = 5;
  RecordWriter writer(options, sink);
  ASSERT_TRUE(writer.Submit(Unstamped(0)));
  ASSERT_TRUE(sink.WaitFor(1));
  EXPECT_TRUE(writer.Failing());
  const bool accepted[] = {true, true, true, true, false, false};
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(writer.Submit(Unstamped(n)), accepted[n - 1]) << n;
  EXPECT_FALSE(writer.Flush(0ms));  // one more attempt, still locked
  EXPECT_EQ(writer.QueuedCount(), 5u);
  EXPECT_EQ(writer.DroppedCount(), 2u);
  ASSERT_TRUE(other.Exec("COMMIT"));

  ASSERT_TRUE(writer.Flush(kPatience));
  EXPECT_EQ(ReadAll(folder.Db()).size(), 5u);
  EXPECT_FALSE(writer.Failing());

  ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
  ASSERT_TRUE(writer.Submit(Unstamped(7)));
  ASSERT_TRUE(sink.WaitFor(4));
  EXPECT_TRUE(writer.Failing());
  ASSERT_TRUE(other.Exec("COMMIT"));
  ASSERT_TRUE(writer.Flush(kPatience));
  EXPECT_EQ(ReadAll(folder.Db()).size(), 6u);

  using Line = std::pair<std::string, std::uint32_t>;
  const Line locked{"Part Records: " + folder.Db() +
                        " is locked by another program (database is locked); records are kept "
                        "and saved when it can be written again!",
                    LogColour::Red};
  const Line again{
      "Part Records: " + folder.Db() + " can be written again; the waiting records are saved.",
      LogColour::Green};
  const Line dropped{"Part Records: more than 5 records wait to be saved; new records are dropped!",
                     LogColour::Red};
  EXPECT_EQ(sink.Lines(), (std::vector<Line>{locked, dropped, again, locked, again}));
}

TEST(RecordWriter, DamagedFileLogsOnceKeepsRunningAndReportsLossAtShutdown) {
  TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "History");
  std::ofstream(folder.Db(), std::ios::binary) << std::string(4096, '\x5A');
  LineSink sink;
  {
    RecordWriter writer(FastRetries(folder.Db()), sink);
    ASSERT_TRUE(writer.Submit(Unstamped(1)));
    ASSERT_TRUE(sink.WaitFor(1));
    ASSERT_TRUE(writer.Submit(Unstamped(2)));
    EXPECT_FALSE(writer.Flush(0ms));
    EXPECT_EQ(sink.Lines().size(), 1u);
    EXPECT_NE(sink.Lines()[0].first.find("damaged"), std::string::npos) << sink.Lines()[0].first;
  }
  const auto lines = sink.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].first.find("2 records could not be saved"), std::string::npos)
      << lines[1].first;
}

TEST(RecordWriter, ShutdownCommitsWhatIsQueued) {
  TempFolder folder;
  ASSERT_TRUE(RecordStore(folder.Db()).Open().Ok());
  RawConnection other(folder.Db());
  ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
  LineSink sink;
  RecordWriterOptions options = FastRetries(folder.Db());
  options.RetryInterval = 24h;  // only the shutdown makes the next attempt
  RecordWriter writer(options, sink);
  for (int n = 0; n < 10; ++n) ASSERT_TRUE(writer.Submit(Unstamped(n)));
  ASSERT_TRUE(sink.WaitFor(1));
  ASSERT_TRUE(other.Exec("COMMIT"));
  writer.Stop();
  EXPECT_EQ(ReadAll(folder.Db()).size(), 10u);
  EXPECT_FALSE(writer.Submit(Unstamped(11)));
}

// The child writes through its own writer, says how many records are committed and goes on
// writing until it is killed.
[[noreturn]] void WriteUntilKilled(const std::string& path, int reportFd, std::uint64_t first) {
  LineSink sink;
  RecordWriter writer({path}, sink);
  std::uint64_t n = 0;
  for (; n < first; ++n) writer.Submit(Unstamped(n));
  const bool flushed = writer.Flush(kPatience);
  const std::uint64_t committed = flushed ? writer.CommittedCount() : 0;
  if (write(reportFd, &committed, sizeof committed) != sizeof committed) _exit(2);
  for (;; ++n) {
    writer.Submit(Unstamped(n));
    if (n % 16 == 0) writer.Flush(kPatience);
  }
}

bool ReadReport(int fd, std::uint64_t& committed) {
  pollfd ready{fd, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) != 1) {
    return false;
  }
  return read(fd, &committed, sizeof committed) == sizeof committed;
}

TEST(RecordWriter, CommittedRowsSurviveAKillWithoutDuplicates) {
  TempFolder folder;
  constexpr std::uint64_t kFirst = 200;
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    WriteUntilKilled(folder.Db(), report[1], kFirst);
  }
  close(report[1]);
  std::uint64_t committed = 0;
  const bool reported = ReadReport(report[0], committed);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(report[0]);
  ASSERT_TRUE(reported);
  ASSERT_EQ(committed, kFirst);

  std::map<std::uint64_t, int> seen;  // unit id -> rows
  for (const auto& row : ReadAll(folder.Db())) ++seen[row.UnitId];
  for (std::uint64_t n = 0; n < kFirst; ++n) EXPECT_EQ(seen[SampleRecord(n).UnitId], 1) << n;
  for (const auto& [unit, rows] : seen) EXPECT_EQ(rows, 1) << unit;
  EXPECT_EQ(RawConnection(folder.Db()).Value("PRAGMA integrity_check"), "ok");

  // The file takes new records after the kill.
  LineSink sink;
  RecordWriter writer({folder.Db()}, sink);
  ASSERT_TRUE(writer.Submit(Unstamped(1u << 30)));
  ASSERT_TRUE(writer.Flush(kPatience));
  EXPECT_TRUE(sink.Lines().empty());
}

}  // namespace
