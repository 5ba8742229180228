// The frame layer against fixed byte arrays: every packet at its offset, the stamp, the
// padding rules. The expected bytes are written out here, not produced by the builder.
#include <gtest/gtest.h>

#include <vector>

#include "link/command_block.h"
#include "tests/link/link_test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 1024-byte block of 0xFF with the given literal runs placed at their offsets.
CommandBlock Expected(std::initializer_list<std::pair<std::size_t, Bytes>> runs) {
  CommandBlock block;
  block.fill(0xFF);
  for (const auto& [offset, bytes] : runs) {
    for (std::size_t i = 0; i < bytes.size(); ++i) block[offset + i] = bytes[i];
  }
  return block;
}

const Bytes kStamp20240517_093015 = {0x85, 0xD8, 0x34, 0x01, 0x57, 0x6B, 0x01, 0x00};

LinkWords Words() {
  LinkWords words;
  words.ModeByte = 0xA3;
  words.ReservedWord = 0;
  words.PinscanWord = 0xA3;
  words.PowerLedWord = 4 | 2 << 8;
  words.ParameterTail = 0;
  return words;
}

void ExpectSameBlock(const CommandBlock& expected, const CommandBlock& actual) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(expected[i], actual[i]) << "at offset " << i;
  }
}

TEST(CommandBlockTest, CommandWithoutOptionalPartsIsFfOutsideHeadCodeAndStamp) {
  CommandParts parts;
  parts.Command = MakeOrdinaryCommandPacket(1, Words());
  parts.Code = MakeCodeWord(CommandCode::CheckUsbPower);
  const CommandBlock block = BuildCommandBlock(parts, MakeDateStamp(FixedTime()));
  const CommandBlock expected = Expected({
      {0, {0xA0, 0x01, 0x00, 0x01, 0x01, 0x00, 0, 0, 0,    0, 0, 0, 0,    0,    0xFF, 0xFF,
           0xFF, 0xFF, 0xA3, 0xFF, 0,    0,    0, 0, 0xA3, 0, 0, 0, 0x04, 0x02, 0,    0}},
      {132, {0x36, 0xC9}},
      {196, kStamp20240517_093015},
  });
  ExpectSameBlock(expected, block);
}

TEST(CommandBlockTest, EveryPartLandsAtItsOffset) {
  CommandParts parts;
  parts.Command = MakeCommandPacket({.Frame = 0xA3,
                                     .Byte1 = 1,
                                     .Byte2 = 0,
                                     .CodeCount = 1,
                                     .Command = 5,
                                     .Byte5 = 0,
                                     .Argument1 = 0x11223344,
                                     .Argument2 = 0x55667788},
                                    Words());
  parts.Parameter = MakeParameterPacket({.ChunkLength = 0x400,
                                         .ChunkCount = 3,
                                         .Address = 0x23C10000,
                                         .MainLength = 4,
                                         .ExtLength = 5,
                                         .Offset = 6,
                                         .Length = 7},
                                        Words());
  parts.ByteQuad = MakeByteQuadPacket(0xA0, 0xA3, 0xA0, 0xA3);
  parts.Word96 = 0xCAFEBABE;
  parts.ByteQuadFlag = MakeByteQuadFlagPacket(1, 2, 3, 4, 0);
  parts.Code = MakeCodeWord(0x0000);
  parts.Name = MakeNamePacket("LIST", "ABCDEFGHIJ", 0x42, "");
  parts.Value = MakeValuePacket(0x01020304, 0xFFFFFFFE, 0x10, 0x20);
  const CommandBlock block = BuildCommandBlock(parts, DateStamp{20240517, 93015});
  const CommandBlock expected = Expected({
      {0, {0xA3, 0x01, 0x00, 0x01, 0x05, 0x00, 0x44, 0x33, 0x22, 0x11, 0x88,
           0x77, 0x66, 0x55, 0xFF, 0xFF, 0xFF, 0xFF, 0xA3, 0xFF, 0,    0,
           0,    0,    0xA3, 0,    0,    0,    0x04, 0x02, 0,    0}},
      {32, {0x00, 0x04, 0, 0, 3, 0, 0, 0, 0x00, 0x00, 0xC1, 0x23, 4, 0, 0, 0,
            5,    0,    0, 0, 6, 0, 0, 0, 7,    0,    0,    0,    0, 0, 0, 0}},
      {64, {0xA0, 0xA3, 0xA0, 0xA3}},
      {96, {0xBE, 0xBA, 0xFE, 0xCA}},
      {100, {1, 2, 3, 4, 0xA3}},
      {132, {0x00, 0x00}},
      {164, {'L', 'I', 'S',  'T',  0,    0,    0, 0, 'A', 'B', 'C', 'D', 'E', 'F',
             'G', 'H', 0x42, 0xFF, 0xFF, 0xFF, 0, 0, 0,   0,   0,   0,   0,   0}},
      {196, kStamp20240517_093015},
      {204, {0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0x10, 0x20}},
  });
  ExpectSameBlock(expected, block);
}

