#include "project/menu_file.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "project/database_path.h"
#include "support/ini_file.h"

namespace {
constexpr const char* kMenuDateKey = "Date";
constexpr const char* kMenuTotalKey = "Total";
constexpr const char* kComponentTotalKey = "ComponentTotal";
constexpr const char* kComponentTypeKey = "ComponentType";
constexpr const char* kValueTypeKey = "ValueType";
constexpr const char* kLengthKey = "Length";

// The page number of a section named "CurrentUserPage_" + n (n written as the loader writes
// it: decimal without leading zeros), or -1.
std::int64_t PageNumberOf(const std::string& section) {
  const std::string_view prefix = kMenuPagePrefix;
  if (section.size() <= prefix.size() ||
      !IniNamesEqual(std::string_view(section).substr(0, prefix.size()), prefix)) {
    return -1;
  }
  const std::string_view digits = std::string_view(section).substr(prefix.size());
  if (digits.size() > 1 && digits.front() == '0') return -1;
  std::int64_t number = -1;
  const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || ptr != digits.data() + digits.size() || number < 0) return -1;
  return number;
}

// Whether the packer stops at this component whatever the values are.
bool EndsPacking(const MenuComponent& component) {
  if (component.type < MenuComponentType::PackedInt0 ||
      component.type > MenuComponentType::Unpacked6) {
    return true;
  }
  if (component.type != MenuComponentType::ByValueType) return false;
  return !component.valueType || *component.valueType < MenuValueType::Low16 ||
         *component.valueType > MenuValueType::Unpacked;
}

std::vector<MenuComponent> ReadPage(const IniFile& menu, const std::string& section) {
  std::vector<MenuComponent> page;
  const std::int32_t total = menu.ReadInteger(section, kComponentTotalKey, -1);
  for (std::int32_t k = 0; k < total; ++k) {
    const std::string index = std::to_string(k);
    MenuComponent component;
    component.type = menu.ReadInteger(section, kComponentTypeKey + index, -1);
    if (menu.ValueExists(section, kValueTypeKey + index)) {
      component.valueType = menu.ReadInteger(section, kValueTypeKey + index, -1);
    }
    component.length = menu.ReadInteger(section, kLengthKey + index, kMenuDefaultTextLength);
    page.push_back(component);
    if (EndsPacking(component)) break;
  }
  return page;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}
}  // namespace

MenuLayout ReadMenuLayout(const IniFile& menu) {
  MenuLayout layout;
  layout.date = menu.ReadString(kMenuMainSection, kMenuDateKey, "0");
  const std::int32_t total = menu.ReadInteger(kMenuMainSection, kMenuTotalKey, 0);
  // Only the page sections present can hold components; visiting them in page order
  // packs the same as counting through every number below "Total".
  std::set<std::int64_t> numbers;
  for (const std::string& section : menu.Sections()) {
    const std::int64_t number = PageNumberOf(section);
    if (number >= 0 && number < total) numbers.insert(number);
  }
  for (const std::int64_t number : numbers) {
    std::vector<MenuComponent> page = ReadPage(menu, kMenuPagePrefix + std::to_string(number));
    if (!page.empty()) layout.pages.push_back(std::move(page));
  }
  return layout;
}

std::string MenuPackMessage(MenuPackResult result) {
  switch (result) {
    case MenuPackResult::Ok:
    case MenuPackResult::MissingValueType:
      return {};
    // A line that is no number where one belongs: the values were saved for another menu.
    case MenuPackResult::ValuesExhausted:
    case MenuPackResult::ValueNotNumber:
      return MenuMessage::IncorrectArchive;
    case MenuPackResult::BadComponentType:
      return MenuMessage::ComponentError;
    case MenuPackResult::BadValueType:
      return MenuMessage::ParameterError;
    case MenuPackResult::RecordOverflow:
      return MenuMessage::RecordTooLarge;
  }
  return {};
}

bool IsNoMenu(const std::string& menuFile) {
  return IniNamesEqual(menuFile, "NONE");
}

bool BuildMenuRecord(const std::string& baseDir, const std::string& menuFile,
                     const std::string& valuesPath, const MessageBoxFn& box, MenuRecord& record) {
  if (IsNoMenu(menuFile)) return true;
  const std::optional<std::string> menuPath = FindInFolder(baseDir + "DataBase/Menu", menuFile);
  std::error_code error;
  IniFile menu;
  if (!menuPath || !std::filesystem::is_regular_file(*menuPath, error) || !menu.Load(*menuPath)) {
    ShowErrorBox(box, MenuMessage::FileMissing);
    return false;
  }
  std::string values;
  if (!ReadWholeFile(valuesPath, values)) {
    ShowErrorBox(box, MenuMessage::ValuesMissing);
    return false;
  }
  const MenuPackResult result =
      PackMenuRecord(ReadMenuLayout(menu), SplitValueLines(values), record);
  if (result == MenuPackResult::Ok) return true;
  const std::string message = MenuPackMessage(result);
  if (!message.empty()) ShowErrorBox(box, message);
  return false;
}
