#pragma once
// Start-up and exit steps that need no window: the single-instance check, the directory tree,
// the version and caption texts, and the wiping delete of temporary files.
#include <array>
#include <optional>
#include <string>

#include "support/instance_lock.h"

class LogSink;

inline constexpr const char* kApplicationTitle = "Tarnik Gang Programmer Console";

// Programs of the same product line that must not run beside this one, in the order they are
// looked for; the program's own title among them is skipped.
inline constexpr std::array<const char*, 5> kSiblingTitles = {
    "Tarnik Solo", "Tarnik Solo Multi", "Tarnik Gang Programmer", kApplicationTitle,
    "Tarnik Mini Tester"};

// The directory tree below BaseDir, in the order it is checked; the last is only looked for.
inline constexpr std::array<const char*, 7> kDirectoryTree = {
    "Temp", "System", "History", "History/MLOG", "History/Reload", "History/Recovery", "DataBase"};

// Temporary files of the units' work, deleted at exit in this order (then "GrpDef.def").
inline constexpr std::array<const char*, 5> kTempFiles = {"SelfTest.pga", "INIOrder.tab", "7z.dll",
                                                          "BIOS.BIN", "BIOSInfo.ini"};
inline constexpr const char* kGroupDefineTempFile = "GrpDef.def";

// A running sibling: "Please Close Programmer of <title>!" (ERROR) and false. A second instance:
// "Programmer Already Open!" (WARNING) and false. Otherwise the instance lock goes into `held`
// (keep it for the life of the process) and the result is true. Each lock lives in `lockFolder`.
bool CheckSingleInstance(const std::string& lockFolder, std::optional<InstanceLock>& held,
                         const std::string& title = kApplicationTitle);

// Creates the missing folders of the tree in order (one level each); false when one cannot be
// made. "DataBase" is not created: the result is whether it exists.
bool CheckDirectories(const std::string& baseDir);

// "major.minor.release.build" of the program, or empty when the build carries no version.
std::string GetVersionText();
// The compiler's build date, e.g. "Aug  5 2015".
std::string BuildDateText();
// Title + " - Software Ver. " + version, and in debug mode " - " + build date.
std::string MainCaption(const std::string& version, bool debugMode, const std::string& buildDate);

// No file at the path: true. Otherwise wipes and deletes it; on failure logs "Delete The
// Temporary File of <name> Fail!" (name without folder and extension) and returns false.
bool DeleteTempFile(const std::string& path, LogSink& log);
