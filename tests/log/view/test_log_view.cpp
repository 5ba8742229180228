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
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "log/core/log_thread.h"
#include "log/view/log_view.h"
#include "support/named_lock.h"

namespace fs = std::filesystem;

namespace {
std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 2015 - 1900;
  t.tm_mon = 7;
  t.tm_mday = 5;
  t.tm_hour = 14;
  t.tm_min = 3;
  t.tm_sec = 9;
  return t;
}

// Captures the notices the view sends to the pipeline.
class CaptureSink : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    lines.push_back({colour, text});
  }
  std::vector<TLogThread::LogInfo> lines;
};

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
    view.SetLogSink(&sink);
  }
  void Fill(int lines) {
    std::vector<TLogThread::LogInfo> batch(static_cast<std::size_t>(lines), {0, "x"});
    view.QueueLogLines(batch);
    view.FlushPending();
  }
  NamedLocks locks;
  CaptureSink sink;
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

TEST_F(LogViewTest, QueuedBatchesAreAppendedOverLaterTurnsInOrder) {
  view.SetTurnBudgetMs(0);  // one chunk of 64 lines per turn at most
  std::vector<TLogThread::LogInfo> batch;
  for (int i = 0; i < 1000; ++i) batch.push_back({0, std::to_string(i)});
  view.QueueLogLines(batch);
  EXPECT_EQ(view.LineCount(), 0);  // nothing in the handing-over turn
  QCoreApplication::processEvents();
  EXPECT_GT(view.LineCount(), 0);
  EXPECT_LT(view.LineCount(), 1000);
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
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0].Text, "Clear Log!");
  EXPECT_EQ(sink.lines[0].Color, 0x4080FFu);

  // 60000 acts as 50000.
  Fill(49999);
  EXPECT_EQ(view.CheckLogLimit(0, 60000, dir.path()), LogLimitOutcome::NotReached);
  Fill(1);
  EXPECT_EQ(view.CheckLogLimit(0, 60000, dir.path()), LogLimitOutcome::Cleared);
  // Unknown selections do nothing at all.
  Fill(10000);
  EXPECT_EQ(view.CheckLogLimit(7, 10000, dir.path()), LogLimitOutcome::Ignored);
  EXPECT_EQ(view.LineCount(), 10000);
}

TEST_F(LogViewTest, LinesStillWaitingCountForTheLimit) {
  TempDir dir;
  std::vector<TLogThread::LogInfo> batch(10000, {0, "y"});
  view.QueueLogLines(batch);  // not yet appended
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
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0].Text, "Save and Clear Log!");
  EXPECT_EQ(sink.lines[0].Color, 0x4080FFu);
}

TEST_F(LogViewTest, FailedSaveKeepsTheLinesAndReportsInRed) {
  TempDir dir;
  const fs::path blocker = dir.path() / "file";
  std::ofstream(blocker) << "not a folder";
  Fill(10000);
  EXPECT_EQ(view.CheckLogLimit(1, 10000, blocker / "MLOG"), LogLimitOutcome::SaveFailed);
  EXPECT_EQ(view.LineCount(), 10000);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0].Text, "Save and Clear Log Fail!");
  EXPECT_EQ(sink.lines[0].Color, 0x0000FFu);
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

// The pipeline as the main window wires it: a queued dispatcher to the UI thread.
class PipelineTest : public LogViewTest {
 protected:
  void Wire(std::int32_t mode) {
    log = std::make_unique<TLogThread>(mode);
    view.SetLogSink(log.get());
    log->SetDispatcher([this](std::function<void()> work) {
      QMetaObject::invokeMethod(&view, std::move(work), Qt::QueuedConnection);
    });
    log->SetOnLogBatch(
        [this](const std::vector<TLogThread::LogInfo>& b) { view.QueueLogLines(b); });
  }
  void RunUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000) QCoreApplication::processEvents();
  }
  ~PipelineTest() override { log.reset(); }
  std::unique_ptr<TLogThread> log;
};

TEST_F(PipelineTest, DisplayModeDecidesWhatReachesTheView) {
  Wire(LogDisplay::None);
  log->AddLogMessage("red none", 0x0000FF, 0, 0);
  log->SetLogDisplayMode(LogDisplay::Essential);
  log->AddLogMessage("green plain", 0x008000, 0, 0);
  log->AddLogMessage("red plain", 0x0000FF, 0, 0);
  log->AddLogMessage("essential", 0x008000, 0, 1);
  log->SetLogDisplayMode(LogDisplay::All);
  log->AddLogMessage("black all", 0x000000, 0, 0);
  log->SetLogDisplayMode(5);
  log->AddLogMessage("red odd mode", 0x0000FF, 0, 1);
  log->SetLogDisplayMode(LogDisplay::All);
  log->AddLogMessage("end", 0, 0, 0);
  RunUntil([&] { return view.LineCount() == 4; });
  QCoreApplication::processEvents();
  std::vector<std::string> texts;
  for (const std::string& line : view.Lines()) texts.push_back(line.substr(28));
  EXPECT_EQ(texts, (std::vector<std::string>{"red plain", "essential", "black all", "end"}));
}

TEST_F(PipelineTest, EightProducersKeepTheirQueueingOrder) {
  Wire(LogDisplay::All);
  constexpr int kThreads = 8;
  constexpr int kPerThread = 2000;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i)
        log->AddLogMessage("Site #" + std::to_string(t + 1) + " " + std::to_string(i), 0, 0, 0);
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

TEST_F(PipelineTest, NoticeOfAClearedViewBecomesItsFirstLine) {
  Wire(LogDisplay::All);
  TempDir dir;
  log->SetOnLimitCheck(
      [&](std::int32_t sel, std::int32_t rows) { view.CheckLogLimit(sel, rows, dir.path()); });
  Fill(10000);
  log->RequestLimitCheck(0, 10000);
  RunUntil([&] { return view.LineCount() == 1; });
  ASSERT_EQ(view.LineCount(), 1);
  EXPECT_EQ(view.Lines()[0], LogLineStamp(FixedTime()) + "Clear Log!");
}
