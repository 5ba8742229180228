#pragma once
// The 49 keys of a project's information file (section "ProjectInfo" of "Info.meg"), their
// types and defaults. The same table, in this order, is used by everything that reads or
// writes project information: the loader, the information text and the project maker.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

inline constexpr const char* kProjectInfoSection = "ProjectInfo";

// The values of the 49 keys. Texts default to "0", integers to 0; flags have their own
// defaults. Field names are the key names.
struct ProjectKeys {
  std::string MachineName = "0";
  std::string PrjDateTime = "0";
  std::string UIVer = "0";
  std::string UIDate = "0";
  std::string DataBaseDate = "0";
  std::string INIDate = "0";
  std::string MenuDate = "0";
  std::string Author = "0";
  std::string Password = "0";
  bool MainMeMCheck = true;
  bool Ext1MeMCheck = false;
  bool Ext2MeMCheck = false;
  bool Ext3MeMCheck = false;
  bool Textool1Check = true;
  bool Textool2Check = false;
  bool Textool3Check = false;
  bool Textool4Check = false;
  bool PinscanCheck = true;
  bool IDCheck = true;
  bool EraseCheck = true;
  bool BlankCheck = true;
  bool ProgramCheck = true;
  bool VerifyCheck = true;
  bool ProtectCheck = true;
  std::string Manufacturer = "0";
  std::string PartsNumber = "0";
  std::string SourcePath = "0";
  std::string Note = "0";
  std::string CheckSum = "0";
  bool CheckSumMode = true;
  std::string Procedure = "0";
  std::string Description = "0";
  std::string BIOSVer = "0";
  std::int32_t ChecksumType = 0;
  std::int32_t SupportNumber = 0;
  bool IgnoreBadBlockRead = false;
  bool IgnoreBadBlockErase = false;
  bool IgnoreBadBlockProgram = false;
  std::string ICBlockStart = "0";   // a text that holds an integer
  std::string ProcessBlocks = "0";  // a text that holds an integer
  bool UsingGroupDefine = false;
  bool IsUseHdcp = false;
  bool IsUseHdcpBackup = false;
  std::int32_t HdcpStartAddr = 0;
  bool IsIncludeHdcpSubDir = false;
  std::string HdcpFilter = "0";
  std::string HdcpSourcePath = "0";
  std::string HdcpBackupPath = "0";
  bool PreBlankCheck = false;

  bool operator==(const ProjectKeys&) const = default;
};

// One key: its name and the field it fills; the field's type is the key's type.
using ProjectKeyField =
    std::variant<std::string ProjectKeys::*, bool ProjectKeys::*, std::int32_t ProjectKeys::*>;
struct ProjectKey {
  const char* name;
  ProjectKeyField field;
};

inline constexpr std::size_t kProjectKeyCount = 49;
extern const std::array<ProjectKey, kProjectKeyCount> kProjectKeys;

// Integer text of a key that holds one ("ICBlockStart", "ProcessBlocks"); `fallback` when
// the text is not a decimal integer that fits 32 bits.
std::int32_t ProjectKeyInteger(const std::string& text, std::int32_t fallback = 0);

class IniFile;

// Reads the 49 keys of section "ProjectInfo" into `keys`, each with its default when absent;
// a flag or integer that is no integer reads as its default.
void ReadProjectKeys(const IniFile& ini, ProjectKeys& keys);

// Writes the 49 keys in table order (flags as 1 or 0); false when a value holds a line break.
bool WriteProjectKeys(IniFile& ini, const ProjectKeys& keys);
