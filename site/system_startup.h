#pragma once
// The start-up and close steps that every front end takes the same way, without a window: the
// paths, the settings, the directory tree and driver index, the version texts and, at close,
// the close notices and the temporary files. The window program and the command-line program
// both call these, so that they build and leave the system identically.
#include <array>
#include <string>

#include "support/system_paths_init.h"

class LogSink;
class RegistryStore;
class SiteSystem;

// The program's title: the window caption and the Reset line name it.
inline constexpr const char* kApplicationTitle = "Tarnik Gang Programmer Console";

inline constexpr const char* kInitFinish = "System Initialization Finish";
inline constexpr const char* kInitFail = "System Initialization Fail!";
inline constexpr const char* kTempFolderFail = "Private Temporary Folder Not Available!";
// The start-up's path failures, each followed by ": " and the path.
inline constexpr const char* kFolderMissing = "Folder Does Not Exist";
inline constexpr const char* kFolderNotMade = "Folder Cannot Be Made";
inline constexpr const char* kFileMissing = "File Does Not Exist";
inline constexpr const char* kDataBaseNotCopied = "DataBase Copy Fail";

// The directory tree below BaseDir, in the order it is checked; the last is only looked for.
inline constexpr std::array<const char*, 7> kDirectoryTree = {
    "Temp", "System", "History", "History/MLOG", "History/Reload", "History/Recovery", "DataBase"};

// Temporary files of the units' work, deleted at exit in this order (then "GrpDef.def").
inline constexpr std::array<const char*, 5> kTempFiles = {"SelfTest.pga", "INIOrder.tab", "7z.dll",
                                                          "BIOS.BIN", "BIOSInfo.ini"};
inline constexpr const char* kGroupDefineTempFile = "GrpDef.def";

// Creates the missing folders of the tree in order (one level each); false when one cannot be
// made. "DataBase" is not created: the result is whether it exists. Each failure is logged on a
// line of its own, naming the folder: a missing base folder or "DataBase" ("Folder Does Not
// Exist: <path>"), a folder that cannot be made ("Folder Cannot Be Made: <path> (<reason>)").
bool CheckDirectories(const std::string& baseDir, LogSink& log);

// An installed program's first start in a new base folder: the base folder is made when
// missing and the factory database of the program's folder is copied to BaseDir + "DataBase"
// when that is missing. False (and a log line naming the folders) when that failed; nothing to
// do is true.
bool SeedDataBase(const SystemPaths& paths, LogSink& log);

// "major.minor.release.build" of the program, or empty when the build carries no version.
std::string GetVersionText();
// The compiler's build date, e.g. "Aug  5 2015".
std::string BuildDateText();

// No file at the path: true. Otherwise wipes and deletes it; on failure logs "Delete The
// Temporary File of <name> Fail!" (name without folder and extension) and returns false.
bool DeleteTempFile(const std::string& path, LogSink& log);

// InitSystemPaths, then the system takes the paths. False when no private temporary folder
// could be made.
bool SetSystemPaths(SiteSystem& system, const PathSetup& setup);

// Loads "System/System.ini" into the system's settings (the file may move the base folder,
// "ExeDirPath"), hands the link settings to the links and starts shipping the records when a
// records URL is set.
void LoadSystemSettings(SiteSystem& system, bool handlerMode);

// The checks after the settings: the private temporary folder (kTempFolderFail logged when it
// is missing), the seeding of a new base folder, the directory tree and the driver index
// "Select.SEL" (a missing one named by "File Does Not Exist: <path>" before its own line).
// False stops the start-up.
bool CheckSystemFiles(SiteSystem& system, bool privateTemp);

// One log line when the machine-wide store of the mode switches is ignored (see RegistryStore).
void ReportRegistryStore(const RegistryStore& store, LogSink& log);

// The close: every worker joined, the close notice to every present unit unless in handler
// mode, the temporary files deleted, every link closed, the records committed and shipped.
void CloseSystem(SiteSystem& system, bool handlerMode);

// What the close does (unless in handler mode): the close notice to every site whose panel is
// not siNone, one after the other on the calling thread, each with a context of its own. Call
// it after every worker has ended.
void SendCloseNotices(SiteSystem& system);
