#pragma once
// The firmware files of the database on the main thread: the image "BIOS.BIN" and its
// information file "BIOSInfo.ini" are taken out of the firmware archive
// (BaseDir + "DataBase/Update/Data.dat") into the temporary folder, read there by the update
// workers, and deleted after each update run and at close.
#include <string>

class SiteSystem;
struct SystemPaths;

inline constexpr char kFirmwareArchive[] = "DataBase/Update/Data.dat";  // below BaseDir
inline constexpr char kFirmwareImageFile[] = "BIOS.BIN";
inline constexpr char kFirmwareInfoFile[] = "BIOSInfo.ini";

inline constexpr char kFirmwareArchiveMissing[] =
    "Some Files Are Missing In The DataBase!\n\r\n\rPlease Check Your DataBase.\n\ror Download "
    "and install the DataBase Again!";
inline constexpr char kFirmwareExtractFail[] =
    "Extract Files Fail!\n\r\n\rPlease Check Your DataBase.\n\ror Download and install the "
    "DataBase Again!";

// TempDir + "BIOS.BIN" and TempDir + "BIOSInfo.ini".
std::string FirmwareImagePath(const SystemPaths& paths);
std::string FirmwareInfoPath(const SystemPaths& paths);

// Deletes the two files, then unpacks them from the archive (searching its sub-folders) with
// the firmware password. A missing archive or a failed extraction (damaged archive, wrong
// password) shows its ERROR box through the system's host, leaves neither file behind and
// gives false. An archive that lacks one of the members still gives true: the update reports
// the missing file per site.
bool ExtractFirmware(SiteSystem& system);

// The version text of the image's trailer, or "0" when the file cannot be opened.
std::string FirmwareVersionOf(const std::string& path);

// Deletes TempDir + "BIOS.BIN" and + "BIOSInfo.ini" (absent files are no error).
void RemoveFirmwareFiles(const SiteSystem& system);

// The text of the update run's QUESTION box, with the shown database version.
std::string FirmwareQuestionText(const std::string& databaseVersion);
// The box's flags: OK and Cancel, question icon, Cancel the default button.
inline constexpr unsigned kFirmwareQuestionFlags = 0x121;
