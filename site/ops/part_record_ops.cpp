#include "site/ops/part_record_ops.h"

#include <algorithm>
#include <filesystem>

#include "link/zv_usb.h"
#include "project/project_value.h"
#include "site/loaded_project.h"
#include "site/ops/step_reply.h"
#include "site/site_context.h"

std::uint8_t SocketMask(const std::array<std::uint8_t, 4>& socketCodes) {
  std::uint8_t mask = 0;
  for (std::size_t k = 0; k < socketCodes.size(); ++k) {
    if (socketCodes[k] == kPlanEnabled) mask = static_cast<std::uint8_t>(mask | (1u << k));
  }
  return mask;
}

PartRecord MakePartRecord(SiteContext& ctx, const RunFacts& facts) {
  const LoadedProject& project = ctx.Project();
  const S_ProjectValue& value = ctx.Value();
  const StepReply reply(facts.LastReply);
  PartRecord record;
  record.Site = ctx.Site() + kFirstRecordSite;
  record.UnitId = ctx.Link().GetOrderKey();
  record.ProjectFile = std::filesystem::path(project.Path()).filename().string();
  record.DataCrc = project.ImageCrc();
  record.Manufacturer = value.Manufacturer;
  record.PartNumber = value.PartsNumber;
  record.Sockets = facts.Sockets;
  record.Steps = facts.Steps;
  record.RunResult = facts.Result;
  record.RunVerdict = reply.Verdict();
  for (std::size_t k = 0; k < record.SocketVerdicts.size(); ++k) {
    record.SocketVerdicts[k] =
        reply.Byte(StepReplyField::Verdict + StepReplyField::SocketStride * k);
  }
  record.Pass = facts.Result == SiteResultCode::Pass;
  record.ElapsedMs =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(facts.ElapsedMs, UINT32_MAX));
  return record;
}

void SubmitPartRecord(SiteContext& ctx, PartRecord record) {
  if (record.Time.empty()) record.Time = LocalIsoTime(std::chrono::system_clock::now());
  ctx.SubmitPart(std::move(record));
}
