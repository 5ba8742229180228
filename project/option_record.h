#pragma once
// The option record (file "Option" of an SD card project set): 25 unsigned 32-bit
// little-endian slots of the project's switches and the site-0 area lengths.
#include <array>
#include <cstddef>
#include <cstdint>

struct ProjectKeys;
struct SiteProcessPlan;

inline constexpr std::size_t kOptionSlots = 25;
inline constexpr std::size_t kOptionRecordSize = kOptionSlots * 4;
using OptionRecord = std::array<std::uint8_t, kOptionRecordSize>;

namespace OptionSlot {
inline constexpr std::size_t FirstFlag = 0;    // 0..15: the memory, socket and step flags
inline constexpr std::size_t MainLength = 16;  // low 32 bits
inline constexpr std::size_t ExtLength = 17;   // Ext1 + Ext2 + Ext3, low 32 bits
inline constexpr std::size_t IgnoreBadBlockRead = 18;
inline constexpr std::size_t IgnoreBadBlockErase = 19;
inline constexpr std::size_t IgnoreBadBlockProgram = 20;
inline constexpr std::size_t ICBlockStart = 21;
inline constexpr std::size_t ProcessBlocks = 22;
inline constexpr std::size_t UsingGroupDefine = 23;
inline constexpr std::size_t PreBlankCheck = 24;
}  // namespace OptionSlot

// `plan` is the process plan of site index 0. "ICBlockStart" and "ProcessBlocks" that are no
// integers give 0.
OptionRecord BuildOptionRecord(const ProjectKeys& keys, const SiteProcessPlan& plan);
