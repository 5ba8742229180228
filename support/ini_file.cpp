#include "support/ini_file.h"

// Bytes stay bytes: names compare by ASCII letter case only, values are not re-encoded.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
// SimpleIni's notion of white space, used where the line finder must agree with its parser.
bool IsIniSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && IsIniSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsIniSpace(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A line's content without its terminator (LF, CR LF or a lone CR).
std::string_view Content(const std::string& line) {
  std::string_view view(line);
  if (!view.empty() && view.back() == '\n') view.remove_suffix(1);
  if (!view.empty() && view.back() == '\r') view.remove_suffix(1);
  return view;
}

bool HasTerminator(const std::string& line) {
  return !line.empty() && (line.back() == '\n' || line.back() == '\r');
}

// What one line is, by the same rules as SimpleIni's parser.
struct LineKind {
  enum { Other, Section, Key } Kind = Other;
  std::string_view Name;       // section or key name, trimmed
  std::size_t ValueStart = 0;  // key lines: offset just after '='
};

LineKind Classify(std::string_view content) {
  LineKind kind;
  std::string_view text = content;
  std::size_t lead = 0;
  while (lead < text.size() && IsIniSpace(text[lead])) ++lead;
  text.remove_prefix(lead);
  if (text.empty() || text.front() == ';' || text.front() == '#') return kind;
  if (text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return kind;
    kind.Kind = LineKind::Section;
    kind.Name = TrimSpace(text.substr(1, close - 1));
    return kind;
  }
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos || eq == 0) return kind;
  kind.Kind = LineKind::Key;
  kind.Name = TrimSpace(text.substr(0, eq));
  kind.ValueStart = lead + eq + 1;
  return kind;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::string_view TrimIniBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IniNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::optional<std::int64_t> ParseIniInteger(std::string_view text) {
  text = TrimIniBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Parsed as unsigned magnitude so that the most negative value is reachable.
  std::uint64_t magnitude = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, magnitude, base);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int64_t>::max();
  if (negative) {
    if (magnitude > kMaxPositive + 1) return std::nullopt;
    return magnitude == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                         : -static_cast<std::int64_t>(magnitude);
  }
  if (magnitude > kMaxPositive) return std::nullopt;
  return static_cast<std::int64_t>(magnitude);
}

namespace {
bool IsHexForm(std::string_view text) {
  text = TrimIniBlanks(text);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return text.starts_with("0x") || text.starts_with("0X") || text.starts_with("$");
}
}  // namespace

std::optional<std::uint32_t> ParseIniUInt32(std::string_view text) {
  const auto value = ParseIniInteger(text);
  if (!value) return std::nullopt;
  if (IsHexForm(text)) {
    if (*value > 0xFFFFFFFFLL || *value < -0xFFFFFFFFLL) return std::nullopt;
  } else if (*value > 0xFFFFFFFFLL || *value < std::numeric_limits<std::int32_t>::min()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(*value) & 0xFFFFFFFFu);
}

std::optional<std::int32_t> ParseIniInt32(std::string_view text) {
  const auto value = ParseIniInteger(text);
  if (!value) return std::nullopt;
  if (IsHexForm(text)) {
    const auto bits = ParseIniUInt32(text);
    if (!bits) return std::nullopt;
    return static_cast<std::int32_t>(*bits);
  }
  if (*value > std::numeric_limits<std::int32_t>::max() ||
      *value < std::numeric_limits<std::int32_t>::min()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*value);
}

struct IniFile::Parsed {
  CSimpleIniA ini{false, true, false};  // not UTF-8 converted, duplicate keys kept, one-line values
};

IniFile::IniFile() : parsed_(std::make_unique<Parsed>()) {}
IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

bool IniFile::Load(const std::string& path) {
  path_ = path;
  std::error_code ec;
  std::ifstream in;
  if (std::filesystem::is_regular_file(path, ec)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    LoadText({});
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    LoadText({});
    return false;
  }
  LoadText(buffer.str());
  return true;
}

void IniFile::LoadText(std::string_view text) {
  lines_.clear();
  eol_ = "\r\n";
  std::string current;
  bool eolChosen = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A NUL would end SimpleIni's parse early; as a blank it keeps both views of the text alike.
    const char c = text[i] == '\0' ? ' ' : text[i];
    current.push_back(c);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      current.push_back('\n');
      ++i;
    }
    if (c == '\r' || c == '\n') {
      if (!eolChosen) {
        eol_ = current.ends_with("\r\n") ? "\r\n" : std::string(1, c);
        eolChosen = true;
      }
      lines_.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) lines_.push_back(std::move(current));
  Reparse();
}

void IniFile::Reparse() {
  // SimpleIni gets each line alone, and only the lines the line finder takes for sections
  // and keys: a stray "[" could otherwise make it read across lines, and reads and writes
  // would then disagree about which line holds a key.
  std::string view;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view content = Content(lines_[i]);
    if (i == 0 && content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());
    if (Classify(content).Kind != LineKind::Other) view += content;
    view += '\n';
  }
  parsed_ = std::make_unique<Parsed>();
  parsed_->ini.LoadData(view.data(), view.size());
}

