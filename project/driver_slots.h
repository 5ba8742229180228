#pragma once
// The driver slots that the program itself interprets, and the key names that our order
// table "INIOrder.tab" (resources/) gives them. All other slots pass through to the units.
#include <cstddef>

namespace DriverSlot {
inline constexpr std::size_t PinLevelLow = 5;    // expected pin levels, bits 0..31
inline constexpr std::size_t PinLevelHigh = 6;   // expected pin levels, bits 32..63
inline constexpr std::size_t PinIgnoreLow = 7;   // pins not examined, bits 0..31
inline constexpr std::size_t PinIgnoreHigh = 8;  // pins not examined, bits 32..63
inline constexpr std::size_t AreaRanges = 25;    // 25..40: four ranges of four slots
inline constexpr std::size_t ShowErrorAddress = 73;
inline constexpr std::size_t ProgramNoUnProtect = 74;
inline constexpr std::size_t IDCheckSupport = 78;
inline constexpr std::size_t UnProtectNeeded = 81;
inline constexpr std::size_t TotalBlocks = 108;
inline constexpr std::size_t BlockLength = 113;
inline constexpr std::size_t InsertDetectSupport = 119;
inline constexpr std::size_t BlockOrganised = 166;  // nonzero: NAND part
inline constexpr std::size_t PinCount = 167;
inline constexpr std::size_t DataMask = 168;

// Area a (0 main, 1 Ext1, 2 Ext2, 3 Ext3): start high, start low, end high, end low.
inline constexpr std::size_t AreaStartHigh(std::size_t area) {
  return AreaRanges + 4 * area;
}
inline constexpr std::size_t AreaStartLow(std::size_t area) {
  return AreaRanges + 4 * area + 1;
}
inline constexpr std::size_t AreaEndHigh(std::size_t area) {
  return AreaRanges + 4 * area + 2;
}
inline constexpr std::size_t AreaEndLow(std::size_t area) {
  return AreaRanges + 4 * area + 3;
}
}  // namespace DriverSlot

// Key names of those slots in our order table (and so in the driver INIs of the database).
struct DriverSlotKey {
  std::size_t Slot;
  const char* Key;
};
inline constexpr DriverSlotKey kDriverSlotKeys[] = {
    {DriverSlot::PinLevelLow, "PinLevelLow"},
    {DriverSlot::PinLevelHigh, "PinLevelHigh"},
    {DriverSlot::PinIgnoreLow, "PinIgnoreLow"},
    {DriverSlot::PinIgnoreHigh, "PinIgnoreHigh"},
    {25, "MainStartHigh"},
    {26, "MainStartLow"},
    {27, "MainEndHigh"},
    {28, "MainEndLow"},
    {29, "Ext1StartHigh"},
    {30, "Ext1StartLow"},
    {31, "Ext1EndHigh"},
    {32, "Ext1EndLow"},
    {33, "Ext2StartHigh"},
    {34, "Ext2StartLow"},
    {35, "Ext2EndHigh"},
    {36, "Ext2EndLow"},
    {37, "Ext3StartHigh"},
    {38, "Ext3StartLow"},
    {39, "Ext3EndHigh"},
    {40, "Ext3EndLow"},
    {DriverSlot::ShowErrorAddress, "ShowErrorAddress"},
    {DriverSlot::ProgramNoUnProtect, "ProgramNoUnProtect"},
    {DriverSlot::IDCheckSupport, "IDCheckSupport"},
    {DriverSlot::UnProtectNeeded, "UnProtectNeeded"},
    {DriverSlot::TotalBlocks, "TotalBlocks"},
    {DriverSlot::BlockLength, "BlockLength"},
    {DriverSlot::InsertDetectSupport, "InsertDetectSupport"},
    {DriverSlot::BlockOrganised, "NandFlash"},
    {DriverSlot::PinCount, "PinCount"},
    {DriverSlot::DataMask, "DataMask"},
};
