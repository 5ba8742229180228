#include "site/ops/run_all_ops.h"

#include <algorithm>
#include <chrono>
#include <fstream>

#include "link/bulk_exchange.h"
#include "link/link_table.h"
#include "link/standard_exchange.h"
#include "project/driver_slots.h"
#include "site/opcode_table.h"
#include "site/ops/bad_blocks.h"
#include "site/ops/part_record_ops.h"
#include "site/ops/run_setup.h"
#include "site/site_system.h"
#include "support/byte_order.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kMergeB1 = 1;
constexpr std::uint8_t kMergeCodeCount = 1;
constexpr std::uint32_t kMergeDataAddress = UnitAddress::Settings;
constexpr std::uint8_t kBadBlocksProgrammed = 0xA3;  // IgnoreBadBlockProgram
constexpr std::uint8_t kBadBlocksSkipped = 0xA0;
constexpr char kNandType[] = "NAND FLASH";

void PutTable(std::vector<std::uint8_t>& block, std::size_t at,
              const std::vector<std::uint32_t>& table) {
  const std::size_t count = std::min(table.size(), kMaxPieces);
  for (std::size_t i = 0; i < count; ++i) PutLe32(&block[at + 4 * i], table[i]);
}

std::vector<std::uint8_t> ReadFileHead(const std::string& path, NamedLock& lock, bool& read) {
  std::vector<std::uint8_t> head(kGroupDefineBlockBytes);
  NamedLockGuard guard(lock);
  std::ifstream file(path, std::ios::binary);
  read = static_cast<bool>(file);
  file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
  return head;
}

// The list, the group-define table and the driver options, then the merge that starts it.
SiteResult StartRun(const RunSetup& run) {
  SiteSystem& system = run.System;
  const std::vector<std::uint8_t> list = ProcedureListImage(run.Procedure.Codes);
  if (SendBuffer(system.Links(), system.Log(), run.Site, list,
                 static_cast<std::uint32_t>(list.size()),
                 UnitAddress::ProcedureList) != SiteResultCode::Pass) {
    LogSite(system.Log(), run.Site, " - Merge Command Send Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (run.GroupDefine) {
    const std::string path = system.Paths().TempDir + kGroupDefineFileName;
    if (!SendGroupDefine(system, run.Site, path, *run.Procedure.Pieces)) {
      return SiteResultCode::Fail;
    }
  }
  if (!SendDriverOption(system, run.Site)) return SiteResultCode::Fail;
  system.Link(run.Site).ParameterTail = 0;
  const SiteResult merged =
      run.Nand
          ? MergeCommand(system, run.Site, static_cast<std::uint32_t>(run.DataLength),
                         static_cast<std::uint32_t>(ProjectKeyInteger(run.Project.ICBlockStart)),
                         run.Procedure.BlockCount, run.GroupDefine)
          : MergeCommand(system, run.Site, 0, 0, 0, false);
  return merged == SiteResultCode::Pass ? SiteResultCode::Pass : SiteResultCode::Fail;
}

// A passed NAND run reads the unit's bad block table and reports it.
void ReportNandBlocks(const RunSetup& run) {
  SiteSystem& system = run.System;
  std::vector<std::uint8_t> bitmap(kBadBlockMapBytes, 0xFF);
  if (ReceiveBuffer(system.Links(), system.Log(), run.Site, bitmap,
                    static_cast<std::uint32_t>(bitmap.size()),
                    UnitAddress::BadBlockTable) == SiteResultCode::Pass) {
    ReportBadBlocks(system.Log(), run.Site, bitmap, run.Driver.Value(DriverSlot::TotalBlocks));
  }
}

}  // namespace

std::vector<std::uint8_t> GroupDefineBlock(std::span<const std::uint8_t> fileHead,
                                           const GroupDefinePieces& pieces) {
  std::vector<std::uint8_t> block(kGroupDefineBlockBytes, 0);
  std::copy_n(fileHead.begin(), std::min(fileHead.size(), block.size()), block.begin());
  const std::size_t tableBytes = kPieceTableBytes;
  for (std::size_t at : {GroupDefineBlockOffset::StartBlock, GroupDefineBlockOffset::End,
                         GroupDefineBlockOffset::BlockCount, GroupDefineBlockOffset::Parameter}) {
    std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(at), tableBytes, 0);
  }
  PutTable(block, GroupDefineBlockOffset::StartBlock, pieces.StartBlock);
  PutTable(block, GroupDefineBlockOffset::End, pieces.End);
  PutTable(block, GroupDefineBlockOffset::BlockCount, pieces.BlockCount);
  PutTable(block, GroupDefineBlockOffset::Parameter, pieces.Parameter);
  return block;
}

bool SendDriverOption(SiteSystem& system, int site) {
  const MenuRecord& menu = system.Project().Project().Menu();
  if (SendBuffer(system.Links(), system.Log(), site, menu, static_cast<std::uint32_t>(menu.size()),
                 UnitAddress::DriverOption) == SiteResultCode::Pass) {
    return true;
  }
  LogSite(system.Log(), site, " - Driver Option Send Fail!", LogColour::Red);
  return false;
}