std::string IniFile::Text() const {
  std::string text;
  for (const auto& line : lines_) text += line;
  return text;
}

bool IniFile::Save() const {
  return SaveAs(path_);
}

bool IniFile::SaveAs(const std::string& path) const {
  if (path.empty()) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const auto& line : lines_) out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.close();
  return !out.fail();
}

bool IniFile::SectionExists(std::string_view section) const {
  const std::string name(TrimSpace(section));
  return parsed_->ini.GetSection(name.c_str()) != nullptr;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
  const std::string s(TrimSpace(section));
  const std::string k(TrimSpace(key));
  return parsed_->ini.GetValue(s.c_str(), k.c_str(), nullptr) != nullptr;
}

std::vector<std::string> IniFile::Sections() const {
  CSimpleIniA::TNamesDepend names;
  parsed_->ini.GetAllSections(names);
  names.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> out;
  for (const auto& entry : names) out.emplace_back(entry.pItem);
  return out;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
  const std::string s(TrimSpace(section));
  CSimpleIniA::TNamesDepend names;
  parsed_->ini.GetAllKeys(s.c_str(), names);
  names.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> out;
  for (const auto& entry : names) {
    const bool seen = std::any_of(out.begin(), out.end(), [&](const std::string& k) {
      return IniNamesEqual(k, entry.pItem);
    });
    if (!seen) out.emplace_back(entry.pItem);
  }
  return out;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
  const std::string s(TrimSpace(section));
  const std::string k(TrimSpace(key));
  const char* value = parsed_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
  if (value == nullptr) return std::string(def);
  return std::string(StripQuotes(TrimIniBlanks(value)));
}

std::optional<std::int32_t> IniFile::ReadInt32(std::string_view section,
                                               std::string_view key) const {
  if (!ValueExists(section, key)) return std::nullopt;
  return ParseIniInt32(ReadString(section, key, {}));
}

std::optional<std::uint32_t> IniFile::ReadUInt32(std::string_view section,
                                                 std::string_view key) const {
  if (!ValueExists(section, key)) return std::nullopt;
  return ParseIniUInt32(ReadString(section, key, {}));
}

std::optional<std::int64_t> IniFile::ReadInt64(std::string_view section,
                                               std::string_view key) const {
  if (!ValueExists(section, key)) return std::nullopt;
  return ParseIniInteger(ReadString(section, key, {}));
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t def) const {
  return ReadInt32(section, key).value_or(def);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  const auto value = ReadInt64(section, key);
  return value ? *value != 0 : def;
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  if (TrimSpace(section).empty() || section.find(']') != std::string_view::npos) return false;
  if (TrimSpace(key).empty() || key.find('=') != std::string_view::npos) return false;

  std::string inSection;  // name of the section the scan is in ("" before the first)
  bool sectionSeen = false;
  std::size_t insertAt = lines_.size();  // after the last key line of the wanted section
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::string_view full = Content(lines_[i]);
    const std::size_t bom = (i == 0 && full.starts_with(kUtf8Bom)) ? kUtf8Bom.size() : 0;
    const LineKind kind = Classify(full.substr(bom));
    if (kind.Kind == LineKind::Section) {
      inSection = std::string(kind.Name);
      if (IniNamesEqual(inSection, TrimSpace(section))) {
        sectionSeen = true;
        insertAt = i + 1;
      }
      continue;
    }
    if (kind.Kind != LineKind::Key || !sectionSeen ||
        !IniNamesEqual(inSection, TrimSpace(section))) {
      continue;
    }
    if (IniNamesEqual(kind.Name, TrimSpace(key))) {
      std::string& line = lines_[i];
      const std::string terminator = line.substr(full.size());
      line = line.substr(0, bom + kind.ValueStart) + std::string(value) + terminator;
      Reparse();
      return true;
    }
    insertAt = i + 1;
  }

  std::vector<std::string> added;
  if (!sectionSeen) added.push_back("[" + std::string(TrimSpace(section)) + "]" + eol_);
  added.push_back(std::string(TrimSpace(key)) + "=" + std::string(value) + eol_);
  if (insertAt == lines_.size() && !lines_.empty() && !HasTerminator(lines_.back())) {
    lines_.back() += eol_;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), added.begin(), added.end());
  Reparse();
  return true;
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, std::int64_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
  std::string inSection;
  bool removed = false;
  for (std::size_t i = 0; i < lines_.size();) {
    std::string_view content = Content(lines_[i]);
    if (i == 0 && content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());
    const LineKind kind = Classify(content);
    if (kind.Kind == LineKind::Section) inSection = std::string(kind.Name);
    if (kind.Kind == LineKind::Key && IniNamesEqual(inSection, TrimSpace(section)) &&
        IniNamesEqual(kind.Name, TrimSpace(key))) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
      continue;
    }
    ++i;
  }
  if (removed) Reparse();
  return removed;
}
