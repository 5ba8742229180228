#include "link/transfer_trace.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

// Command blocks (1024) and replies (512) are shown whole; data chunks beyond are cut.
constexpr int kWholeDumpLimit = 1024;
constexpr int kDumpEdge = 64;
constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& out, const std::uint8_t* bytes, int count) {
  for (int i = 0; i < count; ++i) {
    out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
}

std::string TimeField() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()) %
      std::chrono::seconds(1);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%06lld", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<long long>(micros.count()));
  return text;
}

}  // namespace

TransferTrace::TransferTrace(const std::string& path)
    : path_(path), file_(std::fopen(path.c_str(), "w")) {}

TransferTrace::~TransferTrace() {
  if (file_ != nullptr) std::fclose(file_);
}

std::string TransferTrace::FormatBody(int site, TraceDirection direction, int endpoint, int asked,
                                      int result, const std::uint8_t* bytes) {
  char head[96];
  std::snprintf(head, sizeof head, "S%d %s EP%02X ask=%d %s=%d", site + 1,
                direction == TraceDirection::Out ? "OUT" : "IN", endpoint & 0xFF, asked,
                result < 0 ? "err" : "got", result);
  std::string line = head;
  const int moved = result < 0 || bytes == nullptr ? 0 : std::min(result, asked);
  if (moved <= kWholeDumpLimit) {
    AppendHex(line, bytes, moved);
    return line;
  }
  AppendHex(line, bytes, kDumpEdge);
  line += " ... (" + std::to_string(moved - 2 * kDumpEdge) + " bytes) ...";
  AppendHex(line, bytes + moved - kDumpEdge, kDumpEdge);
  return line;
}

void TransferTrace::Record(int site, TraceDirection direction, int endpoint, int asked, int result,
                           const std::uint8_t* bytes) {
  if (file_ == nullptr) return;
  // Formatting happens outside the lock; only the write of the finished line is serialised.
  const std::string line =
      TimeField() + ' ' + FormatBody(site, direction, endpoint, asked, result, bytes) + '\n';
  std::lock_guard lock(mutex_);
  std::fputs(line.c_str(), file_);
  std::fflush(file_);
}

bool TraceSwitch::Start(const std::string& path) {
  auto trace = std::make_unique<TransferTrace>(path);
  if (!trace->Valid()) return false;
  std::lock_guard lock(mutex_);
  current_.store(trace.get(), std::memory_order_release);
  traces_.push_back(std::move(trace));
  return true;
}

bool TraceSwitch::StartFromEnvironment() {
  const char* path = std::getenv(kTraceEnvironmentVariable);
  if (path == nullptr || *path == '\0') return false;
  return Start(path);
}

void TraceSwitch::Stop() {
  current_.store(nullptr, std::memory_order_release);
}
