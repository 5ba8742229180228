#include "log/core/journal.h"

#include <system_error>

#include "log/core/shown_line.h"

namespace {
std::string DayText(const std::tm& t) {
  char day[40];
  std::snprintf(day, sizeof day, "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
  return day;
}
}  // namespace

Journal::Journal(std::filesystem::path folder) : folder_(std::move(folder)) {}

Journal::~Journal() {
  Close();
}

void Journal::SetFolder(std::filesystem::path folder) {
  Close();
  folder_ = std::move(folder);
}

std::filesystem::path Journal::FileFor(const std::tm& localTime) const {
  return folder_ / (DayText(localTime) + ".log");
}

void Journal::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  fileDay_.clear();
}

bool Journal::OpenFor(const std::tm& localTime) {
  const std::string day = DayText(localTime);
  if (file_ && day == fileDay_) return true;
  Close();
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  file_ = std::fopen(FileFor(localTime).string().c_str(), "ab");
  if (!file_) return false;
  fileDay_ = day;
  return true;
}

// One write and one flush per run of lines of the same day: the bytes are in the kernel before
// the view paints them, which is what survives a killed process.
bool Journal::Append(const std::vector<ShownLogLine>& lines) {
  bool ok = true;
  std::string chunk;
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::string day = DayText(lines[i].time);
    chunk.clear();
    std::size_t j = i;
    for (; j < lines.size() && DayText(lines[j].time) == day; ++j) {
      chunk += lines[j].stamped;
      chunk += '\n';
    }
    if (OpenFor(lines[i].time)) {
      const bool written = std::fwrite(chunk.data(), 1, chunk.size(), file_) == chunk.size();
      ok = std::fflush(file_) == 0 && written && ok;
    } else {
      ok = false;
    }
    if (mirror_) {
      std::FILE* out = mirrorStream_ ? mirrorStream_ : stdout;
      std::fwrite(chunk.data(), 1, chunk.size(), out);
      std::fflush(out);
    }
    i = j;
  }
  return ok;
}
