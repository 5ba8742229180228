// A firmware image with its information file and a unit's version bytes: the version texts and
// both comparisons, the trailer decoding and the image check. Input: four version bytes, the
// length of the information text (2 bytes, little-endian), that text, then the image (read as
// the update reads it: at most 512 KiB, a shorter image as if padded with 0xFF).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "site/firmware_image.h"
#include "support/byte_order.h"
#include "support/ini_file.h"

namespace {

constexpr std::size_t kHeader = 6;

void CheckComparisons(const std::string& a, const std::string& b) {
  // A strict order: never both older than the other, never older than itself.
  if (SoftwareVersionOlder(a, b) && SoftwareVersionOlder(b, a)) __builtin_trap();
  if (FirmwareVersionOlder(a, b) && FirmwareVersionOlder(b, a)) __builtin_trap();
  if (SoftwareVersionOlder(a, a) || FirmwareVersionOlder(a, a)) __builtin_trap();
}

void CheckImage(std::span<const std::uint8_t> image) {
  const FirmwareTrailer trailer = DecodeFirmwareTrailer(image);
  // The short image must read exactly as the padded 512 KiB buffer of the update.
  std::vector<std::uint8_t> padded(kFirmwareImageSize, 0xFF);
  std::copy(image.begin(), image.end(), padded.begin());
  const FirmwareTrailer full = DecodeFirmwareTrailer(padded);
  if (trailer.Version != full.Version || trailer.Covered != full.Covered ||
      trailer.Crc != full.Crc) {
    __builtin_trap();
  }
  const ImageCheck check = CheckFirmwareImage(image, trailer);
  if (check != CheckFirmwareImage(padded, full)) __builtin_trap();
  if (check != ImageCheck::FormatError && trailer.Covered > kFirmwareCoveredMax) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const std::span<const std::uint8_t> input(data, size);
  const VersionBytes unit{data[0], data[1], data[2], data[3]};
  const std::size_t infoLength = std::min<std::size_t>(GetLe16(data + 4), size - kHeader);
  const std::string infoText(reinterpret_cast<const char*>(data + kHeader), infoLength);
  const std::span<const std::uint8_t> rest = input.subspan(kHeader + infoLength);
  const std::span<const std::uint8_t> image =
      rest.first(std::min<std::size_t>(rest.size(), kFirmwareImageSize));

  const std::string unitText = VersionText(unit);
  if (HasValidVersion(unit) != (unit[1] != 0xFF)) __builtin_trap();
  IniFile info;
  info.LoadText(infoText);
  const std::string oldest = info.ReadString("BIOSInfo", "BIOSSupportOldMultipleUIVer", "0");
  CheckComparisons(oldest, unitText);
  CheckComparisons(unitText, "1.2");
  CheckImage(image);
  CheckComparisons(VersionText(DecodeFirmwareTrailer(image).Version), unitText);
  return 0;
}
