#pragma once
// The project records of one system, live from start-up to exit and overwritten by each
// project load: the driver image, and per site the driver record, the project values and the
// process plan. Owned by the system's context object.
#include <array>
#include <cstddef>
#include <string>

#include "project/driver_ini.h"
#include "project/project_value.h"
#include "project/slot_image.h"

inline constexpr std::size_t kProjectSiteCount = 8;

struct ProjectRecords {
  DriverIniImage DriverImage;
  std::string DriverIniPath;  // BaseDir + index line 4 of the last found part
  std::array<ZV_Driver_INI, kProjectSiteCount> DriverIni;
  std::array<S_ProjectValue, kProjectSiteCount> ProjectValue;
  std::array<SiteProcessPlan, kProjectSiteCount> ProcessPlan;
};
