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
      {{1, '.', 2, 0}, "1.2", true},        {{2, '.', 10, 'A'}, "2.10A", true},
      {{0, 0, 0, 0}, "00", true},           {{255, 0xFF, 255, 0xFF}, "255\u00FF255\u00FF", false},
      {{3, 0xFF, 1, 0}, "3\u00FF1", false}, {{1, 0x80, 2, 0xC0}, "1\u00802\u00C0", true},
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

// The refusals of whole images are tested through the units; here the limit itself and a
// buffer shorter than the trailer.
TEST(FirmwareTrailer, TheLimitPassesAndAShortBufferReadsErased) {
  std::vector<std::uint8_t> image(kFirmwareImageSize, 0x5C);
  WriteFirmwareTrailer(image, {2, '.', 6, 0}, kFirmwareCoveredMax);
  EXPECT_EQ(CheckFirmwareImage(image, DecodeFirmwareTrailer(image)), ImageCheck::Ok);
  EXPECT_EQ(VersionText(DecodeFirmwareTrailer(image).Version), "2.6");
  const std::vector<std::uint8_t> shortBuffer(0x7FFF6, 0x11);  // ends inside the version bytes
  const FirmwareTrailer trailer = DecodeFirmwareTrailer(shortBuffer);
  EXPECT_EQ(trailer.Version, (VersionBytes{0x11, 0x11, 0xFF, 0xFF}));
  EXPECT_EQ(trailer.Covered, 0xFFFFFFFFu);
  EXPECT_EQ(CheckFirmwareImage(shortBuffer, trailer), ImageCheck::FormatError);
}

}  // namespace
