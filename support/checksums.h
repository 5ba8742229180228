#pragma once
// The two checksums of what is sent to the units: the CRC-32 of a buffer (driver and firmware
// images) and the 32-bit byte sum of a file region (the SD card project files).
#include <cstddef>
#include <cstdint>
#include <filesystem>

// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320, preset and final XOR 0xFFFFFFFF).
// No shared state: safe on any thread. The CRC of zero bytes is 0.
std::uint32_t Crc32(const void* data, std::uint32_t length);

// CRC-32 (as Crc32) of a whole file, read in pieces. False when the file cannot be read.
bool FileCrc32(const std::filesystem::path& path, std::uint32_t& crc);

// Result codes of FileByteSum.
namespace ByteSumResult {
inline constexpr int Ok = 0;
inline constexpr int OpenFailed = 1;  // the file cannot be opened for reading
inline constexpr int SeekFailed = 2;  // the start offset cannot be reached
inline constexpr int ReadFailed = 3;  // a read failed or returned fewer bytes than asked
}  // namespace ByteSumResult

// Size of the pieces FileByteSum reads, so that a file of any size needs one buffer.
inline constexpr std::size_t kByteSumPiece = 1024 * 1024;

// Adds every byte, taken unsigned, of `length` bytes from `start` into a wrapping 32-bit sum.
// `sum` is 0 before anything else, so it is 0 after codes 1 and 2. A start offset beyond the
// end of the file cannot be reached (code 2); a length of 0 from a reachable start reads
// nothing and gives code 0.
int FileByteSum(const std::filesystem::path& path, std::uint64_t start, std::uint64_t length,
                std::uint32_t& sum);

// The wrapping 32-bit sum of the bytes of a buffer.
std::uint32_t ByteSum(const std::uint8_t* data, std::size_t length);
