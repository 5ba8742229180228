#include "sim/unit_memory.h"

#include <algorithm>
#include <cstring>

namespace sim {

UnitMemory::UnitMemory(std::uint32_t base, std::uint32_t size)
    : base_(base), size_(size), pages_((size + kPageSize - 1) / kPageSize) {}

bool UnitMemory::contains(std::uint32_t address, std::uint64_t length) const {
  if (address < base_) return false;
  const std::uint64_t offset = address - base_;
  return offset <= size_ && length <= size_ - offset;
}

UnitMemory::Page& UnitMemory::pageFor(std::size_t index) {
  auto& page = pages_[index];
  if (!page) {
    if (spare_.empty()) {
      page = std::make_unique<Page>();
    } else {
      page = std::move(spare_.back());
      spare_.pop_back();
    }
    page->fill(0xFF);
  }
  return *page;
}

bool UnitMemory::write(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  if (!contains(address, bytes.size())) return false;
  std::size_t offset = address - base_;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t inPage = offset % kPageSize;
    const std::size_t n = std::min(kPageSize - inPage, bytes.size() - done);
    std::memcpy(pageFor(offset / kPageSize).data() + inPage, bytes.data() + done, n);
    done += n;
    offset += n;
  }
  return true;
}

bool UnitMemory::read(std::uint32_t address, std::span<std::uint8_t> out) const {
  if (!contains(address, out.size())) return false;
  std::size_t offset = address - base_;
  std::size_t done = 0;
  while (done < out.size()) {
    const std::size_t inPage = offset % kPageSize;
    const std::size_t n = std::min(kPageSize - inPage, out.size() - done);
    const auto& page = pages_[offset / kPageSize];
    if (page) {
      std::memcpy(out.data() + done, page->data() + inPage, n);
    } else {
      std::memset(out.data() + done, 0xFF, n);
    }
    done += n;
    offset += n;
  }
  return true;
}

bool UnitMemory::fill(std::uint32_t address, std::uint64_t length, std::uint8_t value) {
  if (!contains(address, length)) return false;
  std::size_t offset = address - base_;
  std::size_t left = static_cast<std::size_t>(length);
  while (left > 0) {
    const std::size_t inPage = offset % kPageSize;
    const std::size_t n = std::min(kPageSize - inPage, left);
    std::memset(pageFor(offset / kPageSize).data() + inPage, value, n);
    left -= n;
    offset += n;
  }
  return true;
}

std::vector<std::uint8_t> UnitMemory::readVector(std::uint32_t address, std::size_t length) const {
  std::vector<std::uint8_t> out(length, 0xFF);
  if (!read(address, out)) out.clear();
  return out;
}

std::optional<std::uint32_t> UnitMemory::firstNot(std::uint32_t address, std::uint64_t length,
                                                  std::uint8_t value) const {
  if (!contains(address, length)) return std::nullopt;
  std::uint64_t offset = address - base_;
  const std::uint64_t end = offset + length;
  while (offset < end) {
    const std::size_t inPage = offset % kPageSize;
    const std::uint64_t n = std::min<std::uint64_t>(kPageSize - inPage, end - offset);
    const auto& page = pages_[offset / kPageSize];
    if (page) {
      const auto* begin = page->data() + inPage;
      const auto* hit = std::find_if(begin, begin + n, [&](std::uint8_t b) { return b != value; });
      if (hit != begin + n) return static_cast<std::uint32_t>(base_ + offset + (hit - begin));
    } else if (value != 0xFF) {
      return static_cast<std::uint32_t>(base_ + offset);
    }
    offset += n;
  }
  return std::nullopt;
}

void UnitMemory::clear() {
  for (auto& page : pages_) page.reset();
  spare_.clear();
}

void UnitMemory::erase() {
  for (auto& page : pages_) {
    if (page) spare_.push_back(std::move(page));
  }
}

std::size_t UnitMemory::allocatedPages() const {
  return static_cast<std::size_t>(
      std::count_if(pages_.begin(), pages_.end(), [](const auto& p) { return p != nullptr; }));
}

}  // namespace sim
