#include "project/project_value.h"

#include "project/driver_ini.h"
#include "project/driver_slots.h"
#include "project/project_records.h"

std::uint64_t AreaLength(const ZV_Driver_INI& driver, std::size_t area) {
  if (area >= kAreaCount) return 0;
  const std::uint64_t start = (std::uint64_t{driver.Value(DriverSlot::AreaStartHigh(area))} << 32) |
                              driver.Value(DriverSlot::AreaStartLow(area));
  const std::uint64_t end = (std::uint64_t{driver.Value(DriverSlot::AreaEndHigh(area))} << 32) |
                            driver.Value(DriverSlot::AreaEndLow(area));
  // An end below its start is a broken driver entry: no length rather than an absurd one.
  if (end == 0 || end < start) return 0;
  return end - start + 1;
}

SiteProcessPlan MakeSiteProcessPlan(const ZV_Driver_INI& driver, const S_ProjectValue& value) {
  SiteProcessPlan plan;
  plan.MainLength = AreaLength(driver, 0);
  plan.ExtLength = AreaLength(driver, 1) + AreaLength(driver, 2) + AreaLength(driver, 3);
  plan.Ext3Length = AreaLength(driver, 3);
  for (std::size_t a = 0; a < kAreaCount; ++a) {
    plan.AreaCode[a] = value.MemArea[a] != 0 ? kPlanEnabled : kPlanDisabled;
  }
  plan.SocketCount = 0;
  for (std::size_t s = 0; s < kSocketCount; ++s) {
    const bool enabled = value.Textool[s] != 0;
    plan.SocketCode[s] = enabled ? kPlanEnabled : kPlanDisabled;
    if (enabled) ++plan.SocketCount;
  }
  plan.RunField.fill(kPlanRunFieldPreset);
  return plan;
}

void FillProjectValues(const S_ProjectValue& value, ProjectRecords& records) {
  records.ProjectValue.fill(value);
}

void BuildSiteProcessPlan(ProjectRecords& records, std::size_t site) {
  if (site >= records.ProcessPlan.size()) return;
  records.ProcessPlan[site] =
      MakeSiteProcessPlan(records.DriverIni[site], records.ProjectValue[site]);
}
