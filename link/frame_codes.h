#pragma once
// The named constants of the unit protocol: frame types, acknowledgement codes, command codes
// and procedure step codes, with the texts the log shows for them.
#include <cstdint>
#include <string_view>

// The one-byte acknowledgement of every unit command and every site operation.
using SiteResult = std::uint8_t;

namespace SiteResultCode {
inline constexpr SiteResult Pass = 0xA0;
inline constexpr SiteResult Fail = 0xA1;               // also every failure found on the PC side
inline constexpr SiteResult OverCurrentAll = 0xA2;     // DUT VDD/VIO/VPP/VHH
inline constexpr SiteResult OverCurrentVddVio = 0xA3;  // DUT VDD/VIO
inline constexpr SiteResult OverCurrentVppVhh = 0xA4;  // DUT VPP/VHH
inline constexpr SiteResult LinkClosed = 0xFF;         // link closed while a reply was awaited
}  // namespace SiteResultCode

// Byte 0 of every command block.
namespace FrameType {
inline constexpr std::uint8_t Command = 0xA0;   // ordinary command, answered
inline constexpr std::uint8_t Merge = 0xA3;     // starts a PC-mode procedure run, answered
inline constexpr std::uint8_t NoAnswer = 0xA5;  // not answered
inline constexpr std::uint8_t SdRun = 0xA7;     // starts a run from the unit's SD card, answered
inline constexpr std::uint8_t IoMode = 0xA9;    // input/output mode, not answered

// Whether the unit answers a block of this frame type with an acceptance reply.
constexpr bool HasReply(std::uint8_t frameType) {
  return frameType != NoAnswer && frameType != IoMode;
}
}  // namespace FrameType

// Byte 4 of a CommandPacket is command specific; these two flag values recur in several
// packets (pin scan word, byte 4 of the ByteQuadFlagPacket, socket and area codes).
namespace FlagByte {
inline constexpr std::uint8_t On = 0xA0;
inline constexpr std::uint8_t Off = 0xA3;
}  // namespace FlagByte

namespace CommandCode {
inline constexpr std::uint16_t CheckUsbPower = 0xC936;
inline constexpr std::uint16_t HardwareInitSetting = 0x44BB;
inline constexpr std::uint16_t CheckDriverCrc = 0x43BC;
inline constexpr std::uint16_t DriverIniSetting = 0x41BE;
inline constexpr std::uint16_t FpgaInit = 0x42BD;
inline constexpr std::uint16_t GetFpgaId = 0x619E;
inline constexpr std::uint16_t BulkOut = 0xB14E;  // PC to unit transfer; also the data-chunk step
inline constexpr std::uint16_t BulkIn = 0xB22D;   // unit to PC transfer
inline constexpr std::uint16_t Merge = 0x0000;
inline constexpr std::uint16_t InsertDetect = 0x17E8;
inline constexpr std::uint16_t EepromRead = 0xC837;  // also "SN Read"
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
inline constexpr std::uint16_t SdCardDetect = 0x748B;
inline constexpr std::uint16_t SdCardTest = 0x7C83;
inline constexpr std::uint16_t SdCardGetFreeSpace = 0x7D82;
inline constexpr std::uint16_t SdCardCreateDirectory = 0x7689;
inline constexpr std::uint16_t SdCardDeleteDirectory = 0x7788;
inline constexpr std::uint16_t SdCardReadData = 0x718E;
inline constexpr std::uint16_t SdCardWriteData = 0x728D;
inline constexpr std::uint16_t SdCardGetFileSize = 0x7E81;
inline constexpr std::uint16_t SdCardAutoRunInit = 0x7070;
}  // namespace CommandCode

// Codes of the steps of a PC-mode procedure (same 16-bit space as the commands).
namespace StepCode {
inline constexpr std::uint16_t BlankCheck = 0x11EE;
inline constexpr std::uint16_t ChipErase = 0x12ED;
inline constexpr std::uint16_t Program = 0x13EC;
inline constexpr std::uint16_t Verify = 0x14EB;
inline constexpr std::uint16_t Protect = 0x15EA;
inline constexpr std::uint16_t Confirm = 0x16E9;
inline constexpr std::uint16_t InsertDetect = 0x17E8;
inline constexpr std::uint16_t IdCheck = 0x18E7;
inline constexpr std::uint16_t ReadIcData = 0x19E6;
inline constexpr std::uint16_t UnProtect = 0x22DD;
inline constexpr std::uint16_t BadBlockScan = 0x25DA;
inline constexpr std::uint16_t DataChunk = 0xB14E;  // the unit asks for the next data chunk
}  // namespace StepCode

// The log wording of a command ("Check USB Power"); empty for an unknown code.
std::string_view CommandName(std::uint16_t code);
// The name shown for a procedure step ("Blank Check"); empty for an unknown code.
std::string_view StepName(std::uint16_t code);
