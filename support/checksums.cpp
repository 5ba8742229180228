#include "support/checksums.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <memory>
#include <system_error>
#include <vector>

std::uint32_t Crc32(const void* data, std::uint32_t length) {
  if (data == nullptr || length == 0) return 0;
  // zlib computes the same reflected IEEE CRC as the byte-wise table, several bytes per step.
  return static_cast<std::uint32_t>(
      crc32(0UL, static_cast<const Bytef*>(data), static_cast<uInt>(length)));
}

bool FileCrc32(const std::filesystem::path& path, std::uint32_t& crc) {
  crc = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::vector<char> piece(kByteSumPiece);
  uLong value = crc32(0UL, Z_NULL, 0);
  while (file) {
    file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    const std::streamsize got = file.gcount();
    if (got > 0) {
      value = crc32(value, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(got));
    }
  }
  if (file.bad()) return false;
  crc = static_cast<std::uint32_t>(value);
  return true;
}

namespace {
// Whole blocks of a fixed size have a trip count the compiler knows, so it vectorises the
// widening adds even at -O2; the tail is added byte by byte.
constexpr std::size_t kSumBlock = 4096;

std::uint32_t SumBlock(const std::uint8_t* data) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kSumBlock; ++i) sum += data[i];
  return sum;
}
}  // namespace

std::uint32_t ByteSum(const std::uint8_t* data, std::size_t length) {
  std::uint32_t sum = 0;
  std::size_t done = 0;
  for (; length - done >= kSumBlock; done += kSumBlock) sum += SumBlock(data + done);
  for (; done < length; ++done) sum += data[done];
  return sum;
}

namespace {
// Opens the file and moves to `start`; the result code of a failure, or Ok.
int OpenAt(const std::filesystem::path& path, std::uint64_t start, std::ifstream& file) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return ByteSumResult::OpenFailed;
  file.open(path, std::ios::binary);
  if (!file) return ByteSumResult::OpenFailed;
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (!file || size < 0) return ByteSumResult::SeekFailed;
  if (start > static_cast<std::uint64_t>(size)) return ByteSumResult::SeekFailed;
  file.seekg(static_cast<std::streamoff>(start), std::ios::beg);
  return file ? ByteSumResult::Ok : ByteSumResult::SeekFailed;
}
}  // namespace

int FileByteSum(const std::filesystem::path& path, std::uint64_t start, std::uint64_t length,
                std::uint32_t& sum) {
  sum = 0;
  std::ifstream file;
  if (const int opened = OpenAt(path, start, file); opened != ByteSumResult::Ok) return opened;
  if (length == 0) return ByteSumResult::Ok;

  const auto bufferSize = static_cast<std::size_t>(std::min<std::uint64_t>(length, kByteSumPiece));
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(bufferSize);
  std::uint32_t total = 0;
  for (std::uint64_t left = length; left > 0;) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, bufferSize));
    file.read(reinterpret_cast<char*>(buffer.get()), static_cast<std::streamsize>(piece));
    if (file.gcount() != static_cast<std::streamsize>(piece)) return ByteSumResult::ReadFailed;
    total += ByteSum(buffer.get(), piece);
    left -= piece;
  }
  sum = total;
  return ByteSumResult::Ok;
}
