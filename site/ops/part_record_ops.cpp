#include "site/ops/part_record_ops.h"

#include <algorithm>
#include <filesystem>

#include "project/project_value.h"
#include "site/ops/step_reply.h"
#include "site/site_system.h"

std::uint8_t SocketMask(const std::array<std::uint8_t, 4>& socketCodes) {
  std::uint8_t mask = 0;
  for (std::size_t k = 0; k < socketCodes.size(); ++k) {
    if (socketCodes[k] == kPlanEnabled) mask = static_cast<std::uint8_t>(mask | (1u << k));
  }
  return mask;
}

PartRecord MakePartRecord(SiteSystem& system, const RunFacts& facts) {
  const LoadedProject& project = system.Project();
  const S_ProjectValue& value = project.Records().ProjectValue[SiteSlot(facts.Site)];
  const StepReply reply(facts.LastReply);
  PartRecord record;
  record.Site = facts.Site + kFirstRecordSite;
  record.UnitId = system.Link(facts.Site).GetOrderKey();
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

void SubmitPartRecord(SiteSystem& system, PartRecord record) {
  if (record.Time.empty()) record.Time = LocalIsoTime(std::chrono::system_clock::now());
  system.Session().Publish(record);  // the front ends that report each part as it is done
  if (RecordWriter* writer = system.PartRecords()) writer->Submit(std::move(record));
}
