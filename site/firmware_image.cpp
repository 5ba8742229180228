#include "site/firmware_image.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <limits>

#include "support/byte_order.h"
#include "support/checksums.h"
#include "support/single_byte_text.h"

namespace {

constexpr std::uint8_t kErased = 0xFF;
constexpr std::size_t kSoftwareParts = 4;
constexpr std::size_t kFirmwareParts = 3;

// The byte at `at`, or the erased value past the end of a short buffer.
std::uint8_t ByteAt(std::span<const std::uint8_t> image, std::size_t at) {
  return at < image.size() ? image[at] : kErased;
}

std::uint32_t WordAt(std::span<const std::uint8_t> image, std::size_t at) {
  std::array<std::uint8_t, 4> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = ByteAt(image, at + i);
  return GetLe32(bytes.data());
}

std::vector<std::string> SplitAtDots(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = text.find('.', start);
    pieces.push_back(text.substr(start, dot - start));
    if (dot == std::string::npos) return pieces;
    start = dot + 1;
  }
}

// The leading decimal digits of a piece (none: 0); a number too large saturates.
std::uint64_t LeadingNumber(const std::string& piece) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (const char c : piece) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

// The first `count` parts compared in order; the first that differs decides; missing are 0.
bool PartsOlder(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b,
                std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t x = i < a.size() ? a[i] : 0;
    const std::uint64_t y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y;
  }
  return false;
}

std::vector<std::uint64_t> SoftwareParts(const std::string& text) {
  std::vector<std::uint64_t> parts;
  for (const std::string& piece : SplitAtDots(text)) parts.push_back(LeadingNumber(piece));
  return parts;
}

std::vector<std::uint64_t> FirmwareParts(const std::string& text) {
  const std::vector<std::string> pieces = SplitAtDots(text);
  std::vector<std::uint64_t> parts;
  for (const std::string& piece : pieces) parts.push_back(LeadingNumber(piece));
  const std::string& last = pieces.back();
  const unsigned char tail = last.empty() ? 0 : static_cast<unsigned char>(last.back());
  parts.push_back(std::isalpha(tail) ? static_cast<std::uint64_t>(std::toupper(tail)) : 0);
  return parts;
}

}  // namespace

std::string VersionText(const VersionBytes& bytes) {
  const auto character = [](const std::uint8_t& byte) {
    return byte == 0 ? std::string() : SingleByteText(std::span(&byte, 1));
  };
  return std::to_string(bytes[0]) + character(bytes[1]) + std::to_string(bytes[2]) +
         character(bytes[3]);
}

bool HasValidVersion(const VersionBytes& bytes) {
  return bytes[1] != kNoVersionMark;
}

FirmwareTrailer DecodeFirmwareTrailer(std::span<const std::uint8_t> image) {
  FirmwareTrailer trailer;
  for (std::size_t i = 0; i < trailer.Version.size(); ++i) {
    trailer.Version[i] = ByteAt(image, kFirmwareVersionAt + i);
  }
  trailer.Covered = WordAt(image, kFirmwareCoveredAt);
  trailer.Crc = WordAt(image, kFirmwareCrcAt);
  return trailer;
}

ImageCheck CheckFirmwareImage(std::span<const std::uint8_t> image, const FirmwareTrailer& trailer) {
  if (trailer.Covered > kFirmwareCoveredMax) return ImageCheck::FormatError;
  if (image.size() >= trailer.Covered) {
    return Crc32(image.data(), trailer.Covered) == trailer.Crc ? ImageCheck::Ok
                                                               : ImageCheck::CrcError;
  }
  std::vector<std::uint8_t> covered(trailer.Covered, kErased);
  std::copy_n(image.begin(), std::min<std::size_t>(image.size(), covered.size()), covered.begin());
  return Crc32(covered.data(), trailer.Covered) == trailer.Crc ? ImageCheck::Ok
                                                               : ImageCheck::CrcError;
}

void WriteFirmwareTrailer(std::span<std::uint8_t> image, const VersionBytes& version,
                          std::uint32_t covered) {
  if (image.size() < kFirmwareImageSize) return;
  std::copy(version.begin(), version.end(), image.begin() + kFirmwareVersionAt);
  PutLe32(image.data() + kFirmwareCoveredAt, covered);
  const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(covered, kFirmwareCrcAt));
  PutLe32(image.data() + kFirmwareCrcAt, Crc32(image.data(), length));
}

std::optional<std::vector<std::uint8_t>> ReadFirmwareImage(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> image(kFirmwareImageSize, kErased);
  file.read(reinterpret_cast<char*>(image.data()), kFirmwareImageSize);
  return image;
}

bool SoftwareVersionOlder(const std::string& version, const std::string& than) {
  return PartsOlder(SoftwareParts(version), SoftwareParts(than), kSoftwareParts);
}

bool FirmwareVersionOlder(const std::string& version, const std::string& than) {
  return PartsOlder(FirmwareParts(version), FirmwareParts(than), kFirmwareParts);
}
