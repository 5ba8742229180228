#include "site/firmware_files.h"

#include <filesystem>

#include "project/message_box_fn.h"
#include "site/firmware_image.h"
#include "site/site_system.h"
#include "support/archiver.h"

namespace fs = std::filesystem;

namespace {

void ShowError(SiteSystem& system, const char* text) {
  system.Host().MessageBox(text, kErrorCaption, kErrorIconFlag);
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The archive opened and the password fit; members it lacks are reported per site later.
bool Extracted(const ArchiveResult& result) {
  return result.Status == ArchiveStatus::Ok || result.Status == ArchiveStatus::MissingMembers;
}

}  // namespace

std::string FirmwareImagePath(const SystemPaths& paths) {
  return paths.TempDir + kFirmwareImageFile;
}

std::string FirmwareInfoPath(const SystemPaths& paths) {
  return paths.TempDir + kFirmwareInfoFile;
}

bool ExtractFirmware(SiteSystem& system) {
  RemoveFirmwareFiles(system);
  const std::string archive = system.Paths().BaseDir + kFirmwareArchive;
  if (!IsFile(archive)) {
    ShowError(system, kFirmwareArchiveMissing);
    return false;
  }
  ExtractRequest request;
  request.Archive = archive;
  request.OutDir = system.Paths().TempDir;
  request.Members = {kFirmwareImageFile, kFirmwareInfoFile};
  request.Password = ArchivePassword::Firmware;
  request.Recurse = true;
  if (!Extracted(system.Archive().Extract(request))) {
    RemoveFirmwareFiles(system);
    ShowError(system, kFirmwareExtractFail);
    return false;
  }
  return true;
}

std::string FirmwareVersionOf(const std::string& path) {
  const auto image = ReadFirmwareImage(path);
  if (!image) return "0";
  return VersionText(DecodeFirmwareTrailer(*image).Version);
}

void RemoveFirmwareFiles(const SiteSystem& system) {
  std::error_code error;
  fs::remove(FirmwareImagePath(system.Paths()), error);
  fs::remove(FirmwareInfoPath(system.Paths()), error);
}

std::string FirmwareQuestionText(const std::string& databaseVersion) {
  return std::string("BIOS Update!") + "\r\n\r\n" + "Latest BIOS version = " + databaseVersion +
         "\n\r\n\rDo not disconnect the programmer(s) during update process!\r\n\r\nDo you want "
         "to update all connected sites?";
}
