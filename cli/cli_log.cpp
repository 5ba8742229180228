#include "cli/cli_log.h"

CliLog::CliLog(LogQueue& pipeline, Journal& journal, std::ostream& out, std::mutex& outMutex)
    : out_(out),
      outMutex_(outMutex),
      writer_(pipeline,
              {.journal = &journal, .output = [this](const std::vector<ShownLogLine>& lines) {
                 std::lock_guard<std::mutex> lock(outMutex_);
                 for (const ShownLogLine& line : lines) out_ << line.stamped << '\n';
                 out_.flush();
                 if (tap_) tap_(lines);
               }}) {}

void CliLog::SetTap(Tap tap) {
  std::lock_guard<std::mutex> lock(outMutex_);
  tap_ = std::move(tap);
}

void CliLog::Flush() {
  writer_.Flush();
}
