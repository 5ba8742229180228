#include "project/pin_names.h"

#include <array>

namespace {

constexpr std::size_t kAddressPins = 32;
constexpr std::size_t kDataPins = 16;
constexpr std::size_t kFirstControlPin = kAddressPins + kDataPins;
constexpr std::array<std::string_view, kPinNameCount - kFirstControlPin> kControlPins{
    "IO_CE", "IO_OE", "IO_WE", "IO_RP", "IO_BYTE", "IO_WP", "IO_RB", "IO_C7"};

}  // namespace

std::string PinName(std::size_t bit) {
  if (bit < kAddressPins) return "IO_A<" + std::to_string(bit) + ">";
  if (bit < kFirstControlPin) return "IO_D<" + std::to_string(bit - kAddressPins) + ">";
  if (bit < kPinNameCount) return std::string(kControlPins[bit - kFirstControlPin]);
  return {};
}

std::optional<std::size_t> PinBitOf(std::string_view name) {
  for (std::size_t bit = 0; bit < kPinNameCount; ++bit) {
    if (PinName(bit) == name) return bit;
  }
  return std::nullopt;
}
