#pragma once
// Loading a project archive into a running system, the same for the project window and the
// command-line start-up: a new project is filled beside the loaded one and takes its place only
// when the whole load passed, so a damaged or foreign archive leaves the loaded project, its
// records and its extracted files, in place and working.
#include <string>

class SiteSystem;

inline constexpr const char* kLoadProjectComplete = "Load Project Complete";
inline constexpr const char* kGroupDefineLoaded = "Group Define File Loaded";

// What a load is for.
enum class LoadUse {
  Run,      // the project to run: its group-define table and "Load Project Complete" logged
  Remote,   // as Run, asked over the network: a failure's message is logged as a red line and
            // shown in no box, which would wait for someone at the window to dismiss it
  CardSet,  // the source of an SD card set: the information file stays in the temp directory,
            // nothing is logged on success, a failure's message also as a red line
};

// Loads the archive at `path` with the information file deleted afterwards, builds its menu
// record (a failure counts as LoadCode::NoMenuFile) and, when the project uses one, reads and
// logs its group-define table; then puts it in place of the system's project and logs "Load
// Project Complete". Refused (LoadCode::SitesRunning) while a worker runs, since workers read
// the loaded project and its data image. Any code other than 0 is shown through the system's
// host with its message (caption "ERROR"), or logged for a remote load, and changes nothing.
int LoadProjectInto(SiteSystem& system, const std::string& path, LoadUse use = LoadUse::Run);
