#pragma once
// The unit's view of a 1024-byte command block: the byte positions the firmware reads and a
// decoder that turns a block into named fields. This is the firmware side's own reading of the
// layout, written independently of the PC's frame builder, so that a layout slip on either
// side makes the tests fail instead of cancelling out.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

inline constexpr std::size_t kBlockSize = 1024;  // every command block
inline constexpr std::size_t kReplySize = 512;   // every reply and chunk acknowledgement

// Offsets inside a command block.
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
inline constexpr std::size_t PacketSize = 32;
inline constexpr std::size_t MaxCodes = 16;
}  // namespace BlockOffset

// Byte 0 of a block.
namespace FrameType {
inline constexpr std::uint8_t Command = 0xA0;
inline constexpr std::uint8_t Merge = 0xA3;
inline constexpr std::uint8_t SdRunStart = 0xA7;
inline constexpr std::uint8_t NoAnswer = 0xA5;
inline constexpr std::uint8_t IoMode = 0xA9;  // also without answer
}  // namespace FrameType

// True for the frame types the firmware never answers.
constexpr bool frameGetsNoReply(std::uint8_t frame) {
  return frame == FrameType::NoAnswer || frame == FrameType::IoMode;
}

// Byte 0 of a reply.
namespace Ack {
inline constexpr std::uint8_t Pass = 0xA0;
inline constexpr std::uint8_t Fail = 0xA1;
}  // namespace Ack

// The command codes the firmware knows by name.
namespace Code {
inline constexpr std::uint16_t CheckUsbPower = 0xC936;
inline constexpr std::uint16_t HardwareInit = 0x44BB;
inline constexpr std::uint16_t CheckDriverCrc = 0x43BC;
inline constexpr std::uint16_t DriverIniSetting = 0x41BE;
inline constexpr std::uint16_t FpgaInit = 0x42BD;
inline constexpr std::uint16_t GetFpgaId = 0x619E;
inline constexpr std::uint16_t BulkOut = 0xB14E;  // also the "data chunk" procedure step
inline constexpr std::uint16_t BulkIn = 0xB22D;
inline constexpr std::uint16_t Merge = 0x0000;
inline constexpr std::uint16_t InsertDetect = 0x17E8;
inline constexpr std::uint16_t EepromRead = 0xC837;
inline constexpr std::uint16_t DetectStartKey = 0xCA35;
inline constexpr std::uint16_t Reset = 0x54AB;
inline constexpr std::uint16_t SelfTest = 0x55AA;
inline constexpr std::uint16_t PowerLedFlash = 0x56A9;
inline constexpr std::uint16_t ConnectNotice = 0xC53A;
inline constexpr std::uint16_t CloseNotice = 0xC639;
inline constexpr std::uint16_t BiosNumberGet = 0x53AC;
inline constexpr std::uint16_t BiosVersionGet = 0x57A8;
inline constexpr std::uint16_t BurnInTest = 0xC23D;
inline constexpr std::uint16_t UpdateMasterBios = 0x52AD;
inline constexpr std::uint16_t SdDetect = 0x748B;
inline constexpr std::uint16_t SdTest = 0x7C83;
inline constexpr std::uint16_t SdFreeSpace = 0x7D82;
inline constexpr std::uint16_t SdCreateDirectory = 0x7689;
inline constexpr std::uint16_t SdDeleteDirectory = 0x7788;
inline constexpr std::uint16_t SdReadData = 0x718E;
inline constexpr std::uint16_t SdWriteData = 0x728D;
inline constexpr std::uint16_t SdGetFileSize = 0x7E81;
inline constexpr std::uint16_t SdAutoRunInit = 0x7070;
}  // namespace Code

// One 32-byte NamePacket as the firmware reads it: texts end at their first zero byte or
// after 8 bytes.
struct NameFields {
  std::string text1;
  std::string text2;
  std::uint8_t byteArg = 0xFF;
  std::string text3;
};

struct ValueFields {
  std::uint32_t value1 = 0xFFFFFFFF;
  std::uint32_t value2 = 0xFFFFFFFF;
  std::uint8_t byte1 = 0xFF;
  std::uint8_t byte2 = 0xFF;
};

// A decoded command block. Optional packets are "present" when any of their bytes differs
// from 0xFF (a packet the PC does not supply stays 0xFF). The raw block is kept too.
struct DecodedBlock {
  std::uint8_t frameType = 0xFF;
  std::uint8_t byte1 = 0xFF;
  std::uint8_t byte2 = 0xFF;
  std::uint8_t codeCount = 0;
  std::uint8_t commandByte = 0xFF;
  std::uint8_t byte5 = 0xFF;
  std::uint32_t argument1 = 0;
  std::uint32_t argument2 = 0;
  std::uint8_t modeByte = 0xFF;  // byte 18
  std::uint32_t reservedWord = 0;
  std::uint32_t pinscanWord = 0;
  std::uint32_t powerLedWord = 0;

  bool hasParameters = false;
  std::array<std::uint32_t, 7> params{};  // p1..p7 at [0]..[6]
  std::uint32_t parameterTail = 0xFFFFFFFF;

  bool hasByteQuad = false;
  std::array<std::uint8_t, 4> byteQuad{};
  std::uint32_t word96 = 0xFFFFFFFF;
  bool hasByteQuadFlag = false;
  std::array<std::uint8_t, 4> byteQuadFlag{};
  std::uint8_t quadFlagByte = 0xFF;  // 0xA0 flag set, 0xA3 flag clear

  std::vector<std::uint16_t> codes;  // codeCount words from offset 132

  bool hasName = false;
  NameFields name;
  std::int32_t dateStamp1 = 0;  // yyyymmdd
  std::int32_t dateStamp2 = 0;  // hhmmss
  bool hasValue = false;
  ValueFields value;

  std::array<std::uint8_t, kBlockSize> raw{};

  // p(1) .. p(7), as the commands name them.
  std::uint32_t p(int index) const { return params.at(static_cast<std::size_t>(index - 1)); }
  // The first code of the list, the one that names the command (none for n = 0).
  std::optional<std::uint16_t> firstCode() const {
    if (codes.empty()) return std::nullopt;
    return codes.front();
  }
};

enum class DecodeError { None, WrongSize, TooManyCodes };

struct DecodeResult {
  DecodeError error = DecodeError::None;
  DecodedBlock block;
  bool ok() const { return error == DecodeError::None; }
};

// Decodes one block. A block of another size than 1024 bytes, or one announcing more than 16
// codes, is an error (the firmware refuses it).
DecodeResult decodeCommandBlock(std::span<const std::uint8_t> bytes);

// Little-endian helpers of the firmware's reading.
std::uint16_t readLe16(const std::uint8_t* p);
std::uint32_t readLe32(const std::uint8_t* p);
void writeLe32(std::uint8_t* p, std::uint32_t value);

}  // namespace sim
