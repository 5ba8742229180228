// The firmware's reading of command blocks, against blocks written out byte by byte.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "sim/command_block.h"
#include "sim/eeprom.h"
#include "sim/unit_memory.h"

namespace {

using Bytes = std::array<std::uint8_t, 1024>;

Bytes blockWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
  Bytes b;
  b.fill(0xFF);
  for (auto [at, v] : bytes) b[at] = v;
  return b;
}

TEST(SimDecoder, BulkOutAnnouncementFields) {
  // Frame 0xA0, 1 0 1 1 0, arguments 0; p1 = 0x10000, p2 = 3, p3 = 0x23C10000; code 0xB14E.
  Bytes b = blockWith(
      {{0, 0xA0},   {1, 1},      {2, 0},      {3, 1},      {4, 1},      {5, 0},      {6, 0},
       {7, 0},      {8, 0},      {9, 0},      {10, 0},     {11, 0},     {12, 0},     {13, 0},
       {18, 0xA3},  {20, 0},     {21, 0},     {22, 0},     {23, 0},     {24, 0xA3},  {25, 0},
       {26, 0},     {27, 0},     {28, 0x04},  {29, 0x02},  {30, 0},     {31, 0},     {32, 0x00},
       {33, 0x00},  {34, 0x01},  {35, 0x00},  {36, 0x03},  {37, 0},     {38, 0},     {39, 0},
       {40, 0x00},  {41, 0x00},  {42, 0xC1},  {43, 0x23},  {132, 0x4E}, {133, 0xB1}, {196, 0x85},
       {197, 0xFB}, {198, 0x34}, {199, 0x01}, {200, 0x97}, {201, 0x6B}, {202, 0x01}, {203, 0x00}});
  for (std::size_t i = 44; i < 64; ++i) b[i] = 0;  // p4..p7 and the tail
  const auto r = sim::decodeCommandBlock(b);
  ASSERT_TRUE(r.ok());
  const auto& d = r.block;
  EXPECT_EQ(d.frameType, 0xA0);
  EXPECT_EQ(d.codeCount, 1);
  EXPECT_EQ(d.commandByte, 1);
  EXPECT_EQ(d.modeByte, 0xA3);
  EXPECT_EQ(d.pinscanWord, 0xA3u);
  EXPECT_EQ(d.powerLedWord, 0x0204u);
  ASSERT_TRUE(d.hasParameters);
  EXPECT_EQ(d.p(1), 0x10000u);
  EXPECT_EQ(d.p(2), 3u);
  EXPECT_EQ(d.p(3), 0x23C10000u);
  EXPECT_EQ(d.p(7), 0u);
  EXPECT_EQ(d.parameterTail, 0u);
  ASSERT_EQ(d.codes.size(), 1u);
  EXPECT_EQ(d.codes[0], 0xB14E);
  EXPECT_EQ(d.dateStamp1, 20249477);  // 0x0134FB85
  EXPECT_EQ(d.dateStamp2, 93079);     // 0x00016B97
  EXPECT_FALSE(d.hasByteQuad);
  EXPECT_FALSE(d.hasByteQuadFlag);
  EXPECT_FALSE(d.hasName);
  EXPECT_FALSE(d.hasValue);
}

TEST(SimDecoder, MergePacketsAtTheirUnalignedPlaces) {
  Bytes b = blockWith({{0, 0xA3},   {3, 1},      {4, 2},      {64, 0xA0},  {65, 0xA3},  {66, 0xA0},
                       {67, 0xA3},  {96, 0x78},  {97, 0x56},  {98, 0x34},  {99, 0x12},  {100, 1},
                       {101, 0},    {102, 0},    {103, 0},    {104, 0xA3}, {132, 0x00}, {133, 0x00},
                       {204, 0x10}, {205, 0x00}, {206, 0x00}, {207, 0x00}, {208, 0x05}, {209, 0x00},
                       {210, 0x00}, {211, 0x00}, {212, 0xA3}, {213, 0x01}});
  const auto r = sim::decodeCommandBlock(b);
  ASSERT_TRUE(r.ok());
  const auto& d = r.block;
  EXPECT_EQ(d.frameType, 0xA3);
  EXPECT_EQ(d.commandByte, 2);
  ASSERT_TRUE(d.hasByteQuad);
  EXPECT_EQ(d.byteQuad, (std::array<std::uint8_t, 4>{0xA0, 0xA3, 0xA0, 0xA3}));
  EXPECT_EQ(d.word96, 0x12345678u);
  ASSERT_TRUE(d.hasByteQuadFlag);
  EXPECT_EQ(d.byteQuadFlag[0], 1);
  EXPECT_EQ(d.quadFlagByte, 0xA3);
  ASSERT_EQ(d.codes.size(), 1u);
  EXPECT_EQ(d.codes[0], 0x0000);
  ASSERT_TRUE(d.hasValue);
  EXPECT_EQ(d.value.value1, 16u);
  EXPECT_EQ(d.value.value2, 5u);
  EXPECT_EQ(d.value.byte1, 0xA3);
  EXPECT_EQ(d.value.byte2, 1);
  EXPECT_FALSE(d.hasParameters);
}

