#include "site/ops/procedure_list.h"

#include <algorithm>

#include "link/frame_codes.h"
#include "project/driver_slots.h"
#include "support/byte_order.h"

namespace {

std::uint64_t CeilDiv(std::uint64_t n, std::uint64_t d) {
  return d == 0 ? 0 : (n + d - 1) / d;
}

std::uint32_t Clamp32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, UINT32_MAX));
}

std::uint64_t GroupDefineBlocks(std::span<const GroupDefineEntry> entries) {
  std::uint64_t blocks = 0;
  for (const GroupDefineEntry& entry : entries) blocks += entry.Size;
  return blocks;
}

bool Selected(const S_ProjectValue& value, std::size_t flag) {
  return value.Step[flag] != 0;
}

bool Slot(const ZV_Driver_INI& driver, std::size_t slot) {
  return driver.Value(slot) != 0;
}

// The steps before the data: detection, identification, bad block scan, erase, blank check.
void AppendPreparingSteps(const ProcedureInputs& in, std::vector<std::uint16_t>& codes) {
  const ZV_Driver_INI& driver = in.Driver;
  if (Slot(driver, DriverSlot::InsertDetectSupport)) codes.push_back(StepCode::InsertDetect);
  if (Selected(in.Value, StepFlag::ID) && Slot(driver, DriverSlot::IDCheckSupport)) {
    codes.push_back(StepCode::IdCheck);
  }
  if (IsBlockOrganised(driver)) codes.push_back(StepCode::BadBlockScan);
  if (Selected(in.Value, StepFlag::Erase)) {
    if (Slot(driver, DriverSlot::UnProtectNeeded)) codes.push_back(StepCode::UnProtect);
    codes.push_back(StepCode::ChipErase);
  }
  if (Selected(in.Value, StepFlag::Blank)) codes.push_back(StepCode::BlankCheck);
}

// Program and Verify, each preceded by its data chunk. One chunk already in the unit's buffer
// from Program is verified without sending it again.
void AppendDataSteps(const ProcedureInputs& in, const ProcedureList& list,
                     std::vector<std::uint16_t>& codes) {
  const bool program = Selected(in.Value, StepFlag::Program);
  const bool verify = Selected(in.Value, StepFlag::Verify);
  const std::uint64_t chunks =
      list.Pieces ? list.Pieces->Count() : CeilDiv(in.DataLength, list.ChunkLength);
  if (program) {
    if (!Slot(in.Driver, DriverSlot::ProgramNoUnProtect) &&
        Slot(in.Driver, DriverSlot::UnProtectNeeded)) {
      codes.push_back(StepCode::UnProtect);
    }
    for (std::uint64_t c = 0; c < chunks && codes.size() <= kProcedureListCodes; ++c) {
      codes.push_back(StepCode::DataChunk);
      codes.push_back(StepCode::Program);
    }
  }
  if (!verify) return;
  if (!list.Pieces && chunks == 1) {
    if (!program) codes.push_back(StepCode::DataChunk);
    codes.push_back(StepCode::Verify);
    return;
  }
  for (std::uint64_t c = 0; c < chunks && codes.size() <= kProcedureListCodes; ++c) {
    codes.push_back(StepCode::DataChunk);
    codes.push_back(StepCode::Verify);
  }
}

// Only Program and Verify stream pieces: without them the unit's piece tables stay all zero.
GroupDefinePieces PiecesOfSelectedSteps(const ProcedureInputs& in, std::uint32_t blockLength,
                                        std::uint32_t chunkLength) {
  if (!Selected(in.Value, StepFlag::Program) && !Selected(in.Value, StepFlag::Verify)) return {};
  return CutGroupDefine(in.GroupDefine, blockLength, chunkLength);
}

}  // namespace

bool IsBlockOrganised(const ZV_Driver_INI& driver) {
  return Slot(driver, DriverSlot::BlockOrganised);
}

std::uint64_t RunDataLength(const ZV_Driver_INI& driver, const SiteProcessPlan& plan,
                            std::int32_t processBlocks) {
  if (!IsBlockOrganised(driver)) return plan.MainLength + plan.ExtLength;
  const auto blocks = static_cast<std::uint64_t>(std::max<std::int32_t>(processBlocks, 0));
  return blocks * driver.Value(DriverSlot::BlockLength);
}

std::uint32_t NandChunkLength(std::uint32_t blockLength, std::uint64_t blocks) {
  if (blockLength == 0) return 0;
  if (blocks == 0) return kDataChunkLength;
  const std::uint64_t fitting = std::min<std::uint64_t>(blocks, kDataChunkLength / blockLength);
  return static_cast<std::uint32_t>(fitting * blockLength);
}

GroupDefinePieces CutGroupDefine(std::span<const GroupDefineEntry> entries,
                                 std::uint32_t blockLength, std::uint32_t chunkLength) {
  GroupDefinePieces pieces;
  if (blockLength == 0 || chunkLength == 0) return pieces;
  for (const GroupDefineEntry& entry : entries) {
    const std::uint64_t bytes = std::uint64_t{entry.Size} * blockLength;
    const std::uint64_t count = CeilDiv(bytes, chunkLength);
    for (std::uint64_t j = 0; j < count && pieces.Count() <= kMaxPieces; ++j) {
      const std::uint64_t length = std::min<std::uint64_t>(chunkLength, bytes - j * chunkLength);
      const std::uint64_t offset = std::uint64_t{entry.Start} * blockLength + j * chunkLength;
      pieces.Offset.push_back(offset);
      pieces.Length.push_back(length);
      pieces.StartBlock.push_back(Clamp32(CeilDiv(offset, blockLength)));
      pieces.BlockCount.push_back(Clamp32(CeilDiv(length, blockLength)));
      pieces.End.push_back(entry.End);
      pieces.Parameter.push_back(entry.Parameter);
    }
  }
  return pieces;
}

ProcedureList BuildProcedureList(const ProcedureInputs& in) {
  ProcedureList list;
  list.PinscanOn = Selected(in.Value, StepFlag::Pinscan);
  AppendPreparingSteps(in, list.Codes);
  if (in.BlockHandling && IsBlockOrganised(in.Driver)) {
    const std::uint32_t blockLength = in.Driver.Value(DriverSlot::BlockLength);
    const std::uint64_t blocks =
        in.UsingGroupDefine
            ? GroupDefineBlocks(in.GroupDefine)
            : static_cast<std::uint64_t>(std::max<std::int32_t>(in.ProcessBlocks, 0));
    list.BlockCount = Clamp32(blocks);
    list.ChunkLength = NandChunkLength(blockLength, blocks);
    if (list.ChunkLength == 0) {
      list.Error = " - Block Length Fail!";
      return list;
    }
    if (in.UsingGroupDefine) list.Pieces = PiecesOfSelectedSteps(in, blockLength, list.ChunkLength);
    if (list.Pieces && list.Pieces->Count() > kMaxPieces) list.Error = " - Group Define Too Long!";
  }
  AppendDataSteps(in, list, list.Codes);
  if (Selected(in.Value, StepFlag::Protect)) list.Codes.push_back(StepCode::Protect);
  if (list.Codes.size() > kProcedureListCodes) list.Error = " - Procedure List Too Long!";
  return list;
}

std::vector<std::uint8_t> ProcedureListImage(std::span<const std::uint16_t> codes) {
  std::vector<std::uint8_t> image(kProcedureListBytes, 0xFF);
  const std::size_t count = std::min(codes.size(), kProcedureListCodes);
  for (std::size_t i = 0; i < count; ++i) PutLe16(&image[2 * i], codes[i]);
  return image;
}
