#include "cli/cli_log.h"

#include <ctime>

CliLog::CliLog(std::ostream& out, std::mutex& outMutex, std::int32_t displayMode)
    : out_(out), outMutex_(outMutex), thread_(displayMode) {
  thread_.SetOnLogMessage([this](const std::string& text, std::uint32_t) { Print(text); });
}

CliLog::~CliLog() {
  Flush();
}

void CliLog::AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t /*ignored*/,
                           std::uint8_t essential) {
  if (!thread_.IsLogMessageShown(colour, essential)) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++accepted_;
  }
  thread_.AddLog(text, colour);
}

void CliLog::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  printedCv_.wait(lock, [this] { return printed_ >= accepted_; });
  std::lock_guard<std::mutex> outLock(outMutex_);
  out_.flush();
}

std::string CliLog::TimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "[%Y / %m / %d - %H:%M:%S] ", &local);
  return text;
}

void CliLog::Print(const std::string& text) {
  {
    std::lock_guard<std::mutex> outLock(outMutex_);
    out_ << TimeStamp() << text << '\n';
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++printed_;
  printedCv_.notify_all();
}
