#pragma once
// Loading a project file into the system as the project window does, without a window: the
// archive into a new LoadedProject, its menu record and group-define table, then the system
// takes it in place of the old one. A failed load leaves the previous project in place.
#include <string>

class SiteSystem;

// Code of a load that succeeded but could not replace the project because a worker runs.
inline constexpr int kProjectBusyCode = -1;

// LoadCode of the load (LoadProjectMessage gives its text); a menu record that cannot be built
// counts as LoadCode::NoMenuFile. On success logs the group-define table when the project uses
// one and "Load Project Complete".
int LoadProjectFile(SiteSystem& system, const std::string& path);
