// The journal: one file per day, stamped lines, and nothing shown is lost when the process is
// killed. The kill test runs this program again as a child that logs without end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "log/core/journal.h"
#include "log/core/log_queue.h"
#include "log/view/log_view.h"
#include "support/named_lock.h"
#include "tests/support/calendar_time.h"
#include "tests/support/hang_guard.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kChildFlag = "--journal-child";

std::tm Day(int mday, int hour) {
  return CalendarTime(2026, 12, mday, hour);
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

fs::path FreshDir(const char* tag) {
  fs::path dir = fs::temp_directory_path() /
                 (std::string("zv_journal_") + tag + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  return dir;
}

// The child: the log pipeline of the main window with the journal and the stdout mirror, fed by
// eight producer threads until it is killed.
int RunChild(const fs::path& folder) {
  NamedLocks locks;
  TLogView view({locks.Get(LockName::LogView), locks.Get(LockName::LogSave)});
  Journal journal(folder);
  journal.SetMirrorToStdout(true);
  LogQueue log(LogDisplay::All);
  view.Attach(&log, &journal);
  std::atomic<bool> stop{false};
  std::vector<std::thread> producers;
  for (int t = 0; t < 8; ++t) {
    producers.emplace_back([&, t] {
      for (long i = 0; !stop.load(); ++i) {
        log.Write("Site #" + std::to_string(t + 1) + " line " + std::to_string(i), 0,
                  LogLevel::Detail);
        if (i % 5 == 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  const int rc = QCoreApplication::exec();  // runs until the parent kills it
  stop = true;
  for (auto& p : producers) p.join();
  view.Attach(nullptr, nullptr);
  return rc;
}
}  // namespace

TEST(Journal, WritesStampedLinesIntoOneFilePerDay) {
  const fs::path dir = FreshDir("days");
  Journal journal(dir / "History" / "Journal");
  ASSERT_TRUE(journal.Append({{Day(9, 23), "[a] one", 0}, {Day(9, 23), "[a] two", 0}}));
  ASSERT_TRUE(journal.Append({{Day(10, 0), "[b] three", 0}}));
  EXPECT_EQ(ReadLines(dir / "History/Journal/20261209.log"),
            (std::vector<std::string>{"[a] one", "[a] two"}));
  EXPECT_EQ(ReadLines(dir / "History/Journal/20261210.log"),
            (std::vector<std::string>{"[b] three"}));
  // A second journal on the same folder appends, it does not truncate.
  Journal again(dir / "History" / "Journal");
  ASSERT_TRUE(again.Append({{Day(10, 1), "[c] four", 0}}));
  EXPECT_EQ(ReadLines(dir / "History/Journal/20261210.log").size(), 2u);
  fs::remove_all(dir);
}

TEST(Journal, MirrorGetsTheSameBytesAndAFolderThatCannotExistFails) {
  const fs::path dir = FreshDir("mirror");
  fs::create_directories(dir);
  std::FILE* mirror = std::tmpfile();
  ASSERT_NE(mirror, nullptr);
  Journal journal(dir / "J");
  journal.SetMirrorStream(mirror);
  journal.SetMirrorToStdout(true);
  ASSERT_TRUE(journal.Append({{Day(9, 1), "[s] mirrored", 0}}));
  std::rewind(mirror);
  char buffer[64] = {};
  ASSERT_NE(std::fgets(buffer, sizeof buffer, mirror), nullptr);
  EXPECT_STREQ(buffer, "[s] mirrored\n");
  std::fclose(mirror);

  std::ofstream(dir / "plainfile") << "x";
  Journal broken(dir / "plainfile" / "J");
  EXPECT_FALSE(broken.Append({{Day(9, 1), "[s] lost", 0}}));
  fs::remove_all(dir);
}

TEST(Journal, KilledProcessLosesNoLineItShowed) {
  const fs::path dir = FreshDir("kill");
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    const std::string folder = dir.string();
    ::execl("/proc/self/exe", "test_journal", kChildFlag, folder.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::FILE* in = ::fdopen(out[0], "r");
  ASSERT_NE(in, nullptr);
  std::vector<std::string> shown;
  char line[256];
  // Every line on the mirror was shown, and went into the journal first. A child that stops
  // writing is killed by the guard, which ends the reads.
  std::atomic<bool> enough{false};
  std::thread guard([&] {
    WaitUntil([&] { return enough.load(); });
    ::kill(child, SIGKILL);
  });
  while (shown.size() < 3000 && std::fgets(line, sizeof line, in)) shown.emplace_back(line);
  enough = true;
  guard.join();
  while (std::fgets(line, sizeof line, in)) shown.emplace_back(line);
  std::fclose(in);
  int status = 0;
  ASSERT_TRUE(ReapChild(child, status));
  ASSERT_TRUE(WIFSIGNALED(status));
  // The kill may cut the mirror's last write; a line without its end was not shown whole.
  if (!shown.empty() && shown.back().back() != '\n') shown.pop_back();
  ASSERT_GE(shown.size(), 3000u);

  // The day files in the order of their names (yyyymmdd.log): a run past midnight reads in
  // order whatever order the folder lists them in.
  std::vector<fs::path> days;
  for (const auto& entry : fs::directory_iterator(dir)) days.push_back(entry.path());
  std::sort(days.begin(), days.end());
  std::vector<std::string> journaled;
  for (const fs::path& day : days) {
    for (std::string& l : ReadLines(day)) journaled.push_back(std::move(l));
  }
  ASSERT_GE(journaled.size(), shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    std::string expected = shown[i];
    if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    ASSERT_EQ(journaled[i], expected) << "line " << i;
  }
  fs::remove_all(dir);
}

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0) return RunChild(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
