#include "site/run_recipes.h"

#include "site/command.h"

namespace {

OpcodeQueue PcRunQueue(Opcode run) {
  return MakeQueue({Opcodes::EmptyStepB, Opcodes::EmptyStepA, Opcodes::CheckUsbPower,
                    Opcodes::HardwareSettings, Opcodes::DriverSettings, run});
}

OpcodeQueue SdRunQueue(bool autoRun) {
  OpcodeQueue queue =
      MakeQueue({Opcodes::CheckUsbPower, Opcodes::SdProjectList, Opcodes::SdLoadRunSettings});
  if (autoRun) {
    queue.push(Opcodes::SdAutoRunInit);
    queue.push(Opcodes::SdAutoRunLoop);
  } else {
    queue.push(Opcodes::SdRunAll);
  }
  return queue;
}

}  // namespace

OpcodeQueue RecipeQueue(RunRecipe recipe) {
  switch (recipe) {
    case RunRecipe::PcRun:
      return PcRunQueue(Opcodes::RunAll);
    case RunRecipe::PcAutoRun:
      return PcRunQueue(Opcodes::AutoRunLoop);
    case RunRecipe::SdRun:
      return SdRunQueue(false);
    case RunRecipe::SdAutoRun:
      return SdRunQueue(true);
    case RunRecipe::FlashLed:
      return MakeQueue({Opcodes::PowerLedFlash});
    case RunRecipe::SelfTest:
      return MakeQueue({Opcodes::SelfTest});
    case RunRecipe::Information:
      return MakeQueue(
          {Opcodes::BiosNumberGet, Opcodes::BiosVersionGet, Opcodes::SerialNumberRead});
    case RunRecipe::BiosUpdate:
      return MakeQueue({Opcodes::FirmwareUpdate});
    case RunRecipe::FirmwareVersion:
      return MakeQueue({Opcodes::BiosVersionGet});
    case RunRecipe::SdDetect:
      return MakeQueue({Opcodes::SdDetect});
    case RunRecipe::SdTest:
      return MakeQueue({Opcodes::SdTest});
    case RunRecipe::SdFreeSpace:
      return MakeQueue({Opcodes::SdFreeSpace});
    case RunRecipe::SdFilter:
      return MakeQueue({Opcodes::SdFilter});
    case RunRecipe::SdQuickFormat:
      return MakeQueue({Opcodes::SdQuickFormat});
    case RunRecipe::Reset:
      return MakeQueue({Opcodes::Reset});
    case RunRecipe::SetHardware:
      return MakeQueue(
          {Opcodes::CheckUsbPower, Opcodes::HardwareSettings, Opcodes::DriverSettings});
    case RunRecipe::IoMode:
      return MakeQueue({Opcodes::IoMode});
    case RunRecipe::KeyRun:
      return MakeQueue({Opcodes::CheckUsbPower, Opcodes::HardwareSettings, Opcodes::DriverSettings,
                        Opcodes::KeyRun});
    case RunRecipe::BurnIn:
      return MakeQueue({Opcodes::HardwareSettings, Opcodes::SelfTestFpgaLoad, Opcodes::BurnInTest});
  }
  return {};
}

RunRecipe MainRunRecipe(bool sdCardRun, bool autoRun) {
  if (sdCardRun) return autoRun ? RunRecipe::SdAutoRun : RunRecipe::SdRun;
  return autoRun ? RunRecipe::PcAutoRun : RunRecipe::PcRun;
}
