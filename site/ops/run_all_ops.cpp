#include "site/ops/run_all_ops.h"

#include <algorithm>
#include <chrono>
#include <fstream>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "project/driver_slots.h"
#include "site/loaded_project.h"
#include "site/ops/bad_blocks.h"
#include "site/ops/part_record_ops.h"
#include "site/ops/run_setup.h"
#include "site/site_context.h"
#include "site/site_run_bytes.h"
#include "support/byte_order.h"
#include "support/named_lock.h"
#include "support/system_paths.h"

namespace {

using Clock = std::chrono::steady_clock;

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
SiteResult StartRun(SiteContext& ctx, const RunPlan& run) {
  const std::vector<std::uint8_t> list = ProcedureListImage(run.Procedure.Codes);
  if (SendBuffer(ctx.Link(), ctx.Log(), list, static_cast<std::uint32_t>(list.size()),
                 UnitAddress::ProcedureList) != SiteResultCode::Pass) {
    LogSite(ctx.Log(), ctx.Site(), " - Merge Command Send Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (run.GroupDefine) {
    const std::string path = ctx.Paths().TempDir + kGroupDefineFileName;
    if (!SendGroupDefine(ctx, path, *run.Procedure.Pieces)) {
      return SiteResultCode::Fail;
    }
  }
  if (!SendDriverOption(ctx)) return SiteResultCode::Fail;
  ctx.Link().ParameterTail = 0;
  const SiteResult merged = run.Nand ? MergeCommand(ctx, static_cast<std::uint32_t>(run.DataLength),
                                                    static_cast<std::uint32_t>(ProjectKeyInteger(
                                                        ctx.Project().Project().ICBlockStart)),
                                                    run.Procedure.BlockCount, run.GroupDefine)
                                     : MergeCommand(ctx, 0, 0, 0, false);
  return merged == SiteResultCode::Pass ? SiteResultCode::Pass : SiteResultCode::Fail;
}

// A passed NAND run reads the unit's bad block table and reports it.
void ReportNandBlocks(SiteContext& ctx) {
  std::vector<std::uint8_t> bitmap(kBadBlockMapBytes, 0xFF);
  if (ReceiveBuffer(ctx.Link(), ctx.Log(), bitmap, static_cast<std::uint32_t>(bitmap.size()),
                    UnitAddress::BadBlockTable) == SiteResultCode::Pass) {
    ReportBadBlocks(ctx.Log(), ctx.Site(), bitmap, ctx.Driver().Value(DriverSlot::TotalBlocks));
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

bool SendDriverOption(SiteContext& ctx) {
  const MenuRecord& menu = ctx.Project().Project().Menu();
  if (SendBuffer(ctx.Link(), ctx.Log(), menu, static_cast<std::uint32_t>(menu.size()),
                 UnitAddress::DriverOption) == SiteResultCode::Pass) {
    return true;
  }
  LogSite(ctx.Log(), ctx.Site(), " - Driver Option Send Fail!", LogColour::Red);
  return false;
}

bool SendGroupDefine(SiteContext& ctx, const std::string& path, const GroupDefinePieces& pieces) {
  bool read = false;
  const std::vector<std::uint8_t> head =
      ReadFileHead(path, ctx.Locks().Get(LockName::GroupDefine), read);
  LogSite(ctx.Log(), ctx.Site(), " - Send Group Define File", LogColour::Start);
  const std::vector<std::uint8_t> block = GroupDefineBlock(head, pieces);
  if (read && SendBuffer(ctx.Link(), ctx.Log(), block, static_cast<std::uint32_t>(block.size()),
                         UnitAddress::GroupDefine) == SiteResultCode::Pass) {
    LogSite(ctx.Log(), ctx.Site(), " - Send Group Define File Pass", LogColour::Green);
    return true;
  }
  LogSite(ctx.Log(), ctx.Site(), " - Send Group Define File Fail!", LogColour::Red);
  return false;
}

SiteResult MergeCommand(SiteContext& ctx, std::uint32_t length, std::uint32_t value1,
                        std::uint32_t value2, bool groupDefine) {
  ZvUsb& link = ctx.Link();
  LogSink& log = ctx.Log();
  if (link.IsBusy()) {
    LogSite(log, ctx.Site(), " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(log, ctx.Site(), " - Merge Command Send", LogColour::Start);
  const SiteProcessPlan& plan = ctx.Plan();
  const CProject& project = ctx.Project().Project();
  if (length == 0) length = static_cast<std::uint32_t>(plan.MainLength + plan.ExtLength);
  CommandParts parts;
  parts.Command = link.MakeCommandPacket(
      {.Frame = FrameType::Merge, .CodeCount = kMergeCodeCount, .Command = plan.SocketCount});
  parts.Parameter =
      link.MakeParameterPacket({.Address = kMergeDataAddress,
                                .MainLength = static_cast<std::uint32_t>(plan.MainLength),
                                .ExtLength = static_cast<std::uint32_t>(plan.ExtLength),
                                .Length = length});
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
    LogSite(log, ctx.Site(), " - Merge Command Send Pass", LogColour::Green);
  } else {
    LogSite(log, ctx.Site(), " - Merge Command Error!", LogColour::Red);
  }
  link.ClearBusy();
  return sent ? SiteResultCode::Pass : SiteResultCode::Fail;
}

SiteResult RunAll(SiteContext& ctx, const OperationTexts&) {
  LogRunStart(ctx.Log(), ctx.Site());
  const RunPlan run = PrepareRun(ctx, RunSource::Pc);
  if (!AnySocketPlanned(ctx.Plan())) {
    LogSite(ctx.Log(), ctx.Site(), " - No Choice Textool!", LogColour::Red);
    return EndRun(ctx, SiteResultCode::Fail);
  }
  const std::uint8_t sockets = SocketMask(ctx.Plan().SocketCode);
  const Clock::time_point start = Clock::now();
  StepLoopOutcome loop;
  loop.LastReply.fill(kFill);
  SiteResult result = SiteResultCode::Fail;
  if (!run.Procedure.Ok()) {
    LogSite(ctx.Log(), ctx.Site(), run.Procedure.Error, LogColour::Red);
  } else if (StartRun(ctx, run) == SiteResultCode::Pass) {
    loop = RunStepLoop(ctx, {run.Procedure, DataImagePath(ctx.Paths()), run.DataLength});
    result = loop.Result;
    if (result == SiteResultCode::Pass && ctx.Driver().Type == kNandType) ReportNandBlocks(ctx);
  }
  if (!ctx.UnitPresent()) {
    ctx.Link().CloseDevice();
    result = SiteResultCode::Fail;
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  result = CountRun(ctx, run, result, loop, sockets, static_cast<std::uint64_t>(elapsed.count()));
  return EndRun(ctx, result);
}
