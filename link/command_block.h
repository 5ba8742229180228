#pragma once
// The frame layer: the 1024-byte command block, its packets and the date stamp. Pure byte
// building, no I/O, so that every layout is checked against fixed byte arrays. All multi-byte
// integers on the wire are little-endian; every packet and the block start filled with 0xFF.
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/frame_codes.h"
#include "support/byte_order.h"

inline constexpr std::size_t kCommandBlockSize = 1024;
inline constexpr std::size_t kReplySize = 512;
inline constexpr std::size_t kPacketSize = 32;
inline constexpr std::size_t kMaxCodeWords = 16;
inline constexpr std::uint8_t kFill = 0xFF;

using CommandBlock = std::array<std::uint8_t, kCommandBlockSize>;
using Reply = std::array<std::uint8_t, kReplySize>;
using Packet = std::array<std::uint8_t, kPacketSize>;

// A packet handed from its maker to SendCommand. Whoever passes it gives it up (std::move);
// the sender releases it, so a moved-from PacketPtr is empty afterwards.
using PacketPtr = std::unique_ptr<Packet>;
// One CodeList word, or none.
using CodeWord = std::optional<std::uint16_t>;

// Where each part sits in the block.
namespace BlockOffset {
inline constexpr std::size_t CommandPacket = 0;
inline constexpr std::size_t ParameterPacket = 32;
inline constexpr std::size_t ByteQuadPacket = 64;
inline constexpr std::size_t Word96 = 96;
inline constexpr std::size_t ByteQuadFlagPacket = 100;
inline constexpr std::size_t CodeList = 132;
inline constexpr std::size_t NamePacket = 164;
inline constexpr std::size_t DateStamp = 196;
inline constexpr std::size_t ValuePacket = 204;
inline constexpr std::size_t Free = 236;  // 0xFF up to the end
}  // namespace BlockOffset

// Byte positions inside a CommandPacket.
namespace CommandByte {
inline constexpr std::size_t FrameType = 0;
inline constexpr std::size_t CodeCount = 3;
inline constexpr std::size_t Command = 4;
inline constexpr std::size_t Argument1 = 6;
inline constexpr std::size_t Argument2 = 10;
inline constexpr std::size_t ModeByte = 18;
inline constexpr std::size_t ReservedWord = 20;
inline constexpr std::size_t PinscanWord = 24;
inline constexpr std::size_t PowerLedWord = 28;
}  // namespace CommandByte

// The link's words that the makers copy into every CommandPacket and ParameterPacket.
struct LinkWords {
  std::uint8_t ModeByte = 0xA3;
  std::uint32_t ReservedWord = 0;
  std::uint32_t PinscanWord = FlagByte::Off;
  std::uint32_t PowerLedWord = 0;
  std::uint32_t ParameterTail = 0;
};

// Bytes 0 to 13 of a CommandPacket, the part a command chooses (bytes 14 to 31 come from the
// settings and the link). A call names what it sets: MakeCommandPacket({.Frame = ...}).
struct CommandFields {
  std::uint8_t Frame = FrameType::Command;  // byte 0
  std::uint8_t Byte1 = 1;                   // byte 1: 1 in every command
  std::uint8_t Byte2 = 0;                   // byte 2: 0 in every command
  std::uint8_t CodeCount = 1;   // byte 3: words in the code list (0 for frames 0xA7 and 0xA9)
  std::uint8_t Command = 0;     // byte 4: the command byte
  std::uint8_t Byte5 = 0;       // byte 5: 0 in every command
  std::uint32_t Argument1 = 0;  // bytes 6 to 9
  std::uint32_t Argument2 = 0;  // bytes 10 to 13
};

// The seven parameters p1 to p7 of a ParameterPacket by what the commands carry in them (bytes
// 28 to 31 are the link's ParameterTail); a parameter a command does not name is 0.
struct ParameterFields {
  std::uint32_t ChunkLength = 0;  // p1: a bulk transfer's chunk length
  std::uint32_t ChunkCount = 0;   // p2: a bulk transfer's number of chunks
  std::uint32_t Address = 0;      // p3: the unit memory address
  std::uint32_t MainLength = 0;   // p4: the main area (merge), the driver file (CRC check)
  std::uint32_t ExtLength = 0;    // p5: the Ext area (merge)
  std::uint32_t Offset = 0;       // p6: the EEPROM or card file offset
  std::uint32_t Length = 0;       // p7: the bytes from Offset; the run's whole data (merge)
};

// Makers: each returns a new packet owned by the caller until it goes to SendCommand.
PacketPtr MakeCommandPacket(const CommandFields& fields, const LinkWords& words);
PacketPtr MakeParameterPacket(const ParameterFields& fields, const LinkWords& words);
CodeWord MakeCodeWord(std::uint16_t code);
PacketPtr MakeByteQuadPacket(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
// Byte 4 is 0xA0 for a non-zero flag, 0xA3 for zero.
PacketPtr MakeByteQuadFlagPacket(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                                 std::uint8_t flag);
// Each text contributes its first 8 bytes; a shorter one is zero-padded to 8.
PacketPtr MakeNamePacket(std::string_view text1, std::string_view text2, std::uint8_t byte,
                         std::string_view text3);
PacketPtr MakeValuePacket(std::uint32_t value1, std::uint32_t value2, std::uint8_t byte1,
                          std::uint8_t byte2);

// The ordinary command of most operations: frame 0xA0, bytes 1..5 = 1, 0, 1, commandByte, 0,
// arguments 0 unless given.
PacketPtr MakeOrdinaryCommandPacket(std::uint8_t commandByte, const LinkWords& words,
                                    std::uint32_t argument1 = 0, std::uint32_t argument2 = 0);

// Every part of one command, in SendCommand's order. Movable only: the parts travel with it.
struct CommandParts {
  PacketPtr Command;
  PacketPtr Parameter;
  PacketPtr ByteQuad;
  std::uint32_t Word96 = 0;  // copied only when non-zero
  PacketPtr ByteQuadFlag;
  CodeWord Code;
  PacketPtr Name;
  PacketPtr Value;
};

// The local date and time of sending as two integers: yyyymmdd and hhmmss.
struct DateStamp {
  std::int32_t Date = 0;
  std::int32_t Time = 0;
};

// The local time now; tests put a fixed clock in its place.
using LocalClock = std::function<std::tm()>;
std::tm LocalTimeNow();

// "yyyymmddhhmmss" of a broken-down local time (four-digit year, zero-padded fields).
std::string FormatDateStampText(const std::tm& time);
// Characters 1..8 and 9..14 of a 14-digit text; none for any other text.
std::optional<DateStamp> ParseDateStampText(std::string_view text);
DateStamp MakeDateStamp(const std::tm& time);

// The block of one command: the parts at their offsets (the CodeList with 2 x byte 3 of the
// CommandPacket, at most 16 words), the stamp at 196, 0xFF everywhere else. A missing
// CommandPacket leaves bytes 0..31 0xFF.
CommandBlock BuildCommandBlock(const CommandParts& parts, DateStamp stamp);
