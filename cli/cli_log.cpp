#include "tools/console/console_log.h"

#include <ctime>

ConsoleLog::ConsoleLog(std::FILE* out, std::int32_t displayMode) : out_(out), thread_(displayMode) {
  thread_.SetOnLogMessage([this](const std::string& text, std::uint32_t) { Print(text); });
}

void ConsoleLog::AddLogMessage(const std::string& text, std::uint32_t colour,
                               std::uint8_t /*ignored*/, std::uint8_t essential) {
  if (!thread_.IsLogMessageShown(colour, essential)) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++accepted_;
  }
  thread_.AddLog(text, colour);
}

void ConsoleLog::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  printedCv_.wait(lock, [this] { return printed_ >= accepted_; });
  std::fflush(out_);
}

std::string ConsoleLog::TimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "[%Y / %m / %d - %H:%M:%S] ", &local);
  return text;
}

void ConsoleLog::Print(const std::string& text) {
  const std::string line = TimeStamp() + text + "\n";
  std::fputs(line.c_str(), out_);
  std::lock_guard<std::mutex> lock(mutex_);
  ++printed_;
  printedCv_.notify_all();
}