TEST(SimDecoder, NamePacketTextsStopAtZeroOrEightBytes) {
  Bytes b = blockWith({{0, 0xA0}, {3, 1}, {132, 0x8D}, {133, 0x72}});
  const char* dir = "0:";
  const char* file = "ABCDEFGHIJ";  // longer than the field: 8 bytes taken
  for (std::size_t i = 0; i < 8; ++i) b[164 + i] = 0;
  for (std::size_t i = 0; i < 2; ++i) b[164 + i] = static_cast<std::uint8_t>(dir[i]);
  for (std::size_t i = 0; i < 8; ++i) b[172 + i] = static_cast<std::uint8_t>(file[i]);
  b[180] = 16;
  b[184] = '0';
  b[185] = 0;
  const auto r = sim::decodeCommandBlock(b);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.block.hasName);
  EXPECT_EQ(r.block.name.text1, "0:");
  EXPECT_EQ(r.block.name.text2, "ABCDEFGH");
  EXPECT_EQ(r.block.name.byteArg, 16);
  EXPECT_EQ(r.block.name.text3, "0");
  EXPECT_EQ(r.block.firstCode(), 0x728D);
}

TEST(SimDecoder, CodeCountsAndSizes) {
  Bytes none = blockWith({{0, 0xA9}, {3, 0}, {4, 1}});
  auto r = sim::decodeCommandBlock(none);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.block.codes.empty());
  EXPECT_FALSE(r.block.firstCode().has_value());

  Bytes two = blockWith({{0, 0xA0}, {3, 2}, {132, 0x3A}, {133, 0xC5}, {134, 0x39}, {135, 0xC6}});
  r = sim::decodeCommandBlock(two);
  ASSERT_EQ(r.block.codes.size(), 2u);
  EXPECT_EQ(r.block.codes[1], 0xC639);

  Bytes tooMany = blockWith({{0, 0xA0}, {3, 17}});
  EXPECT_EQ(sim::decodeCommandBlock(tooMany).error, sim::DecodeError::TooManyCodes);

  std::array<std::uint8_t, 512> half{};
  EXPECT_EQ(sim::decodeCommandBlock(half).error, sim::DecodeError::WrongSize);
}

TEST(SimMemory, SparseReadsFFAndKeepsTheWindow) {
  sim::UnitMemory m;
  EXPECT_EQ(m.readVector(0x20000000, 4), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  // A write across a page boundary lands whole.
  const std::vector<std::uint8_t> data{1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(m.write(0x2000FFFD, data));
  EXPECT_EQ(m.readVector(0x2000FFFD, 6), data);
  EXPECT_EQ(m.allocatedPages(), 2u);
  EXPECT_EQ(m.readVector(0x2000FFFC, 1)[0], 0xFF);
  // The last byte is inside, one further is not.
  EXPECT_TRUE(m.write(0x23FFFFFF, std::vector<std::uint8_t>{7}));
  EXPECT_FALSE(m.write(0x23FFFFFF, std::vector<std::uint8_t>{7, 8}));
  EXPECT_FALSE(m.contains(0x1FFFFFFF, 1));
  EXPECT_TRUE(m.readVector(0x24000000, 1).empty());
  m.clear();
  EXPECT_EQ(m.readVector(0x2000FFFD, 1)[0], 0xFF);
}

TEST(SimEeprom, SerialAndIdentifierLayout) {
  sim::Eeprom e;
  EXPECT_EQ(e.bytes()[0], 0xFF);
  e.setSerialText("SN-42");
  e.setDateTimeId((std::uint64_t{2} << 32) | 1);
  EXPECT_EQ(e.bytes()[4], '2');
  EXPECT_EQ(e.bytes()[5], 0);
  const std::array<std::uint8_t, 8> id{1, 0, 0, 0, 2, 0, 0, 0};
  EXPECT_TRUE(std::equal(id.begin(), id.end(), e.bytes().begin() + 320));
  EXPECT_EQ(e.dateTimeId(), (std::uint64_t{2} << 32) | 1);
  // A serial text never runs over its 256 bytes.
  e.setSerialText(std::string(400, 'x'));
  EXPECT_EQ(e.bytes()[255], 0);
  EXPECT_EQ(e.bytes()[320], 1);
  EXPECT_FALSE(e.write(0x3FFF, std::vector<std::uint8_t>{1, 2}));
}

}  // namespace
