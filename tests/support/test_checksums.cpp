// CRC-32 of buffers and the byte sum of file regions.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/checksums.h"

namespace fs = std::filesystem;

namespace {

// The byte-wise table CRC the units compute, written out independently of zlib.
std::uint32_t TableCrc32(const std::uint8_t* data, std::size_t length) {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Crc32Of(const std::string& text) {
  return Crc32(text.data(), static_cast<std::uint32_t>(text.size()));
}

TEST(Crc32, KnownVectors) {
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
  EXPECT_EQ(Crc32Of(""), 0u);
  EXPECT_EQ(Crc32Of("a"), 0xE8B7BE43u);
  EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32Of("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  const std::vector<std::uint8_t> ff(0xC0000, 0xFF);  // a driver image preset to 0xFF
  EXPECT_EQ(Crc32(ff.data(), static_cast<std::uint32_t>(ff.size())),
            TableCrc32(ff.data(), ff.size()));
}

TEST(Crc32, EqualsTheByteWiseTableAtEveryLengthAndAlignment) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> data(70000);
  for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
  for (std::size_t offset = 0; offset < 8; ++offset) {
    for (std::size_t length : {1u, 3u, 7u, 8u, 15u, 16u, 17u, 63u, 64u, 1000u, 65537u}) {
      EXPECT_EQ(Crc32(data.data() + offset, static_cast<std::uint32_t>(length)),
                TableCrc32(data.data() + offset, length))
          << offset << " " << length;
    }
  }
}

class FileByteSumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("zv_byte_sum_" + std::to_string(::getpid()) + "_" + info->name());
  }
  void TearDown() override { fs::remove_all(path_); }
  void Write(const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  fs::path path_;
};

TEST_F(FileByteSumTest, HighBytesAddAsUnsignedValues) {
  std::vector<std::uint8_t> bytes;
  for (int b = 0x80; b <= 0xFF; ++b) bytes.push_back(static_cast<std::uint8_t>(b));
  Write(bytes);
  std::uint32_t sum = 1;
  ASSERT_EQ(FileByteSum(path_, 0, bytes.size(), sum), ByteSumResult::Ok);
  EXPECT_EQ(sum, 24512u);  // 128 + 129 + ... + 255
  ASSERT_EQ(FileByteSum(path_, 127, 1, sum), ByteSumResult::Ok);
  EXPECT_EQ(sum, 255u);
}

TEST_F(FileByteSumTest, RegionsAcrossSeveralPiecesMatchASimpleSum) {
  std::mt19937 random(11);
  std::vector<std::uint8_t> bytes(2 * kByteSumPiece + 12345);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  Write(bytes);
  for (auto [start, length] : {std::pair<std::size_t, std::size_t>{0, bytes.size()},
                               {1, kByteSumPiece},
                               {kByteSumPiece - 3, kByteSumPiece + 7},
                               {bytes.size() - 5, 5}}) {
    std::uint32_t expected = 0;
    for (std::size_t i = start; i < start + length; ++i) expected += bytes[i];
    std::uint32_t sum = 0;
    ASSERT_EQ(FileByteSum(path_, start, length, sum), ByteSumResult::Ok);
    EXPECT_EQ(sum, expected) << start << " " << length;
  }
}

TEST_F(FileByteSumTest, ResultCodesAndSumAfterFailures) {
  std::uint32_t sum = 99;
  EXPECT_EQ(FileByteSum(path_, 0, 10, sum), ByteSumResult::OpenFailed);  // missing
  EXPECT_EQ(sum, 0u);
  sum = 99;
  EXPECT_EQ(FileByteSum(fs::temp_directory_path(), 0, 10, sum), ByteSumResult::OpenFailed);
  EXPECT_EQ(sum, 0u);

  Write(std::vector<std::uint8_t>(100, 0x80));
  sum = 99;
  EXPECT_EQ(FileByteSum(path_, 101, 1, sum), ByteSumResult::SeekFailed);
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(FileByteSum(path_, ~std::uint64_t{0}, 1, sum), ByteSumResult::SeekFailed);
  EXPECT_EQ(FileByteSum(path_, 0, 101, sum), ByteSumResult::ReadFailed);  // short file
  EXPECT_EQ(FileByteSum(path_, 50, 51, sum), ByteSumResult::ReadFailed);
  sum = 99;
  EXPECT_EQ(FileByteSum(path_, 100, 0, sum), ByteSumResult::Ok);  // nothing to read
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(FileByteSum(path_, 0, 100, sum), ByteSumResult::Ok);
  EXPECT_EQ(sum, 12800u);
}

TEST(ByteSum, WrapsAt32BitsAndHandlesTails) {
  const std::vector<std::uint8_t> ones(4096 * 3 + 17, 1);
  for (std::size_t length : {0u, 1u, 4095u, 4096u, 4097u, 4096u * 3 + 17}) {
    EXPECT_EQ(ByteSum(ones.data(), length), length);
  }
  // 2^32 / 255 bytes of 0xFF and a little more wrap the sum.
  const std::vector<std::uint8_t> high(16843010, 0xFF);
  EXPECT_EQ(ByteSum(high.data(), high.size()), static_cast<std::uint32_t>(16843010ull * 255));
}

}  // namespace