bool SendGroupDefine(SiteSystem& system, int site, const std::string& path,
                     const GroupDefinePieces& pieces) {
  bool read = false;
  const std::vector<std::uint8_t> head =
      ReadFileHead(path, system.Locks().Get(LockName::GroupDefine), read);
  LogSite(system.Log(), site, " - Send Group Define File", LogColour::Start);
  const std::vector<std::uint8_t> block = GroupDefineBlock(head, pieces);
  if (read && SendBuffer(system.Links(), system.Log(), site, block,
                         static_cast<std::uint32_t>(block.size()),
                         UnitAddress::GroupDefine) == SiteResultCode::Pass) {
    LogSite(system.Log(), site, " - Send Group Define File Pass", LogColour::Green);
    return true;
  }
  LogSite(system.Log(), site, " - Send Group Define File Fail!", LogColour::Red);
  return false;
}

SiteResult MergeCommand(SiteSystem& system, int site, std::uint32_t length, std::uint32_t value1,
                        std::uint32_t value2, bool groupDefine) {
  ZvUsb& link = system.Link(site);
  LogSink& log = system.Log();
  if (link.IsBusy()) {
    LogSite(log, site, " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(log, site, " - Merge Command Send", LogColour::Start);
  const SiteProcessPlan& plan = system.Project().Records().ProcessPlan[SiteSlot(site)];
  const CProject& project = system.Project().Project();
  if (length == 0) length = static_cast<std::uint32_t>(plan.MainLength + plan.ExtLength);
  CommandParts parts;
  parts.Command = link.MakeCommandPacket(FrameType::Merge, kMergeB1, 0, kMergeCodeCount,
                                         plan.SocketCount, 0, 0, 0);
  parts.Parameter =
      link.MakeParameterPacket(0, 0, kMergeDataAddress, static_cast<std::uint32_t>(plan.MainLength),
                               static_cast<std::uint32_t>(plan.ExtLength), 0, length);
  const auto& socket = plan.SocketCode;
  parts.ByteQuad = MakeByteQuadPacket(socket[0], socket[1], socket[2], socket[3]);
  const auto& area = plan.AreaCode;
  parts.ByteQuadFlag =
      MakeByteQuadFlagPacket(area[0], area[1], area[2], area[3], project.PreBlankCheck ? 1 : 0);
  parts.Code = link.MakeCodeWord(CommandCode::Merge);
  parts.Value = MakeValuePacket(
      value1, value2, project.IgnoreBadBlockProgram ? kBadBlocksProgrammed : kBadBlocksSkipped,
      groupDefine ? 1 : 0);
  const bool sent = link.SendCommand(std::move(parts));
  if (sent) {
    LogSite(log, site, " - Merge Command Send Pass", LogColour::Green);
  } else {
    LogSite(log, site, " - Merge Command Error!", LogColour::Red);
  }
  link.ClearBusy();
  return sent ? SiteResultCode::Pass : SiteResultCode::Fail;
}

SiteResult RunAll(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  LogRunStart(system.Log(), site);
  RunSetup run = PrepareRun(system, site, RunSource::Pc);
  if (!AnySocketPlanned(run.Plan)) {
    LogSite(system.Log(), site, " - No Choice Textool!", LogColour::Red);
    return EndRun(run, SiteResultCode::Fail);
  }
  const std::uint8_t sockets = SocketMask(run.Plan.SocketCode);
  const Clock::time_point start = Clock::now();
  StepLoopOutcome loop;
  loop.LastReply.fill(kFill);
  SiteResult result = SiteResultCode::Fail;
  if (!run.Procedure.Ok()) {
    LogSite(system.Log(), site, run.Procedure.Error, LogColour::Red);
  } else if (StartRun(run) == SiteResultCode::Pass) {
    const StepReportSite at{
        system.Log(),         site, run.Driver, run.Plan, run.Value.Step[StepFlag::Pinscan] != 0,
        system.RunBytes(site)};
    loop = RunStepLoop(StepLoopInputs{system.Links(), at, run.Procedure,
                                      DataImagePath(system.Paths()), run.DataLength});
    result = loop.Result;
    if (result == SiteResultCode::Pass && run.Driver.Type == kNandType) ReportNandBlocks(run);
  }
  if (!system.UnitPresent(site)) {
    system.Link(site).CloseDevice();
    result = SiteResultCode::Fail;
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  result = CountRun(run, result, loop, sockets, static_cast<std::uint64_t>(elapsed.count()));
  return EndRun(run, result);
}

void RegisterRunOperations(OpcodeTable& table) {
  table.Register(Opcodes::RunAll, [](SiteSystem& system, int site, const OperationTexts&) {
    return RunAll(system, site);
  });
}
