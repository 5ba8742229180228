#pragma once
// The log view: a read-only plain-text view in which every line keeps its colour, and the
// consumer of the log pipeline on the UI thread.
//
// The view takes lines straight from the pipeline's queue: a wake posts one turn to the event
// loop, and a turn appends chunks of lines for a bounded time (one edit block, per-line
// character formats, the undo buffer off), then posts the next turn while lines are left, so
// that eight busy sites cannot stall the window. Nothing waits: producers push, the view takes
// when its thread is free. The lines of a turn go to the journal before the turn ends (before
// the window can paint them), so the journal and its mirror see exactly the lines shown, in
// queueing order, with their stamps.
#include <QPlainTextEdit>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "log/core/log_files.h"
#include "log/core/log_queue.h"
#include "log/core/shown_line.h"

class Journal;
class NamedLock;
class QTextCursor;

// Outcome of a row-limit check, for the caller and the tests.
enum class LogLimitOutcome { NotReached, Cleared, SavedAndCleared, SaveFailed, Ignored };

class TLogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  struct Locks {
    NamedLock& view;  // "LogMegThread"
    NamedLock& save;  // "LogSavThread"
  };

  TLogView(Locks locks, QWidget* parent = nullptr);
  // Detaches from the pipeline: no producer reaches the view after this.
  ~TLogView() override;

  // Makes the view the consumer of `log` (nullptr detaches). The row-limit notices go into the
  // same pipeline. `journal` (may be null) gets every shown line; `limitSaveDir` (may be null)
  // is read at each row-limit request that the pipeline carries. All must outlive the view or
  // be detached first.
  void Attach(LogQueue* log, Journal* journal, const std::string* limitSaveDir = nullptr);
  // Also hands the lines of each turn to `tap`, right after the journal (the station's event
  // stream); on the UI thread, so it must not wait. Empty: none.
  using Tap = std::function<void(const std::vector<ShownLogLine>& lines)>;
  void SetTap(Tap tap) { tap_ = std::move(tap); }
  // Replaces the clock of the stamps and of the automatic file names (tests).
  void SetClock(LocalTimeSource clock) { clock_ = std::move(clock); }
  // Longest time one event-loop turn spends appending lines.
  void SetTurnBudgetMs(int ms) { turnBudgetMs_ = ms; }

  // UI thread. Appends every queued line at once, then this one (tests, the close step).
  void AppendLogLine(const std::string& text, std::uint32_t colour);
  // UI thread. Appends every line still queued (the row-limit check and Save call it first).
  void FlushPending();
  // Lines queued in the pipeline and not yet shown.
  std::size_t PendingLines() const { return log_ ? log_->QueuedLines() : 0; }

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
  static constexpr std::size_t kChunkLines = 64;  // lines taken per look at the clock

  void PostTurn();
  void Turn();
  // Appends queued lines until the queue is empty or `budgetMs` (negative: none) has passed.
  // True when the queue was emptied.
  bool AppendQueued(int budgetMs);
  void Show(const std::vector<ShownLogLine>& lines, QTextCursor& cursor);
  std::tm Now() const;

  Locks locks_;
  LogQueue* log_ = nullptr;
  Journal* journal_ = nullptr;
  Tap tap_;
  const std::string* limitSaveDir_ = nullptr;
  LocalTimeSource clock_;
  std::vector<LogQueue::LogInfo> chunk_;  // reused between takes
  int turnBudgetMs_ = 8;
  int lineCount_ = 0;
};
