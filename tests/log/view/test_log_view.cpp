// The log view: stamps and colours, the row limit, the automatic save, and the pipeline feeding
// the view from several threads in order.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "log/core/journal.h"
#include "log/core/log_queue.h"
#include "log/view/log_view.h"
#include "support/named_lock.h"
#include "tests/support/calendar_time.h"

namespace fs = std::filesystem;

namespace {
std::tm FixedTime() {
  return CalendarTime(2015, 8, 5, 14, 3, 9);
}

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("zv_logview_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

class LogViewTest : public ::testing::Test {
 protected:
  LogViewTest() : view({locks.Get(LockName::LogView), locks.Get(LockName::LogSave)}) {
    view.SetClock(FixedTime);
    view.Attach(&log, nullptr, &saveDir);
  }
  ~LogViewTest() override { view.Attach(nullptr, nullptr); }
  void Fill(int lines) {
    for (int i = 0; i < lines; ++i) log.AddLog("x", 0);
    view.FlushPending();
  }
  // The lines the view has queued into its pipeline (the row-limit notices), taken out.
  std::vector<LogQueue::LogInfo> Notices() {
    std::vector<LogQueue::LogInfo> lines;
    log.TakeLines(lines, 100);
    return lines;
  }
  // Runs the event loop until `done`; the bound only ends a test whose fault would hang it.
  void RunUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  NamedLocks locks;
  LogQueue log{LogDisplay::All};
  std::string saveDir;
  TLogView view;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

TEST_F(LogViewTest, EachLineGetsTheStampAndKeepsItsOwnColour) {
  view.AppendLogLine("Site #1 - RUN ALL...", 0xFF0000);
  view.AppendLogLine("Site #1 - Program Fail!", 0x0000FF);
  ASSERT_EQ(view.LineCount(), 2);
  const auto lines = view.Lines();
  EXPECT_EQ(lines[0], "[2015 / 08 / 05 - 14:03:09] Site #1 - RUN ALL...");
  EXPECT_EQ(lines[1], "[2015 / 08 / 05 - 14:03:09] Site #1 - Program Fail!");

  // The whole line, stamp included, is in the line's colour (0x00BBGGRR).
  QTextBlock first = view.document()->begin();
  QTextBlock second = first.next();
  QTextCursor c1(first);
  c1.movePosition(QTextCursor::Right);
  EXPECT_EQ(c1.charFormat().foreground().color(), QColor(0, 0, 255));
  QTextCursor c2(second);
  c2.movePosition(QTextCursor::EndOfBlock);
  EXPECT_EQ(c2.charFormat().foreground().color(), QColor(255, 0, 0));
  EXPECT_FALSE(view.document()->isUndoRedoEnabled());
}

TEST_F(LogViewTest, QueuedLinesAreAppendedOverLaterTurnsInOrder) {
  view.SetTurnBudgetMs(0);  // one chunk of 64 lines per turn
  for (int i = 0; i < 1000; ++i) log.AddLog(std::to_string(i), 0);
  EXPECT_EQ(view.LineCount(), 0);  // a push only posts a turn
  QCoreApplication::processEvents();
  EXPECT_EQ(view.LineCount(), 64);
  EXPECT_EQ(view.PendingLines(), 1000u - 64u);
  for (int turn = 0; turn < 100 && view.PendingLines() > 0; ++turn)
    QCoreApplication::processEvents();
  ASSERT_EQ(view.LineCount(), 1000);
  const auto lines = view.Lines();
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(lines[static_cast<std::size_t>(i)], LogLineStamp(FixedTime()) + std::to_string(i));
}

TEST_F(LogViewTest, RowLimitIsClampedAndClearsAtExactlyTheLimit) {
  TempDir dir;
  Fill(9999);
  // 5000 acts as 10000: one line short of it nothing happens.
  EXPECT_EQ(view.CheckLogLimit(0, 5000, dir.path()), LogLimitOutcome::NotReached);
  EXPECT_EQ(view.LineCount(), 9999);
  Fill(1);
  EXPECT_EQ(view.CheckLogLimit(0, 5000, dir.path()), LogLimitOutcome::Cleared);
  EXPECT_EQ(view.LineCount(), 0);
  auto notices = Notices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].Text, "Clear Log!");
  EXPECT_EQ(notices[0].Color, 0x4080FFu);

  // 60000 acts as 50000.
  Fill(49999);
  EXPECT_EQ(view.CheckLogLimit(0, 60000, dir.path()), LogLimitOutcome::NotReached);
  Fill(1);
  EXPECT_EQ(view.CheckLogLimit(0, 60000, dir.path()), LogLimitOutcome::Cleared);
  EXPECT_EQ(Notices().size(), 1u);
  // Unknown selections do nothing at all.
  Fill(10000);
  EXPECT_EQ(view.CheckLogLimit(7, 10000, dir.path()), LogLimitOutcome::Ignored);
  EXPECT_EQ(view.LineCount(), 10000);
}

TEST_F(LogViewTest, LinesStillWaitingCountForTheLimit) {
  TempDir dir;
  for (int i = 0; i < 10000; ++i) log.AddLog("y", 0);  // not yet appended
  EXPECT_EQ(view.CheckLogLimit(0, 10000, dir.path()), LogLimitOutcome::Cleared);
}

TEST_F(LogViewTest, AutomaticSaveCountsOnlyPlainFilesAndWritesCrLf) {
  TempDir dir;
  for (int i = 0; i < 12; ++i) std::ofstream(dir.path() / ("f" + std::to_string(i))) << "x";
  fs::create_directories(dir.path() / "sub1");
  fs::create_directories(dir.path() / "sub2");
  view.AppendLogLine("first", 0);
  view.AppendLogLine("second", 0);
  const fs::path saved = view.SaveAutomaticallyAndClear(dir.path());
  EXPECT_EQ(saved.filename().string(), "20150805_140309_13.TXT");
  EXPECT_EQ(ReadFile(saved),
            "[2015 / 08 / 05 - 14:03:09] first\r\n[2015 / 08 / 05 - 14:03:09] second\r\n");
  EXPECT_EQ(view.LineCount(), 0);
}

TEST_F(LogViewTest, SaveAtTheLimitCreatesTheFolderAndReports) {
  TempDir dir;
  const fs::path target = dir.path() / "a" / "b";
  Fill(10000);
  EXPECT_EQ(view.CheckLogLimit(1, 0, target), LogLimitOutcome::SavedAndCleared);
  EXPECT_TRUE(fs::exists(target / "20150805_140309_1.TXT"));
  auto notices = Notices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].Text, "Save and Clear Log!");
  EXPECT_EQ(notices[0].Color, 0x4080FFu);
}

