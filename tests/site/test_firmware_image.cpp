// The firmware image's trailer and the version texts and comparisons, from fixed bytes.
#include <gtest/gtest.h>

#include <vector>

#include "site/firmware_image.h"

namespace {

TEST(FirmwareVersionText, FourBytesGiveNumberCharacterNumberCharacter) {
  const struct {
    VersionBytes bytes;
    std::string text;
    bool valid;
  } cases[] = {
      {{1, '.', 2, 0}, "1.2", true},
      {{2, '.', 10, 'A'}, "2.10A", true},
      {{0, 0, 0, 0}, "00", true},
      {{255, 0xFF, 255, 0xFF},
       "255\xFF"
       "255\xFF",
       false},
      {{3, 0xFF, 1, 0},
       "3\xFF"
       "1",
       false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VersionText(c.bytes), c.text) << c.text;
    EXPECT_EQ(HasValidVersion(c.bytes), c.valid) << c.text;
  }
}

TEST(FirmwareVersionCompare, SoftwareAgainstTheOldestSuitedVersionByFourNumbers) {
  const struct {
    const char* version;
    const char* than;
    bool older;
  } cases[] = {
      {"1.2.9.9", "1.3.0.0", true}, {"1.3.0.0", "1.3.0.0", false},
      {"1.3", "1.3.0.1", true},     {"2.0.0.0", "1.9.9.9", false},
      {"1.2.3.4", "0", false},      {"", "0", false},
      {"", "0.0.0.1", true},        {"1.2.3.4.9", "1.2.3.4.0", false},
      {"10.0", "9.99", false},      {"99999999999999999999999.0", "1", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SoftwareVersionOlder(c.version, c.than), c.older) << c.version << " < " << c.than;
  }
}

TEST(FirmwareVersionCompare, FirmwareByThreePartsWithTheLetterAsThird) {
  const struct {
    const char* version;
    bool olderThanOnePointTwo;
  } cases[] = {
      {"1.1A", true}, {"1.2", false}, {"1.2A", false}, {"1.1", true},   {"0.9z", true},
      {"2.0", false}, {"1", true},    {"", true},      {"1.10", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FirmwareVersionOlder(c.version, "1.2"), c.olderThanOnePointTwo) << c.version;
  }
  EXPECT_TRUE(FirmwareVersionOlder("1.2a", "1.2B"));  // the letter is taken upper-cased
  EXPECT_FALSE(FirmwareVersionOlder("1.2b", "1.2B"));
}

TEST(FirmwareTrailer, DecodedAndCheckedAsTheUnitWould) {
  std::vector<std::uint8_t> good(kFirmwareImageSize, 0x5C);
  WriteFirmwareTrailer(good, {2, '.', 6, 0}, 0x60000);
  std::vector<std::uint8_t> tooLong = good;
  WriteFirmwareTrailer(tooLong, {2, '.', 6, 0}, kFirmwareCoveredMax + 1);
  std::vector<std::uint8_t> atLimit = good;
  WriteFirmwareTrailer(atLimit, {2, '.', 6, 0}, kFirmwareCoveredMax);
  std::vector<std::uint8_t> changed = good;
  changed[0x100] ^= 1;
  const std::vector<std::uint8_t> shortFile(0x1000, 0x11);  // reads as if padded with 0xFF
  const struct {
    const char* name;
    const std::vector<std::uint8_t>& image;
    std::uint32_t covered;
    ImageCheck check;
  } cases[] = {
      {"good", good, 0x60000, ImageCheck::Ok},
      {"covered one past the limit", tooLong, kFirmwareCoveredMax + 1, ImageCheck::FormatError},
      {"covered at the limit", atLimit, kFirmwareCoveredMax, ImageCheck::Ok},
      {"a covered byte changed", changed, 0x60000, ImageCheck::CrcError},
      {"short file", shortFile, 0xFFFFFFFF, ImageCheck::FormatError},
  };
  for (const auto& c : cases) {
    const FirmwareTrailer trailer = DecodeFirmwareTrailer(c.image);
    EXPECT_EQ(trailer.Covered, c.covered) << c.name;
    EXPECT_EQ(CheckFirmwareImage(c.image, trailer), c.check) << c.name;
  }
  EXPECT_EQ(VersionText(DecodeFirmwareTrailer(good).Version), "2.6");
  EXPECT_EQ(DecodeFirmwareTrailer(shortFile).Version, (VersionBytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
