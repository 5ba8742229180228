#pragma once
// The one log call every layer reports through. The pipeline (LogQueue) implements it;
// tests implement it to capture lines.
#include <cstdint>
#include <string>

// Colours in the byte order 0x00BBGGRR.
namespace LogColour {
inline constexpr std::uint32_t Red = 0x0000FF;     // failures, errors, refusals
inline constexpr std::uint32_t Green = 0x008000;   // passes
inline constexpr std::uint32_t Start = 0xFF0000;   // a step that starts (RGB 0, 0, 255)
inline constexpr std::uint32_t Orange = 0x4080FF;  // notices
inline constexpr std::uint32_t Black = 0x000000;   // values, plain information
}  // namespace LogColour

// How important a line is: the "Essential" display mode shows the essential lines (and every
// red line), the mode that shows everything also the details.
enum class LogLevel : std::uint8_t { Detail = 0, Essential = 1 };

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Callable from any thread; never waits for the UI. `ignored` is kept for the sinks' sake and
  // read by none; `essential` is a LogLevel.
  virtual void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                             std::uint8_t essential) = 0;
  // A line at its level: what every caller writes.
  void Write(const std::string& text, std::uint32_t colour, LogLevel level = LogLevel::Detail) {
    AddLogMessage(text, colour, kUnusedFlag, static_cast<std::uint8_t>(level));
  }

 private:
  static constexpr std::uint8_t kUnusedFlag = 1;
};
