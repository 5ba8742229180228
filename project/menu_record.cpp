#include "project/menu_record.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {
constexpr std::size_t kField6Size = 6;

// Writes values one after another and refuses to run past the record's end.
class RecordWriter {
 public:
  explicit RecordWriter(MenuRecord& record) : record_(record) {}

  bool PutLittleEndian(std::uint32_t value, std::size_t bytes) {
    if (!Fits(bytes)) return false;
    for (std::size_t i = 0; i < bytes; ++i) {
      record_[pos_++] = i < 4 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0;
    }
    return true;
  }

  // The text's first `length` bytes; a shorter text is followed by zero bytes.
  bool PutText(const std::string& text, std::size_t length) {
    if (!Fits(length)) return false;
    const std::size_t copied = std::min(length, text.size());
    std::copy_n(text.begin(), copied, record_.begin() + static_cast<std::ptrdiff_t>(pos_));
    std::fill_n(record_.begin() + static_cast<std::ptrdiff_t>(pos_ + copied), length - copied, 0);
    pos_ += length;
    return true;
  }

 private:
  bool Fits(std::size_t bytes) const { return bytes <= record_.size() - pos_; }

  MenuRecord& record_;
  std::size_t pos_ = 0;
};

MenuPackResult PackNumber(const std::string& line, std::size_t bytes, RecordWriter& writer) {
  const std::optional<std::uint32_t> value = ParseMenuNumber(line);
  if (!value) return MenuPackResult::ValueNotNumber;
  return writer.PutLittleEndian(*value, bytes) ? MenuPackResult::Ok
                                               : MenuPackResult::RecordOverflow;
}

MenuPackResult PackByValueType(const MenuComponent& component, const std::string& line,
                               bool& consumed, RecordWriter& writer) {
  if (!component.valueType) return MenuPackResult::MissingValueType;
  consumed = true;
  switch (*component.valueType) {
    case MenuValueType::Low16:
    case MenuValueType::Low16B:
      return PackNumber(line, 2, writer);
    case MenuValueType::Int32:
    case MenuValueType::Int32B:
      return PackNumber(line, 4, writer);
    case MenuValueType::Field6:
    case MenuValueType::Field6B:
      return PackNumber(line, kField6Size, writer);
    case MenuValueType::Text:
      if (component.length < 0) return MenuPackResult::BadValueType;
      return writer.PutText(line, static_cast<std::size_t>(component.length))
                 ? MenuPackResult::Ok
                 : MenuPackResult::RecordOverflow;
    case MenuValueType::Unpacked:
      consumed = false;
      return MenuPackResult::Ok;
    default:
      return MenuPackResult::BadValueType;
  }
}

// Packs one component; `consumed` tells whether it used up the line.
MenuPackResult PackComponent(const MenuComponent& component, const std::string& line,
                             bool& consumed, RecordWriter& writer) {
  consumed = false;
  switch (component.type) {
    case MenuComponentType::PackedInt0:
    case MenuComponentType::PackedInt1:
    case MenuComponentType::PackedInt4:
      consumed = true;
      return PackNumber(line, 4, writer);
    case MenuComponentType::ByValueType:
      return PackByValueType(component, line, consumed, writer);
    case MenuComponentType::Unpacked3:
    case MenuComponentType::Unpacked5:
    case MenuComponentType::Unpacked6:
      return MenuPackResult::Ok;
    default:
      return MenuPackResult::BadComponentType;
  }
}
}  // namespace

MenuPackResult PackMenuRecord(const MenuLayout& layout, const std::vector<std::string>& lines,
                              MenuRecord& record) {
  record.fill(0xFF);
  RecordWriter writer(record);
  std::size_t next = 0;
  for (const std::vector<MenuComponent>& page : layout.pages) {
    for (const MenuComponent& component : page) {
      // Checked for every component, also those that take no line: a values file that
      // ends early belongs to an older menu.
      if (next >= lines.size()) return MenuPackResult::ValuesExhausted;
      bool consumed = false;
      const MenuPackResult result = PackComponent(component, lines[next], consumed, writer);
      if (result != MenuPackResult::Ok) return result;
      if (consumed) ++next;
    }
  }
  return MenuPackResult::Ok;
}

std::vector<std::string> SplitValueLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::optional<std::uint32_t> ParseMenuNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || text.front() == '+' || (plus && text.front() == '-')) return std::nullopt;
  std::int64_t value = 0;
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), last, value);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}
