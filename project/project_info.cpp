#include "project/project_info.h"

#include <filesystem>

#include "project/driver_ini.h"
#include "project/project_keys.h"
#include "support/archiver.h"
#include "support/ini_file.h"

namespace {
constexpr const char* kInfoFileName = "Info.meg";

class InfoReader {
 public:
  explicit InfoReader(const IniFile& ini) : ini_(ini) {}
  std::string operator()(const char* key) const {
    return ini_.ReadString(kProjectInfoSection, key, "0");
  }

 private:
  const IniFile& ini_;
};
}  // namespace

std::string ProjectInfoTextOf(const std::string& projectName, const IniFile& ini) {
  const InfoReader value(ini);
  std::string text = "Project Name: " + projectName;
  text += "\r\nAuthor: " + value("Author");
  const std::string description = ConvertCaretLines(value("Description"));
  if (description.find_first_not_of(" \t\r\n") != std::string::npos) {
    text += "\r\nDescription: " + description;
  }
  text += "\r\nMachine Name: " + value("MachineName");
  text += "\r\nProject DateTime: " + value("PrjDateTime");
  text += "\r\n\r\nSoftware Version: " + value("UIVer");
  text += "\r\nBIOS Version: " + value("BIOSVer");
  text += "\r\nDataBase Date: " + value("DataBaseDate");
  text += "\r\nDriver Date: " + value("INIDate");
  const std::string menuDate = ConvertCaretLines(value("MenuDate"));
  if (!menuDate.empty()) text += "\r\nMenu Date: " + menuDate;
  text += "\r\n\r\nManufacturer: " + value("Manufacturer");
  text += "\r\nParts Number: " + value("PartsNumber");
  text += "\r\nSource Path: " + value("SourcePath");
  text += "\r\nChecksum: " + value("CheckSum");
  text += "\r\nProcedure: " + value("Procedure");
  const std::string note = value("Note");
  if (!IniNamesEqual(note, "NONE")) text += "\r\n\r\nNote: " + ConvertCaretLines(note);
  return text;
}

std::string ProjectInfoTextOfFile(const std::string& projectName, const std::string& infoPath) {
  std::error_code error;
  IniFile ini;
  if (!std::filesystem::is_regular_file(infoPath, error) || !ini.Load(infoPath)) {
    return ProjectInfoMessage::FileMissing;
  }
  return ProjectInfoTextOf(projectName, ini);
}

std::string ProjectInfoTextOfArchive(const Archiver& archiver, const std::string& path,
                                     const std::string& workDir) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return ProjectInfoMessage::FileMissing;
  const std::string infoPath = (std::filesystem::path(workDir) / kInfoFileName).string();
  std::filesystem::remove(infoPath, error);
  ExtractRequest request;
  request.Archive = path;
  request.OutDir = workDir;
  request.Members = {kInfoFileName};
  request.Password = ArchivePassword::Project;
  request.TypeSevenZip = true;
  const ArchiveResult result = archiver.Extract(request);
  if (result.ExitCode < 0 && result.Status == ArchiveStatus::Failed && result.Missing.empty()) {
    // 7zz could not be started at all: the archiver is missing.
    std::filesystem::remove(infoPath, error);
    return ProjectInfoMessage::ExtractFailed;
  }
  std::string text;
  IniFile ini;
  if (result.Ok() && ini.Load(infoPath)) {
    text = ProjectInfoTextOf(std::filesystem::path(path).filename().string(), ini);
  }
  std::filesystem::remove(infoPath, error);
  return text;
}
