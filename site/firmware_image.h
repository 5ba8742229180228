#pragma once
// The firmware image "BIOS.BIN" and version texts, as pure functions: the image is read into a
// 512 KiB buffer preset to 0xFF (a shorter file reads as if padded), and its last 12 bytes are
// the trailer: four version bytes, the covered length and the CRC-32 of the covered bytes.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr std::uint32_t kFirmwareImageSize = 0x80000;
inline constexpr std::uint32_t kFirmwareVersionAt = 0x7FFF4;
inline constexpr std::uint32_t kFirmwareCoveredAt = 0x7FFF8;
inline constexpr std::uint32_t kFirmwareCrcAt = 0x7FFFC;
// The covered length never reaches into the last KiB, which holds the trailer.
inline constexpr std::uint32_t kFirmwareCoveredMax = 0x7FC00;

// Version bytes A, B, C, D: decimal A, character B, decimal C, character D.
using VersionBytes = std::array<std::uint8_t, 4>;
// B = 0xFF: the unit (or image) holds no valid version.
inline constexpr std::uint8_t kNoVersionMark = 0xFF;

// The text of the version bytes; a character byte of 0 contributes nothing (1,'.',2,0 -> "1.2").
// A character byte is one Latin-1 character.
std::string VersionText(const VersionBytes& bytes);
bool HasValidVersion(const VersionBytes& bytes);

struct FirmwareTrailer {
  VersionBytes Version{};
  std::uint32_t Covered = 0;
  std::uint32_t Crc = 0;
};

enum class ImageCheck {
  Ok,
  FormatError,  // covered length above kFirmwareCoveredMax
  CrcError,     // the CRC-32 of the covered bytes differs from the stored one
};

// The trailer of an image buffer; a buffer shorter than the image reads as padded with 0xFF.
FirmwareTrailer DecodeFirmwareTrailer(std::span<const std::uint8_t> image);
// Covered length first, then the CRC over the covered bytes of `image` (a shorter buffer
// counts as padded with 0xFF, so the check never reads past its end).
ImageCheck CheckFirmwareImage(std::span<const std::uint8_t> image, const FirmwareTrailer& trailer);

// Writes the trailer into a whole image: the version bytes, `covered` and the CRC-32 of the
// first `covered` bytes (of the bytes there are, when `covered` is larger). For the database
// makers, benchmarks and tests.
void WriteFirmwareTrailer(std::span<std::uint8_t> image, const VersionBytes& version,
                          std::uint32_t covered);

// Up to 512 KiB of the file into a 0xFF-filled 512 KiB buffer; none when it cannot be opened.
std::optional<std::vector<std::uint8_t>> ReadFirmwareImage(const std::string& path);

// Four-part comparison ("1.2.9.9" against "1.3.0.0"): numbers split at ".", missing parts 0.
bool SoftwareVersionOlder(const std::string& version, const std::string& than);
// Three-part comparison of firmware versions: the last piece may end in a letter, taken
// upper-cased by its character code as a further part ("1.2A" reads 1, 2, 65; "1.2" 1, 2, 0).
bool FirmwareVersionOlder(const std::string& version, const std::string& than);
