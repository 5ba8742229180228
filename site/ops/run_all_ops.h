#pragma once
// RUN ALL in PC mode (opcode 12): one run of the project's procedure on a site's unit, with
// the PC supplying the data image. The list, the driver options and the group-define table
// go first, the merge command starts the run, then the step loop follows the unit.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/frame_codes.h"
#include "site/ops/procedure_list.h"
#include "site/thread_info.h"

class SiteContext;

inline constexpr std::size_t kGroupDefineBlockBytes = 0x100000;
// Where each piece table sits in the group-define block; the file's head fills the rest.
namespace GroupDefineBlockOffset {
inline constexpr std::size_t StartBlock = 0x40000;
inline constexpr std::size_t End = 0x70000;
inline constexpr std::size_t BlockCount = 0xA0000;
inline constexpr std::size_t Parameter = 0xD0000;
}  // namespace GroupDefineBlockOffset

// The 1 MiB group-define block: the file's first bytes (at most 1 MiB), zeros after them, and
// the four piece tables over it (so only the file's first 256 KiB stay). Pure.
std::vector<std::uint8_t> GroupDefineBlock(std::span<const std::uint8_t> fileHead,
                                           const GroupDefinePieces& pieces);

// The 65536-byte menu record to the driver option address; " - Driver Option Send Fail!".
bool SendDriverOption(SiteContext& ctx);

// Reads the group-define file under the "GroupDefineHandleThread" lock and sends the block;
// " - Send Group Define File" with its Pass / Fail! lines.
bool SendGroupDefine(SiteContext& ctx, const std::string& path, const GroupDefinePieces& pieces);

// Starts the run (frame 0xA3). `length` 0 takes the plan's main plus Ext lengths. Only the
// acceptance is read: the steps' replies follow. " - Merge Command Send" and its Pass line, or
// " - Merge Command Error!".
SiteResult MergeCommand(SiteContext& ctx, std::uint32_t length, std::uint32_t value1,
                        std::uint32_t value2, bool groupDefine);

// The whole run, counted on the panel, in the statistics and in the per-part records.
SiteResult RunAll(SiteContext& ctx, const OperationTexts& texts = {});
