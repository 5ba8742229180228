#include "support/single_byte_text.h"

namespace {
constexpr std::uint8_t kFirstTwoByteCode = 0x80;
constexpr std::uint8_t kLeadMark = 0xC0;
constexpr std::uint8_t kFollowMark = 0x80;
constexpr std::uint8_t kLowSixBits = 0x3F;
constexpr std::uint8_t kDelete = 0x7F;
constexpr std::uint8_t kLastControl = 0x9F;  // 0x80..0x9F are control codes in Latin-1 too
}  // namespace

std::string SingleByteText(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const std::uint8_t byte : bytes) {
    if (byte < kFirstTwoByteCode) {
      text.push_back(static_cast<char>(byte));
      continue;
    }
    text.push_back(static_cast<char>(kLeadMark | (byte >> 6)));
    text.push_back(static_cast<char>(kFollowMark | (byte & kLowSixBits)));
  }
  return text;
}

std::string SingleByteText(std::string_view bytes) {
  return SingleByteText(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string PrintableSingleByteText(std::string_view bytes) {
  std::string shown(bytes);
  for (char& c : shown) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < ' ' || (byte >= kDelete && byte <= kLastControl)) c = ' ';
  }
  return SingleByteText(shown);
}
