#include "link/command_block.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

PacketPtr NewPacket() {
  auto packet = std::make_unique<Packet>();
  packet->fill(kFill);
  return packet;
}

// The first 8 bytes of a text, zero-padded: a shorter text is followed by its terminating
// zero and zeros up to 8.
void PutName8(std::uint8_t* at, std::string_view text) {
  std::fill(at, at + 8, std::uint8_t{0});
  std::memcpy(at, text.data(), std::min<std::size_t>(text.size(), 8));
}

void CopyPacket(CommandBlock& block, std::size_t offset, const PacketPtr& packet) {
  if (packet) std::copy(packet->begin(), packet->end(), block.begin() + offset);
}

}  // namespace

PacketPtr MakeCommandPacket(const CommandFields& fields, const LinkWords& words) {
  PacketPtr packet = NewPacket();
  std::uint8_t* p = packet->data();
  p[CommandByte::FrameType] = fields.Frame;
  p[1] = fields.Byte1;
  p[2] = fields.Byte2;
  p[CommandByte::CodeCount] = fields.CodeCount;
  p[CommandByte::Command] = fields.Command;
  p[5] = fields.Byte5;
  PutLe32(p + CommandByte::Argument1, fields.Argument1);
  PutLe32(p + CommandByte::Argument2, fields.Argument2);
  p[CommandByte::ModeByte] = words.ModeByte;
  PutLe32(p + CommandByte::ReservedWord, words.ReservedWord);
  PutLe32(p + CommandByte::PinscanWord, words.PinscanWord);
  PutLe32(p + CommandByte::PowerLedWord, words.PowerLedWord);
  return packet;
}

PacketPtr MakeOrdinaryCommandPacket(std::uint8_t commandByte, const LinkWords& words,
                                    std::uint32_t argument1, std::uint32_t argument2) {
  return MakeCommandPacket({.Command = commandByte, .Argument1 = argument1, .Argument2 = argument2},
                           words);
}

PacketPtr MakeParameterPacket(const ParameterFields& fields, const LinkWords& words) {
  PacketPtr packet = NewPacket();
  const std::uint32_t values[] = {fields.ChunkLength, fields.ChunkCount,  fields.Address,
                                  fields.MainLength,  fields.ExtLength,   fields.Offset,
                                  fields.Length,      words.ParameterTail};
  for (std::size_t i = 0; i < 8; ++i) PutLe32(packet->data() + 4 * i, values[i]);
  return packet;
}

CodeWord MakeCodeWord(std::uint16_t code) {
  return code;
}

PacketPtr MakeByteQuadPacket(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  PacketPtr packet = NewPacket();
  (*packet)[0] = b0;
  (*packet)[1] = b1;
  (*packet)[2] = b2;
  (*packet)[3] = b3;
  return packet;
}

PacketPtr MakeByteQuadFlagPacket(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                                 std::uint8_t flag) {
  PacketPtr packet = MakeByteQuadPacket(b0, b1, b2, b3);
  (*packet)[4] = flag != 0 ? FlagByte::On : FlagByte::Off;
  return packet;
}

PacketPtr MakeNamePacket(std::string_view text1, std::string_view text2, std::uint8_t byte,
                         std::string_view text3) {
  PacketPtr packet = NewPacket();
  PutName8(packet->data(), text1);
  PutName8(packet->data() + 8, text2);
  (*packet)[16] = byte;
  PutName8(packet->data() + 20, text3);
  return packet;
}

PacketPtr MakeValuePacket(std::uint32_t value1, std::uint32_t value2, std::uint8_t byte1,
                          std::uint8_t byte2) {
  PacketPtr packet = NewPacket();
  PutLe32(packet->data(), value1);
  PutLe32(packet->data() + 4, value2);
  (*packet)[8] = byte1;
  (*packet)[9] = byte2;
  return packet;
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string FormatDateStampText(const std::tm& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.tm_year + 1900, time.tm_mon + 1,
                time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
  return text;
}

std::optional<DateStamp> ParseDateStampText(std::string_view text) {
  if (text.size() != 14) return std::nullopt;
  std::int64_t date = 0;
  std::int64_t time = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    std::int64_t& part = i < 8 ? date : time;
    part = part * 10 + (text[i] - '0');
  }
  return DateStamp{static_cast<std::int32_t>(date), static_cast<std::int32_t>(time)};
}

DateStamp MakeDateStamp(const std::tm& time) {
  // A year beyond four digits cannot be carried; the stamp is then zero rather than garbage.
  return ParseDateStampText(FormatDateStampText(time)).value_or(DateStamp{});
}

CommandBlock BuildCommandBlock(const CommandParts& parts, DateStamp stamp) {
  CommandBlock block;
  block.fill(kFill);
  CopyPacket(block, BlockOffset::CommandPacket, parts.Command);
  CopyPacket(block, BlockOffset::ParameterPacket, parts.Parameter);
  CopyPacket(block, BlockOffset::ByteQuadPacket, parts.ByteQuad);
  if (parts.Word96 != 0) PutLe32(block.data() + BlockOffset::Word96, parts.Word96);
  CopyPacket(block, BlockOffset::ByteQuadFlagPacket, parts.ByteQuadFlag);
  // The code list holds as many words as byte 3 announces; there is one word to give, the
  // rest of the announced area stays 0xFF, and the area never grows past 16 words.
  if (parts.Command && parts.Code) {
    const std::size_t count =
        std::min<std::size_t>((*parts.Command)[CommandByte::CodeCount], kMaxCodeWords);
    if (count > 0) PutLe16(block.data() + BlockOffset::CodeList, *parts.Code);
  }
  CopyPacket(block, BlockOffset::NamePacket, parts.Name);
  PutLe32(block.data() + BlockOffset::DateStamp, static_cast<std::uint32_t>(stamp.Date));
  PutLe32(block.data() + BlockOffset::DateStamp + 4, static_cast<std::uint32_t>(stamp.Time));
  CopyPacket(block, BlockOffset::ValuePacket, parts.Value);
  return block;
}