TEST_F(LogViewTest, FailedSaveKeepsTheLinesAndReportsInRed) {
  TempDir dir;
  const fs::path blocker = dir.path() / "file";
  std::ofstream(blocker) << "not a folder";
  Fill(10000);
  EXPECT_EQ(view.CheckLogLimit(1, 10000, blocker / "MLOG"), LogLimitOutcome::SaveFailed);
  EXPECT_EQ(view.LineCount(), 10000);
  auto notices = Notices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].Text, "Save and Clear Log Fail!");
  EXPECT_EQ(notices[0].Color, 0x0000FFu);
  EXPECT_FALSE(view.SaveToFile(dir.path() / "missing" / "x.TXT"));
}

TEST_F(LogViewTest, ClearEmptiesTheViewAndTheNextLineStartsItAgain) {
  view.AppendLogLine("a", 0);
  view.ClearLog();
  EXPECT_EQ(view.LineCount(), 0);
  EXPECT_TRUE(view.Lines().empty());
  view.AppendLogLine("b", 0);
  EXPECT_EQ(view.Lines(), std::vector<std::string>{LogLineStamp(FixedTime()) + "b"});
}

TEST_F(LogViewTest, DisplayModeDecidesWhatReachesTheView) {
  log.SetLogDisplayMode(LogDisplay::None);
  log.Write("red none", 0x0000FF, LogLevel::Detail);
  log.SetLogDisplayMode(LogDisplay::Essential);
  log.Write("green plain", 0x008000, LogLevel::Detail);
  log.Write("red plain", 0x0000FF, LogLevel::Detail);
  log.Write("essential", 0x008000, LogLevel::Essential);
  log.SetLogDisplayMode(LogDisplay::All);
  log.Write("black all", 0x000000, LogLevel::Detail);
  log.SetLogDisplayMode(5);
  log.Write("red odd mode", 0x0000FF, LogLevel::Essential);
  log.SetLogDisplayMode(LogDisplay::All);
  log.Write("end", 0, LogLevel::Detail);
  RunUntil([&] { return view.LineCount() == 4; });
  QCoreApplication::processEvents();
  std::vector<std::string> texts;
  for (const std::string& line : view.Lines()) texts.push_back(line.substr(28));
  EXPECT_EQ(texts, (std::vector<std::string>{"red plain", "essential", "black all", "end"}));
}

