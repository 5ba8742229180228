#include "sim/command_block.h"

#include <algorithm>

namespace sim {

std::uint16_t readLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void writeLe32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

namespace {

bool allFF(const std::uint8_t* p, std::size_t n) {
  return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0xFF; });
}

// A name field: up to 8 bytes, ending early at a zero byte.
std::string nameText(const std::uint8_t* p) {
  std::string text;
  for (std::size_t i = 0; i < 8 && p[i] != 0; ++i) text.push_back(static_cast<char>(p[i]));
  return text;
}

void decodeCommandPacket(const std::uint8_t* c, DecodedBlock& b) {
  b.frameType = c[0];
  b.byte1 = c[1];
  b.byte2 = c[2];
  b.codeCount = c[3];
  b.commandByte = c[4];
  b.byte5 = c[5];
  b.argument1 = readLe32(c + 6);
  b.argument2 = readLe32(c + 10);
  b.modeByte = c[18];
  b.reservedWord = readLe32(c + 20);
  b.pinscanWord = readLe32(c + 24);
  b.powerLedWord = readLe32(c + 28);
}

void decodeOptionalPackets(const std::uint8_t* raw, DecodedBlock& b) {
  const std::uint8_t* par = raw + BlockOffset::ParameterPacket;
  b.hasParameters = !allFF(par, BlockOffset::PacketSize);
  for (std::size_t i = 0; i < b.params.size(); ++i) b.params[i] = readLe32(par + 4 * i);
  b.parameterTail = readLe32(par + 28);

  const std::uint8_t* quad = raw + BlockOffset::ByteQuadPacket;
  b.hasByteQuad = !allFF(quad, BlockOffset::PacketSize);
  std::copy(quad, quad + 4, b.byteQuad.begin());
  b.word96 = readLe32(raw + BlockOffset::Word96);

  const std::uint8_t* flag = raw + BlockOffset::ByteQuadFlagPacket;
  b.hasByteQuadFlag = !allFF(flag, BlockOffset::PacketSize);
  std::copy(flag, flag + 4, b.byteQuadFlag.begin());
  b.quadFlagByte = flag[4];

  const std::uint8_t* name = raw + BlockOffset::NamePacket;
  b.hasName = !allFF(name, BlockOffset::PacketSize);
  b.name.text1 = nameText(name);
  b.name.text2 = nameText(name + 8);
  b.name.byteArg = name[16];
  b.name.text3 = nameText(name + 20);

  b.dateStamp1 = static_cast<std::int32_t>(readLe32(raw + BlockOffset::DateStamp));
  b.dateStamp2 = static_cast<std::int32_t>(readLe32(raw + BlockOffset::DateStamp + 4));

  const std::uint8_t* value = raw + BlockOffset::ValuePacket;
  b.hasValue = !allFF(value, BlockOffset::PacketSize);
  b.value.value1 = readLe32(value);
  b.value.value2 = readLe32(value + 4);
  b.value.byte1 = value[8];
  b.value.byte2 = value[9];
}

}  // namespace

DecodeResult decodeCommandBlock(std::span<const std::uint8_t> bytes) {
  DecodeResult result;
  if (bytes.size() != kBlockSize) {
    result.error = DecodeError::WrongSize;
    return result;
  }
  DecodedBlock& b = result.block;
  std::copy(bytes.begin(), bytes.end(), b.raw.begin());
  decodeCommandPacket(b.raw.data(), b);
  decodeOptionalPackets(b.raw.data(), b);
  if (b.codeCount > BlockOffset::MaxCodes) {
    result.error = DecodeError::TooManyCodes;
    return result;
  }
  for (std::size_t i = 0; i < b.codeCount; ++i) {
    b.codes.push_back(readLe16(b.raw.data() + BlockOffset::CodeList + 2 * i));
  }
  return result;
}

}  // namespace sim
