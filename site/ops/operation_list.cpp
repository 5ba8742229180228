#include "site/ops/operation_list.h"

#include <array>

#include "site/ops/auto_run_ops.h"
#include "site/ops/card_commands.h"
#include "site/ops/card_store_ops.h"
#include "site/ops/firmware_ops.h"
#include "site/ops/identity_ops.h"
#include "site/ops/maintenance_ops.h"
#include "site/ops/run_all_ops.h"
#include "site/ops/sd_run_ops.h"
#include "site/ops/unit_info_ops.h"
#include "site/ops/unit_notice_ops.h"
#include "site/ops/unit_preparation_ops.h"

SiteResult EmptyStep(SiteContext&, const OperationTexts&) {
  return SiteResultCode::Pass;
}

namespace {

constexpr std::array kOperations{
    OperationEntry{Opcodes::PowerLedFlash, "Power Led Flash", PowerLedFlash},
    OperationEntry{Opcodes::ConnectNotice, "Connect Notice", ConnectNotice},
    OperationEntry{Opcodes::CloseNotice, "Close Notice", CloseNotice},
    OperationEntry{Opcodes::BiosNumberGet, "BIOS Number Get", BiosNumberGet},
    OperationEntry{Opcodes::BiosVersionGet, "BIOS Version Get", BiosVersionGet},
    OperationEntry{Opcodes::SerialNumberRead, "Series Number Read", ReadSeriesNumber},
    OperationEntry{Opcodes::SelfTest, "Self Test", SelfTest},
    OperationEntry{Opcodes::Reset, "Reset", ResetUnit},
    OperationEntry{Opcodes::FirmwareUpdate, "Firmware Update", UpdateFirmware},
    OperationEntry{Opcodes::CheckUsbPower, "Check USB Power", CheckUsbPower},
    OperationEntry{Opcodes::HardwareSettings, "Hardware Settings", SendHardwareSettings},
    OperationEntry{Opcodes::DriverSettings, "Driver Settings", SendDriverSettings},
    OperationEntry{Opcodes::RunAll, "RUN ALL", RunAll},
    OperationEntry{Opcodes::AutoRunLoop, "Auto Run Loop", AutoRunLoop},
    OperationEntry{Opcodes::SdDetect, "SDCard Detect", SdCardDetect},
    OperationEntry{Opcodes::SdTest, "SDCard Test", SdCardTest},
    OperationEntry{Opcodes::SdFreeSpace, "SDCard Get Free Space", SdCardGetFreeSpace},
    OperationEntry{Opcodes::SdProjectList, "SDCard Project List", ShowCardList},
    OperationEntry{Opcodes::SdProjectInfo, "SDCard Project Information", ShowCardProjectInfo},
    OperationEntry{Opcodes::SdDeleteProject, "SDCard Delete Project", DeleteCardProject},
    OperationEntry{Opcodes::SdStoreProject, "SDCard Store Project", StoreProjectOnCard},
    OperationEntry{Opcodes::SdFetchProject, "SDCard Fetch Project", FetchCardProject},
    OperationEntry{Opcodes::SdStoreFetched, "SDCard Store Fetched Project", StoreFetchedProject},
    OperationEntry{Opcodes::SdFilter, "SDCard Filter", FilterCardList},
    OperationEntry{Opcodes::SdQuickFormat, "SDCard Quick Format", QuickFormatCard},
    OperationEntry{Opcodes::SdRunAll, "SDCard RUN ALL", SdRunAll},
    OperationEntry{Opcodes::SdAutoRunLoop, "SDCard Auto Run Loop", SdAutoRunLoop},
    OperationEntry{Opcodes::SdLoadRunSettings, "SDCard Load Run Project", LoadRunProject},
    OperationEntry{Opcodes::SdAutoRunInit, "SDCard AutoRun Initialization", SdAutoRunInit},
    OperationEntry{Opcodes::IoMode, "IO Mode", SetIoMode},
    OperationEntry{Opcodes::EmptyStepA, "Empty Step", EmptyStep},
    OperationEntry{Opcodes::EmptyStepAfterQueue, "Empty Step After Queue", EmptyStep},
    OperationEntry{Opcodes::EmptyStepB, "Empty Step", EmptyStep},
    OperationEntry{Opcodes::SelfTestFpgaLoad, "Self Test FPGA Load", LoadSelfTestImage},
    OperationEntry{Opcodes::BurnInTest, "Burn In Test", BurnInTest},
    OperationEntry{Opcodes::KeyRun, "Key Run", KeyRun},
    OperationEntry{Opcodes::GetDateTimeId, "Get DateTime ID", GetDateTimeId},
};

}  // namespace

std::span<const OperationEntry> SiteOperationList() {
  return kOperations;
}
