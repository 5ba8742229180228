#pragma once
// The information text of a project, shown before it is loaded: labelled values of the
// archive's "Info.meg" (section "ProjectInfo").
#include <string>

class Archiver;
class IniFile;

namespace ProjectInfoMessage {
inline constexpr const char* FileMissing = "Project File Doesn't Exist!";
inline constexpr const char* ExtractFailed = "Extract Failed!";
}  // namespace ProjectInfoMessage

// The text for the information of `ini`; `projectName` is the file name shown first.
std::string ProjectInfoTextOf(const std::string& projectName, const IniFile& ini);

// The text for an information file on disk (a project's "Info.meg", or one fetched from a
// unit's card); "Project File Doesn't Exist!" when it is missing.
std::string ProjectInfoTextOfFile(const std::string& projectName, const std::string& infoPath);

// The text for the project archive at `path`: "Info.meg" is extracted into `workDir` (a folder
// of its own below the temp directory, so that the "Info.meg" a load left for the SD card set
// is never touched), read and deleted. Empty when the extraction fails.
std::string ProjectInfoTextOfArchive(const Archiver& archiver, const std::string& path,
                                     const std::string& workDir);
