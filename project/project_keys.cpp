#include "project/project_keys.h"

#include <charconv>
#include <limits>
#include <type_traits>

#include "support/ini_file.h"

using K = ProjectKeys;

const std::array<ProjectKey, kProjectKeyCount> kProjectKeys{{
    {"MachineName", &K::MachineName},
    {"PrjDateTime", &K::PrjDateTime},
    {"UIVer", &K::UIVer},
    {"UIDate", &K::UIDate},
    {"DataBaseDate", &K::DataBaseDate},
    {"INIDate", &K::INIDate},
    {"MenuDate", &K::MenuDate},
    {"Author", &K::Author},
    {"Password", &K::Password},
    {"MainMeMCheck", &K::MainMeMCheck},
    {"Ext1MeMCheck", &K::Ext1MeMCheck},
    {"Ext2MeMCheck", &K::Ext2MeMCheck},
    {"Ext3MeMCheck", &K::Ext3MeMCheck},
    {"Textool1Check", &K::Textool1Check},
    {"Textool2Check", &K::Textool2Check},
    {"Textool3Check", &K::Textool3Check},
    {"Textool4Check", &K::Textool4Check},
    {"PinscanCheck", &K::PinscanCheck},
    {"IDCheck", &K::IDCheck},
    {"EraseCheck", &K::EraseCheck},
    {"BlankCheck", &K::BlankCheck},
    {"ProgramCheck", &K::ProgramCheck},
    {"VerifyCheck", &K::VerifyCheck},
    {"ProtectCheck", &K::ProtectCheck},
    {"Manufacturer", &K::Manufacturer},
    {"PartsNumber", &K::PartsNumber},
    {"SourcePath", &K::SourcePath},
    {"Note", &K::Note},
    {"CheckSum", &K::CheckSum},
    {"CheckSumMode", &K::CheckSumMode},
    {"Procedure", &K::Procedure},
    {"Description", &K::Description},
    {"BIOSVer", &K::BIOSVer},
    {"ChecksumType", &K::ChecksumType},
    {"SupportNumber", &K::SupportNumber},
    {"IgnoreBadBlockRead", &K::IgnoreBadBlockRead},
    {"IgnoreBadBlockErase", &K::IgnoreBadBlockErase},
    {"IgnoreBadBlockProgram", &K::IgnoreBadBlockProgram},
    {"ICBlockStart", &K::ICBlockStart},
    {"ProcessBlocks", &K::ProcessBlocks},
    {"UsingGroupDefine", &K::UsingGroupDefine},
    {"IsUseHdcp", &K::IsUseHdcp},
    {"IsUseHdcpBackup", &K::IsUseHdcpBackup},
    {"HdcpStartAddr", &K::HdcpStartAddr},
    {"IsIncludeHdcpSubDir", &K::IsIncludeHdcpSubDir},
    {"HdcpFilter", &K::HdcpFilter},
    {"HdcpSourcePath", &K::HdcpSourcePath},
    {"HdcpBackupPath", &K::HdcpBackupPath},
    {"PreBlankCheck", &K::PreBlankCheck},
}};

std::int32_t ProjectKeyInteger(const std::string& text, std::int32_t fallback) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (begin < end && text[begin] == '+') {
    ++begin;
    if (begin < end && text[begin] == '-') return fallback;
  }
  std::int64_t value = 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || first == last) return fallback;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return fallback;
  }
  return static_cast<std::int32_t>(value);
}

void ReadProjectKeys(const IniFile& ini, ProjectKeys& keys) {
  const ProjectKeys defaults;
  for (const ProjectKey& key : kProjectKeys) {
    std::visit(
        [&](auto member) {
          using Value = std::remove_reference_t<decltype(keys.*member)>;
          if constexpr (std::is_same_v<Value, std::string>) {
            keys.*member = ini.ReadString(kProjectInfoSection, key.name, defaults.*member);
          } else if constexpr (std::is_same_v<Value, bool>) {
            keys.*member = ini.ReadBool(kProjectInfoSection, key.name, defaults.*member);
          } else {
            keys.*member = ini.ReadInteger(kProjectInfoSection, key.name, defaults.*member);
          }
        },
        key.field);
  }
}

bool WriteProjectKeys(IniFile& ini, const ProjectKeys& keys) {
  bool written = true;
  for (const ProjectKey& key : kProjectKeys) {
    std::visit(
        [&](auto member) {
          using Value = std::remove_cvref_t<decltype(keys.*member)>;
          if constexpr (std::is_same_v<Value, std::string>) {
            written = ini.WriteString(kProjectInfoSection, key.name, keys.*member) && written;
          } else if constexpr (std::is_same_v<Value, bool>) {
            written = ini.WriteBool(kProjectInfoSection, key.name, keys.*member) && written;
          } else {
            written = ini.WriteInteger(kProjectInfoSection, key.name, keys.*member) && written;
          }
        },
        key.field);
  }
  return written;
}
