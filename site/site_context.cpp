#include "site/site_context.h"

#include <utility>

#include "site/site_system.h"

SiteContext::SiteContext(SiteSystem& system, int site)
    : site_(site),
      link_(system.Link(site)),
      log_(system.Log()),
      runBytes_(system.RunBytes(site)),
      unitReport_(system.CmdData(site)),
      project_(system.Project()),
      driver_(project_.Records().DriverIni[SiteSlot(site)]),
      value_(project_.Records().ProjectValue[SiteSlot(site)]),
      plan_(project_.Records().ProcessPlan[SiteSlot(site)]),
      controls_(system.Controls()),
      loopPause_(system.CurrentLoopPause()),
      panels_(system.Panels()),
      cardView_(system.CardView()),
      planLock_(system.PlanLock()),
      locks_(system.Locks()),
      paths_(system.Paths()),
      session_(system.Session()),
      records_(system.PartRecords()) {
  auto& pipeline = system.LogPipeline();
  const S_SystemPara& para = system.Para();
  logLimitCheck_ = [&pipeline, &para] {
    pipeline.RequestLimitCheck(para.MBoxClrSel, para.MegLimitRows);
  };
}

bool SiteContext::UnitPresent() const {
  return link_.IsUnitPresent();
}

bool SiteContext::PinscanCheck() const {
  return value_.Step[StepFlag::Pinscan] != 0;
}

void SiteContext::SubmitPart(PartRecord record) const {
  session_.Publish(record);  // the front ends that report each part as it is done
  if (records_ != nullptr) records_->Submit(std::move(record));
}

void SiteContext::RequestLogLimitCheck() const {
  logLimitCheck_();
}
