#include "site/ops/run_step_loop.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/bulk_exchange.h"
#include "link/zv_usb.h"
#include "site/ops/run_report.h"
#include "site/ops/step_report.h"
#include "site/ops/unit_message.h"
#include "site/site_context.h"

namespace {

using Clock = std::chrono::steady_clock;

// The pause before each step of a run from the card, which the unit's firmware expects.
constexpr std::chrono::milliseconds kCardStepPause{10};

std::uint32_t MsSince(Clock::time_point start) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  return static_cast<std::uint32_t>(std::max<std::int64_t>(ms.count(), 0));
}

// Verify right after Program (two places later) streams the data again from its start.
bool RestartsChunks(const std::vector<std::uint16_t>& codes, std::size_t i) {
  return codes[i] == StepCode::Program && i + 2 < codes.size() && codes[i + 2] == StepCode::Verify;
}

// Awaits the unit's reply to one step and reports it; the step's result for the run.
SiteResult FollowStep(SiteContext& ctx, const StepLoopData& in, std::uint16_t code, Reply& reply) {
  ZvUsb& link = ctx.Link();
  reply[0] = SiteResultCode::Fail;
  link.BulkRead(reply.data(), static_cast<int>(kReplySize), true);
  link.AwaitReply(reply.data());
  // A data chunk of a card run is the unit's own: its result byte is the step's result.
  const bool cardChunk = in.CardData && code == StepCode::DataChunk;
  if (!cardChunk) reply[0] = ReportStepResult(ctx, code, reply);
  ReportUnitMessage(ctx.Log(), ctx.Site(), reply);
  if (!ctx.UnitPresent()) {
    link.CloseDevice();
    return SiteResultCode::Fail;
  }
  if (cardChunk) return reply[0];
  return in.CardData ? CardStepResult(reply[0], reply) : StepRunResult(reply[0], reply);
}

}  // namespace

DataRegion DataChunkRegion(const ProcedureList& procedure, std::uint64_t dataLength,
                           std::uint32_t k) {
  if (procedure.Pieces) {
    const GroupDefinePieces& pieces = *procedure.Pieces;
    if (k >= pieces.Count()) return {};
    return {pieces.Offset[k], pieces.Length[k]};
  }
  const std::uint64_t offset = std::uint64_t{k} * procedure.ChunkLength;
  if (offset >= dataLength) return {offset, 0};
  return {offset, std::min<std::uint64_t>(procedure.ChunkLength, dataLength - offset)};
}

StepLoopOutcome RunStepLoop(SiteContext& ctx, const StepLoopData& in) {
  StepLoopOutcome out;
  out.LastReply.fill(kFill);
  const std::vector<std::uint16_t>& codes = in.Procedure.Codes;
  std::uint32_t chunk = 0;
  Clock::time_point stepStart = Clock::now();
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::uint16_t code = codes[i];
    Reply& reply = out.LastReply;
    reply.fill(kFill);
    if (in.CardData) std::this_thread::sleep_for(kCardStepPause);
    LogStepStart(ctx.Log(), ctx.Site(), code);
    if (code == StepCode::DataChunk && !in.CardData) {
      const DataRegion region = DataChunkRegion(in.Procedure, in.DataLength, chunk);
      const SiteResult sent =
          SendFileRange(ctx.Link(), ctx.Log(), in.DataImage, region.Offset, region.Length);
      out.Steps.push_back({code, std::string(StepName(code)), sent, MsSince(stepStart)});
      stepStart = Clock::now();
      if (sent != SiteResultCode::Pass) {
        out.Result = SiteResultCode::LinkClosed;  // the reply's preset: no step answered
        return out;
      }
      ++chunk;
      continue;
    }
    if (RestartsChunks(codes, i)) chunk = 0;
    out.Result = FollowStep(ctx, in, code, reply);
    out.Steps.push_back({code, std::string(StepName(code)), reply[0], MsSince(stepStart)});
    stepStart = Clock::now();
    if (out.Result != SiteResultCode::Pass) return out;
  }
  return out;
}