TEST_F(LogViewTest, EightProducersKeepTheirQueueingOrder) {
  view.SetTurnBudgetMs(1);
  constexpr int kThreads = 8;
  constexpr int kPerThread = 2000;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i)
        log.Write("Site #" + std::to_string(t + 1) + " " + std::to_string(i), 0, LogLevel::Detail);
    });
  }
  RunUntil([&] { return view.LineCount() == kThreads * kPerThread; });
  for (auto& p : producers) p.join();
  ASSERT_EQ(view.LineCount(), kThreads * kPerThread);
  // Every producer's lines appear in its own order, none lost.
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : view.Lines()) {
    const std::string text = line.substr(28);
    const int site = std::stoi(text.substr(6, 1)) - 1;
    ASSERT_EQ(std::stoi(text.substr(8)), next[static_cast<std::size_t>(site)]++);
  }
}

// A request through the pipeline: served after the lines queued before it, with the save folder
// read at the time of the check; its notice becomes the first line of the cleared view.
TEST_F(LogViewTest, LimitRequestThroughThePipelineCountsEarlierLines) {
  TempDir dir;
  saveDir = (dir.path() / "MLOG").string();
  for (int i = 0; i < 10000; ++i) log.AddLog("y", 0);
  log.RequestLimitCheck(1, 10000);
  RunUntil([&] { return !log.LimitCheckPending() && view.PendingLines() == 0; });
  RunUntil([&] { return view.LineCount() == 1; });
  ASSERT_EQ(view.LineCount(), 1);
  EXPECT_EQ(view.Lines()[0], LogLineStamp(FixedTime()) + "Save and Clear Log!");
  EXPECT_TRUE(fs::exists(dir.path() / "MLOG" / "20150805_140309_1.TXT"));
}

TEST_F(LogViewTest, JournalGetsExactlyTheShownLines) {
  TempDir dir;
  Journal journal(dir.path() / "J");
  view.Attach(&log, &journal);
  view.SetTurnBudgetMs(0);  // many turns: the journal must follow each of them
  for (int i = 0; i < 500; ++i) log.AddLog("line " + std::to_string(i), i % 2 ? 0x0000FF : 0);
  view.AppendLogLine("appended at once", 0);
  for (int i = 0; i < 500; ++i) log.AddLog("more " + std::to_string(i), 0);
  RunUntil([&] { return view.LineCount() == 1001; });
  std::vector<std::string> journaled;
  std::ifstream in(journal.FileFor(FixedTime()));
  for (std::string line; std::getline(in, line);) journaled.push_back(line);
  EXPECT_EQ(journaled, view.Lines());
  EXPECT_EQ(journaled[500], LogLineStamp(FixedTime()) + "appended at once");
}
