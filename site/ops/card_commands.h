#pragma once
// The unit's SD card commands, one exchange each: busy refusal, start line, the command with
// its name packet, the reply awaited, its code decoded by ReportCardResult. No presence check
// follows a card command. Names travel in 8-byte fields: a directory or file name that is
// empty or longer is refused with 0xA5 before anything is sent.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;

inline constexpr std::size_t kCardNameMax = 8;
// The unit memory every piece passes through.
inline constexpr std::uint32_t kCardPieceAddress = 0x20000000;

namespace CardOpenMode {
inline constexpr std::uint8_t CreateNew = 8;    // the first piece makes the file anew
inline constexpr std::uint8_t OpenAlways = 16;  // later pieces open it (made if missing)
}  // namespace CardOpenMode

// True when `name` fits a name field (1 to 8 characters).
bool FitsCardName(std::string_view name);

SiteResult SdCardDetect(SiteContext& ctx, const OperationTexts& texts = {});
SiteResult SdCardTest(SiteContext& ctx, const OperationTexts& texts = {});
// On a pass the card's free KBytes go to SdFreeKBytes of the site's unit data and are logged.
SiteResult SdCardGetFreeSpace(SiteContext& ctx, const OperationTexts& texts = {});
SiteResult SdCreateDirectory(SiteContext& ctx, std::string_view directory);
// Without `report` nothing is logged and the card's code is returned as received.
SiteResult SdDeleteDirectory(SiteContext& ctx, std::string_view directory, bool report);
// `size` is copied from the reply whatever the code.
SiteResult SdGetFileSize(SiteContext& ctx, std::string_view directory, std::string_view file,
                         std::uint32_t& size);
// Card file piece to unit memory.
SiteResult SdReadData(SiteContext& ctx, std::string_view directory, std::string_view file,
                      std::uint32_t address, std::uint32_t offset, std::uint32_t length);
// Unit memory to card file piece; the card checks `byteSum` against the bytes it writes.
SiteResult SdWriteData(SiteContext& ctx, std::string_view directory, std::string_view file,
                       std::uint32_t address, std::uint32_t offset, std::uint32_t length,
                       std::uint8_t openMode, std::uint32_t byteSum);
