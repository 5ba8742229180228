#pragma once
// The log view: a read-only plain-text view in which every line keeps its colour.
//
// Lines arrive in batches from the log pipeline (TLogThread) on the UI thread. A batch is only
// queued here; the lines go into the document in chunks of bounded time per event-loop turn,
// each chunk inside one edit block with per-line character formats and the undo buffer off, so
// that eight busy sites cannot stall the window. Order is kept: lines are appended strictly in
// the order they were handed over.
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <cstdint>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "log/core/log_files.h"
#include "log/core/log_thread.h"

class NamedLock;
class QTimer;
class LogSink;

// One line as it was shown: its local time of appending and the stamped text.
struct ShownLogLine {
  std::tm time{};
  std::string stamped;  // "[yyyy / mm / dd - hh:mm:ss] " + text
  std::uint32_t colour = 0;
};

// "[yyyy / mm / dd - hh:mm:ss] " (ends in one blank).
std::string LogLineStamp(const std::tm& localTime);

// Outcome of a row-limit check, for the caller and the tests.
enum class LogLimitOutcome { NotReached, Cleared, SavedAndCleared, SaveFailed, Ignored };

class TLogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  struct Locks {
    NamedLock& view;  // "LogMegThread"
    NamedLock& save;  // "LogSavThread"
  };
  using LineObserver = std::function<void(const std::vector<ShownLogLine>& lines)>;

  TLogView(Locks locks, QWidget* parent = nullptr);
  ~TLogView() override;

  // Where the row-limit notices go (the pipeline, so they are filtered and queued like any line).
  void SetLogSink(LogSink* sink) { sink_ = sink; }
  // Told about every chunk of lines right after they went into the document, before the window
  // can repaint: the journal writes them here.
  void SetLineObserver(LineObserver observer) { observer_ = std::move(observer); }
  // Replaces the clock of the stamps and of the automatic file names (tests).
  void SetClock(LocalTimeSource clock) { clock_ = std::move(clock); }
  // Longest time one event-loop turn spends appending lines.
  void SetTurnBudgetMs(int ms) { turnBudgetMs_ = ms; }

  // UI thread. Appends one line at once (after any lines still waiting).
  void AppendLogLine(const std::string& text, std::uint32_t colour);
  // UI thread. Queues a batch; it is appended over the next event-loop turns.
  void QueueLogLines(const std::vector<TLogThread::LogInfo>& batch);
  // UI thread. Appends every line still waiting (the row-limit check and Save call it first).
  void FlushPending();
  std::size_t PendingLines() const { return pending_.size(); }

  // Lines in the view (an empty view holds 0).
  int LineCount() const { return lineCount_; }
  // The view's plain text, one entry per line.
  std::vector<std::string> Lines() const;
  // Clears the view and its undo buffer; takes no lock.
  void ClearLog();
  // Writes the plain text, lines ended by CR LF, no header. False when the file cannot be
  // written whole.
  bool SaveToFile(const std::filesystem::path& path) const;

  // The row-limit check (UI thread). clearSelection 0 clears, 1 saves into saveDir then clears;
  // rowLimit is clamped to 10000..50000 and the check is ">=".
  LogLimitOutcome CheckLogLimit(std::int32_t clearSelection, std::int32_t rowLimit,
                                const std::filesystem::path& saveDir);
  // Saves into saveDir under the automatic name (creating the folder), then clears. Empty path
  // when the folder is missing or the file could not be written (the view is then kept).
  std::filesystem::path SaveAutomaticallyAndClear(const std::filesystem::path& saveDir);

 private:
  void DrainTurn();
  void AppendChunk(std::size_t maxLines, const QElapsedTimer* budget);
  void ScheduleDrain();
  std::tm Now() const;

  Locks locks_;
  LogSink* sink_ = nullptr;
  LineObserver observer_;
  LocalTimeSource clock_;
  std::deque<TLogThread::LogInfo> pending_;
  QTimer* drainTimer_ = nullptr;
  bool drainScheduled_ = false;
  int turnBudgetMs_ = 20;
  int lineCount_ = 0;
};
