#pragma once
// The unit's data buffer (SDRAM): sparse, a page is allocated on its first write and bytes
// never written read 0xFF, as erased memory does. Only the window the unit really has is
// addressable; the firmware refuses transfers that leave it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace sim {

namespace UnitAddress {
inline constexpr std::uint32_t MemoryBase = 0x20000000;
inline constexpr std::uint32_t MemorySize = 0x04000000;  // 64 MiB: 0x20000000 .. 0x23FFFFFF
inline constexpr std::uint32_t SettingsImage = 0x20000000;
inline constexpr std::uint32_t DataBuffer = 0x20000000;  // streamed data chunks land here
inline constexpr std::uint32_t DataBufferSize = 0x03C00000;
inline constexpr std::uint32_t DriverOption = 0x23C00000;
inline constexpr std::uint32_t ProcedureList = 0x23C10000;
inline constexpr std::uint32_t GroupDefine = 0x23C20000;
inline constexpr std::uint32_t FpgaImage = 0x23D20000;
inline constexpr std::uint32_t DriverImage = 0x23D60000;
inline constexpr std::uint32_t BadBlockTable = 0x23EA0000;
}  // namespace UnitAddress

// Not thread-safe by itself: the unit guards it with its own lock.
class UnitMemory {
 public:
  static constexpr std::size_t kPageSize = 0x10000;

  UnitMemory(std::uint32_t base = UnitAddress::MemoryBase,
             std::uint32_t size = UnitAddress::MemorySize);

  std::uint32_t base() const { return base_; }
  std::uint32_t size() const { return size_; }
  // True when [address, address + length) lies inside the window (length 0 included).
  bool contains(std::uint32_t address, std::uint64_t length) const;

  // Both return false (and do nothing) for a range outside the window.
  bool write(std::uint32_t address, std::span<const std::uint8_t> bytes);
  bool read(std::uint32_t address, std::span<std::uint8_t> out) const;
  bool fill(std::uint32_t address, std::uint64_t length, std::uint8_t value);
  std::vector<std::uint8_t> readVector(std::uint32_t address, std::size_t length) const;

  // The first address in [address, address + length) whose byte is not `value`.
  std::optional<std::uint32_t> firstNot(std::uint32_t address, std::uint64_t length,
                                        std::uint8_t value) const;

  // Drops every page: all bytes read 0xFF again.
  void clear();
  // The same for the reader, but the pages are kept for the next writes, so memory that is
  // erased and written again and again (a part's cells) does not allocate each time.
  void erase();
  std::size_t allocatedPages() const;

 private:
  using Page = std::array<std::uint8_t, kPageSize>;
  Page& pageFor(std::size_t index);

  std::uint32_t base_;
  std::uint32_t size_;
  std::vector<std::unique_ptr<Page>> pages_;
  std::vector<std::unique_ptr<Page>> spare_;  // erased pages, reused before new ones
};

}  // namespace sim
