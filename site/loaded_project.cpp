#include "site/loaded_project.h"

#include <algorithm>

LoadedProject::LoadedProject(const Services& services)
    : project_(std::make_unique<CProject>(ProjectEnvironment{services.Paths,
                                                             services.Archive,
                                                             services.Index,
                                                             services.Pack,
                                                             records_,
                                                             hardware_,
                                                             services.GroupDefineLock,
                                                             services.Log,
                                                             services.Box,
                                                             {}})) {}

bool LoadedProject::ProcedureSelected() const {
  const auto& steps = records_.ProjectValue[0].Step;
  return std::any_of(steps.begin(), steps.end(), [](std::uint8_t flag) { return flag != 0; });
}
