#include "link/frame_codes.h"

#include <array>
#include <utility>

namespace {

using NamedCode = std::pair<std::uint16_t, std::string_view>;

constexpr std::array kCommandNames{
    NamedCode{CommandCode::CheckUsbPower, "Check USB Power"},
    NamedCode{CommandCode::HardwareInitSetting, "Hardware Init Setting"},
    NamedCode{CommandCode::CheckDriverCrc, "Check CRC32 of Driver"},
    NamedCode{CommandCode::DriverIniSetting, "Driver INI Setting"},
    NamedCode{CommandCode::FpgaInit, "FPGA Init"},
    NamedCode{CommandCode::GetFpgaId, "Get FPGA ID"},
    NamedCode{CommandCode::BulkOut, "BulkOut"},
    NamedCode{CommandCode::BulkIn, "BulkIn"},
    NamedCode{CommandCode::Merge, "Merge Command Send"},
    NamedCode{CommandCode::InsertDetect, "Insert Detect"},
    NamedCode{CommandCode::EepromRead, "EEPROM Read"},
    NamedCode{CommandCode::DetectStartKey, "Detect Start Key"},
    NamedCode{CommandCode::Reset, "Reset"},
    NamedCode{CommandCode::SelfTest, "Self Test"},
    NamedCode{CommandCode::PowerLedFlash, "Power Led Flash"},
    NamedCode{CommandCode::ConnectNotice, "Connect"},
    NamedCode{CommandCode::CloseNotice, "Close"},
    NamedCode{CommandCode::BiosNumberGet, "BIOS Number Get"},
    NamedCode{CommandCode::BiosVersionGet, "BIOS Version Get"},
    NamedCode{CommandCode::BurnInTest, "Burn In Test"},
    NamedCode{CommandCode::UpdateMasterBios, "Update Master BIOS Handle"},
    NamedCode{CommandCode::SdCardDetect, "SDCard Detect"},
    NamedCode{CommandCode::SdCardTest, "SDCard Test"},
    NamedCode{CommandCode::SdCardGetFreeSpace, "SDCard Get Free Space"},
    NamedCode{CommandCode::SdCardCreateDirectory, "SDCard Create Directory"},
    NamedCode{CommandCode::SdCardDeleteDirectory, "SDCard Delete Directory"},
    NamedCode{CommandCode::SdCardReadData, "SDCard Read Data"},
    NamedCode{CommandCode::SdCardWriteData, "SDCard Write Data"},
    NamedCode{CommandCode::SdCardGetFileSize, "SDCard Get File Size"},
    NamedCode{CommandCode::SdCardAutoRunInit, "SDCard AutoRun Initialization"},
};

constexpr std::array kStepNames{
    NamedCode{StepCode::BlankCheck, "Blank Check"},
    NamedCode{StepCode::ChipErase, "Chip Erase"},
    NamedCode{StepCode::Program, "Program"},
    NamedCode{StepCode::Verify, "Verify"},
    NamedCode{StepCode::Protect, "Protect"},
    NamedCode{StepCode::Confirm, "Confirm"},
    NamedCode{StepCode::InsertDetect, "Insert Detect"},
    NamedCode{StepCode::IdCheck, "ID Check"},
    NamedCode{StepCode::ReadIcData, "Read IC Data"},
    NamedCode{StepCode::UnProtect, "UnProtect"},
    NamedCode{StepCode::BadBlockScan, "Bad Block Scan"},
};

template <std::size_t N>
std::string_view Find(const std::array<NamedCode, N>& table, std::uint16_t code) {
  for (const auto& [value, name] : table) {
    if (value == code) return name;
  }
  return {};
}

}  // namespace

std::string_view CommandName(std::uint16_t code) {
  return Find(kCommandNames, code);
}
std::string_view StepName(std::uint16_t code) {
  return Find(kStepNames, code);
}
