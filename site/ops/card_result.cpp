#include "site/ops/card_result.h"

#include <array>

#include "link/standard_exchange.h"

namespace {
constexpr std::array<CardResultText, 15> kTexts{{
    {CardCode::Pass, " Pass"},
    {CardCode::NotReady, " Fail!, SD card detection not available"},
    {CardCode::DiskNotWorking,
     " Fail!, The disk drive cannot work due to incorrect medium removal or disk_initialize "
     "function failed"},
    {CardCode::NoFile, " Fail!, Could not find the file"},
    {CardCode::NoPath, " Fail!, Could not find the path"},
    {CardCode::InvalidName, " Fail!, The given string is invalid as the path name"},
    {CardCode::InvalidDrive, " Fail!, Invalid drive number is specified"},
    {CardCode::Denied, " Fail!, The required access was denied"},
    {CardCode::Exists, " Fail!, Any object that has the same name is already existing"},
    {CardCode::DiskError, " Fail!, The function failed due to a disk error an internal error"},
    {CardCode::WriteProtected, " Fail!, Any write mode action against write-protected media"},
    {CardCode::NotMounted,
     " Fail!, Work area for the logical drive has not been registered by f_mount function"},
    {CardCode::NoVolume, " Fail!, There is no valid FAT volume on the drive"},
    {CardCode::InvalidObject, " Fail!, The given file/directory object structure is invalid"},
    {CardCode::FormatAborted, " Fail!, The f_mkfs function aborted before start in format"},
}};
}  // namespace

std::span<const CardResultText> CardResultTexts() {
  return kTexts;
}

CardResultLine DecodeCardResult(std::uint8_t code, std::string_view operation) {
  CardResultLine line;
  line.Tail = " - " + std::string(operation);
  for (const CardResultText& known : kTexts) {
    if (known.Code != code) continue;
    line.Tail += known.Text;
    line.Colour = code == CardCode::Pass ? LogColour::Green : LogColour::Red;
    line.Result = code;
    return line;
  }
  line.Tail += kCardAckErrorText;
  return line;
}

void ReportCardResult(LogSink& log, int site, std::uint8_t& code, std::string_view operation) {
  const CardResultLine line = DecodeCardResult(code, operation);
  LogSite(log, site, line.Tail, line.Colour);
  code = line.Result;
}
