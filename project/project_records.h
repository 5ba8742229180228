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
#include "support/site_index.h"

struct ProjectRecords {
  DriverIniImage DriverImage;
  std::string DriverIniPath;  // BaseDir + index line 4 of the last found part
  std::array<ZV_Driver_INI, kSiteCount> DriverIni;
  std::array<S_ProjectValue, kSiteCount> ProjectValue;
  std::array<SiteProcessPlan, kSiteCount> ProcessPlan;
};
