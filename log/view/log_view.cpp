#include "log/view/log_view.h"

#include <QElapsedTimer>
#include <QFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "log/core/journal.h"
#include "log/core/log_sink.h"
#include "log/view/log_colour.h"
#include "support/named_lock.h"

namespace {
constexpr int kViewFontPx = 13;

// Text of the row-limit notices; they go through the pipeline like every other line.
constexpr const char* kClearNotice = "Clear Log!";
constexpr const char* kSaveNotice = "Save and Clear Log!";
constexpr const char* kSaveFailNotice = "Save and Clear Log Fail!";
}  // namespace

TLogView::TLogView(Locks locks, QWidget* parent)
    : QPlainTextEdit(parent), locks_(locks), clock_(CurrentLocalTime) {
  setObjectName(QStringLiteral("RichEdit1"));
  setReadOnly(true);
  setUndoRedoEnabled(false);
  document()->setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont viewFont(QStringLiteral("Arial"));
  viewFont.setPixelSize(kViewFontPx);
  setFont(viewFont);
}

TLogView::~TLogView() {
  Attach(nullptr, nullptr);
}

void TLogView::Attach(LogQueue* log, Journal* journal, const std::string* limitSaveDir) {
  if (log_) log_->SetWake({});  // waits for a wake in progress: none reaches a stale view
  log_ = log;
  journal_ = journal;
  limitSaveDir_ = limitSaveDir;
  if (log_) log_->SetWake([this] { PostTurn(); });
}

std::tm TLogView::Now() const {
  return clock_();
}

// Any thread: a posted call runs after the input and paint events already waiting, so the
// window keeps answering while a long backlog goes in.
void TLogView::PostTurn() {
  QMetaObject::invokeMethod(
      this, [this] { Turn(); }, Qt::QueuedConnection);
}

void TLogView::Turn() {
  if (!log_) return;
  if (AppendQueued(turnBudgetMs_)) {
    // The lines queued before the request are in: the check counts them.
    log_->ServeLimitCheck([this](std::int32_t selection, std::int32_t rows) {
      CheckLogLimit(selection, rows, limitSaveDir_ ? *limitSaveDir_ : std::string());
    });
  }
  if (log_->EndTurn()) PostTurn();
}

void TLogView::FlushPending() {
  if (!log_) return;
  AppendQueued(-1);
  if (log_->EndTurn()) PostTurn();  // a limit request or later lines: the next turn serves them
}

void TLogView::AppendLogLine(const std::string& text, std::uint32_t colour) {
  FlushPending();
  std::vector<LogQueue::LogInfo> one{{colour, text}};
  const std::vector<ShownLogLine> shown = StampLogLines(one, Now());
  if (journal_) journal_->Append(shown);
  if (tap_) tap_(shown);
  NamedLockGuard viewLock(locks_.view);
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  Show(shown, cursor);
  cursor.endEditBlock();
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}

bool TLogView::AppendQueued(int budgetMs) {
  QElapsedTimer budget;
  budget.start();
  NamedLockGuard viewLock(locks_.view);
  std::optional<QTextCursor> cursor;
  std::vector<ShownLogLine> turn;  // for the journal: one write per turn, not per chunk
  bool emptied = false;
  for (;;) {
    if (log_->TakeLines(chunk_, kChunkLines) == 0) {
      emptied = true;
      break;
    }
    std::vector<ShownLogLine> shown = StampLogLines(chunk_, Now());
    if (!cursor) {
      cursor.emplace(document());
      cursor->beginEditBlock();
    }
    Show(shown, *cursor);
    std::move(shown.begin(), shown.end(), std::back_inserter(turn));
    if (budgetMs >= 0 && budget.elapsed() >= budgetMs) break;
  }
  if (!cursor) return emptied;
  // Before the turn ends, so the bytes are in the kernel before the window can paint the lines.
  if (journal_) journal_->Append(turn);
  if (tap_) tap_(turn);
  cursor->endEditBlock();
  // Keep the newest line in sight.
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
  return emptied;
}

void TLogView::Show(const std::vector<ShownLogLine>& lines, QTextCursor& cursor) {
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  bool formatSet = false;
  std::uint32_t formatColour = 0;
  for (const ShownLogLine& line : lines) {
    if (!formatSet || line.colour != formatColour) {
      format.setForeground(ColourFromBgr(line.colour));
      formatColour = line.colour;
      formatSet = true;
    }
    if (lineCount_ > 0) cursor.insertBlock();
    cursor.insertText(QString::fromStdString(line.stamped), format);
    ++lineCount_;
  }
}

std::vector<std::string> TLogView::Lines() const {
  std::vector<std::string> lines;
  if (lineCount_ == 0) return lines;
  lines.reserve(static_cast<std::size_t>(lineCount_));
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
    lines.push_back(block.text().toStdString());
  return lines;
}

void TLogView::ClearLog() {
  document()->clear();
  document()->clearUndoRedoStacks();
  lineCount_ = 0;
}

bool TLogView::SaveToFile(const std::filesystem::path& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : Lines()) out << line << "\r\n";
  out.flush();
  return static_cast<bool>(out);
}

std::filesystem::path TLogView::SaveAutomaticallyAndClear(const std::filesystem::path& saveDir) {
  std::error_code ec;
  std::filesystem::create_directories(saveDir, ec);
  if (!std::filesystem::is_directory(saveDir, ec)) return {};
  const std::filesystem::path path = FreeAutoLogPath(saveDir, clock_);
  if (path.empty()) return {};
  // A failed write keeps the lines: clearing them would lose the only copy.
  if (!SaveToFile(path)) return {};
  ClearLog();
  return path;
}

LogLimitOutcome TLogView::CheckLogLimit(std::int32_t clearSelection, std::int32_t rowLimit,
                                        const std::filesystem::path& saveDir) {
  FlushPending();  // lines handed over before the check count
  NamedLock::TakeBoth(locks_.save, locks_.view);
  const std::int32_t rows = ClampLogLimitRows(rowLimit);
  LogLimitOutcome outcome = LogLimitOutcome::Ignored;
  if (clearSelection == 0 || clearSelection == 1) {
    outcome = LogLimitOutcome::NotReached;
    if (lineCount_ >= rows && clearSelection == 0) {
      ClearLog();
      outcome = LogLimitOutcome::Cleared;
      if (log_) log_->Write(kClearNotice, LogColour::Orange);
    } else if (lineCount_ >= rows) {
      const bool saved = !SaveAutomaticallyAndClear(saveDir).empty();
      outcome = saved ? LogLimitOutcome::SavedAndCleared : LogLimitOutcome::SaveFailed;
      if (log_) {
        log_->Write(saved ? kSaveNotice : kSaveFailNotice,
                    saved ? LogColour::Orange : LogColour::Red);
      }
    }
  }
  locks_.view.Release();
  locks_.save.Release();
  return outcome;
}