TEST(CommandBlockTest, ZeroWordAndMissingCodeLeaveTheirBytesFf) {
  CommandParts parts;
  parts.Command = MakeCommandPacket({.Frame = 0xA9, .CodeCount = 0, .Command = 1}, Words());
  parts.Code = MakeCodeWord(0x1234);  // count 0: not copied
  const CommandBlock block = BuildCommandBlock(parts, DateStamp{});
  EXPECT_EQ(block[96], 0xFF);
  EXPECT_EQ(block[132], 0xFF);
  EXPECT_EQ(block[133], 0xFF);
  EXPECT_EQ(block[0], 0xA9);
}

TEST(CommandBlockTest, CodeCountBeyondSixteenStaysInsideTheCodeList) {
  CommandParts parts;
  parts.Command = MakeCommandPacket({.Frame = 0xA0, .CodeCount = 200, .Command = 1}, Words());
  parts.Code = MakeCodeWord(0xB14E);
  parts.Name = MakeNamePacket("N", "", 0, "");
  const CommandBlock block = BuildCommandBlock(parts, DateStamp{});
  EXPECT_EQ(block[132], 0x4E);
  EXPECT_EQ(block[133], 0xB1);
  for (std::size_t i = 134; i < 164; ++i) EXPECT_EQ(block[i], 0xFF) << i;
  EXPECT_EQ(block[164], 'N');  // the name packet is not overwritten
}

TEST(PacketTest, ByteQuadFlagCarriesA3ForZeroAndA0ForAnyOtherFlag) {
  EXPECT_EQ((*MakeByteQuadFlagPacket(0, 0, 0, 0, 0))[4], 0xA3);
  EXPECT_EQ((*MakeByteQuadFlagPacket(0, 0, 0, 0, 1))[4], 0xA0);
  EXPECT_EQ((*MakeByteQuadFlagPacket(0, 0, 0, 0, 0x80))[4], 0xA0);
  const Packet packet = *MakeByteQuadFlagPacket(9, 8, 7, 6, 0);
  for (std::size_t i = 5; i < packet.size(); ++i) EXPECT_EQ(packet[i], 0xFF);
}

TEST(PacketTest, NameTextsOfEightAndMoreBytesAreCutWithoutTerminator) {
  const Packet packet = *MakeNamePacket("12345678", "", 7, "ABCDEFGHXYZ");
  const Bytes expected = {'1', '2', '3', '4', '5', '6', '7',  '8',  0,    0,   0,
                          0,   0,   0,   0,   0,   7,   0xFF, 0xFF, 0xFF, 'A', 'B',
                          'C', 'D', 'E', 'F', 'G', 'H', 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Bytes(packet.begin(), packet.end()), expected);
}

TEST(PacketTest, ParameterTailComesFromTheLink) {
  LinkWords words = Words();
  words.ParameterTail = 0x01020304;
  const Packet packet = *MakeParameterPacket({}, words);
  EXPECT_EQ(packet[28], 0x04);
  EXPECT_EQ(packet[31], 0x01);
}

TEST(DateStampTest, TextAndIntegers) {
  EXPECT_EQ(FormatDateStampText(FixedTime()), "20240517093015");
  const DateStamp stamp = MakeDateStamp(FixedTime());
  EXPECT_EQ(stamp.Date, 20240517);
  EXPECT_EQ(stamp.Time, 93015);
  const auto midnight = ParseDateStampText("19991231000000");
  ASSERT_TRUE(midnight);
  EXPECT_EQ(midnight->Time, 0);
  EXPECT_FALSE(ParseDateStampText("2024051709301"));
  EXPECT_FALSE(ParseDateStampText("2024-5-17 9:30:"));
}

TEST(FrameCodesTest, NamesAndReplyRule) {
  EXPECT_EQ(CommandName(CommandCode::CheckUsbPower), "Check USB Power");
  EXPECT_EQ(StepName(StepCode::BadBlockScan), "Bad Block Scan");
  EXPECT_TRUE(StepName(0x1234).empty());
  EXPECT_FALSE(FrameType::HasReply(FrameType::NoAnswer));
  EXPECT_FALSE(FrameType::HasReply(FrameType::IoMode));
  EXPECT_TRUE(FrameType::HasReply(FrameType::SdRun));
}

}  // namespace
