#include "site/loaded_project.h"

#include <algorithm>

#include "support/checksums.h"
#include "support/system_paths.h"

std::string DataImagePath(const SystemPaths& paths) {
  return paths.BaseDir + "Temp/" + kImageMember;
}

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

void LoadedProject::NoteImage(const std::string& imagePath) {
  hasImage_ = FileCrc32(imagePath, imageCrc_);
}
