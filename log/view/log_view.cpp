#include "log/view/log_view.h"

#include <QFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "log/core/log_sink.h"
#include "log/view/log_colour.h"
#include "support/named_lock.h"

namespace {
constexpr int kViewFontPx = 13;
constexpr std::size_t kBudgetCheckEvery = 64;  // lines between looks at the clock

// Text of the row-limit notices; they go through the pipeline like every other line.
constexpr const char* kClearNotice = "Clear Log!";
constexpr const char* kSaveNotice = "Save and Clear Log!";
constexpr const char* kSaveFailNotice = "Save and Clear Log Fail!";
}  // namespace

std::string LogLineStamp(const std::tm& t) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "[%04d / %02d / %02d - %02d:%02d:%02d] ", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return stamp;
}

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
  drainTimer_ = new QTimer(this);
  drainTimer_->setSingleShot(true);
  drainTimer_->setInterval(0);
  connect(drainTimer_, &QTimer::timeout, this, &TLogView::DrainTurn);
}

TLogView::~TLogView() = default;

std::tm TLogView::Now() const {
  return clock_();
}

void TLogView::AppendLogLine(const std::string& text, std::uint32_t colour) {
  pending_.push_back({colour, text});
  FlushPending();
}

void TLogView::QueueLogLines(const std::vector<TLogThread::LogInfo>& batch) {
  pending_.insert(pending_.end(), batch.begin(), batch.end());
  ScheduleDrain();
}

void TLogView::FlushPending() {
  while (!pending_.empty()) AppendChunk(pending_.size(), nullptr);
}

// A zero timer runs after the input and paint events of the turn, so the window keeps
// answering while a long backlog goes in.
void TLogView::ScheduleDrain() {
  if (drainScheduled_ || pending_.empty()) return;
  drainScheduled_ = true;
  drainTimer_->start();
}

void TLogView::DrainTurn() {
  drainScheduled_ = false;
  QElapsedTimer budget;
  budget.start();
  AppendChunk(pending_.size(), &budget);
  ScheduleDrain();
}

void TLogView::AppendChunk(std::size_t maxLines, const QElapsedTimer* budget) {
  if (pending_.empty()) return;
  NamedLockGuard viewLock(locks_.view);
  std::vector<ShownLogLine> shown;
  shown.reserve(std::min(maxLines, pending_.size()));
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  std::uint32_t formatColour = 0;
  bool formatSet = false;
  while (!pending_.empty() && shown.size() < maxLines) {
    const TLogThread::LogInfo& entry = pending_.front();
    if (!formatSet || entry.Color != formatColour) {
      format.setForeground(ColourFromBgr(entry.Color));
      formatColour = entry.Color;
      formatSet = true;
    }
    ShownLogLine line;
    line.time = Now();  // the time of appending, not of the message
    line.stamped = LogLineStamp(line.time) + entry.Text;
    line.colour = entry.Color;
    if (lineCount_ > 0) cursor.insertBlock();
    cursor.insertText(QString::fromStdString(line.stamped), format);
    ++lineCount_;
    shown.push_back(std::move(line));
    pending_.pop_front();
    if (budget && shown.size() % kBudgetCheckEvery == 0 && budget->elapsed() >= turnBudgetMs_)
      break;
  }
  cursor.endEditBlock();
  // Keep the newest line in sight.
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
  if (observer_) observer_(shown);
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
      if (sink_) sink_->AddLogMessage(kClearNotice, LogColour::Orange, 0, 0);
    } else if (lineCount_ >= rows) {
      const bool saved = !SaveAutomaticallyAndClear(saveDir).empty();
      outcome = saved ? LogLimitOutcome::SavedAndCleared : LogLimitOutcome::SaveFailed;
      if (sink_) {
        sink_->AddLogMessage(saved ? kSaveNotice : kSaveFailNotice,
                             saved ? LogColour::Orange : LogColour::Red, 0, 0);
      }
    }
  }
  locks_.view.Release();
  locks_.save.Release();
  return outcome;
}
