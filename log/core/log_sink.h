#pragma once
// The one log call every layer reports through. The pipeline (TLogThread) implements it;
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

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Callable from any thread; never waits for the UI.
  virtual void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                             std::uint8_t essential) = 0;
};
