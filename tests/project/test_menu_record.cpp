// Packing of the menu record: every component and value type, the values file running out,
// bad numbers, the record's size limit, and the menu file's pages as the loader reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "project/menu_file.h"
#include "project/menu_record.h"
#include "support/ini_file.h"

namespace {
MenuComponent Component(std::int32_t type, std::optional<std::int32_t> valueType = std::nullopt,
                        std::int32_t length = kMenuDefaultTextLength) {
  return MenuComponent{type, valueType, length};
}

struct Packed {
  MenuPackResult result;
  MenuRecord record;
};

Packed Pack(std::vector<MenuComponent> page, std::vector<std::string> lines) {
  Packed packed{};
  MenuLayout layout;
  layout.pages.push_back(std::move(page));
  packed.result = PackMenuRecord(layout, lines, packed.record);
  return packed;
}

std::vector<std::uint8_t> Head(const MenuRecord& record, std::size_t count) {
  return {record.begin(), record.begin() + static_cast<std::ptrdiff_t>(count)};
}

MenuLayout LayoutOf(const std::string& text) {
  IniFile ini;
  ini.LoadText(text);
  return ReadMenuLayout(ini);
}
}  // namespace

TEST(MenuRecordPacking, EmptyMenuLeavesTheWholeRecordPresetToFF) {
  MenuRecord record;
  record.fill(0x00);
  EXPECT_EQ(PackMenuRecord(MenuLayout{}, {}, record), MenuPackResult::Ok);
  for (const std::uint8_t byte : record) ASSERT_EQ(byte, 0xFF);
}

TEST(MenuRecordPacking, EachValueTypePacksItsWidthLittleEndianWithoutGaps) {
  const Packed packed = Pack({Component(0), Component(2, 0), Component(2, 1), Component(2, 2),
                              Component(1), Component(2, 3), Component(4)},
                             {"305419896", "70000", "-1", "258", "7", "65535", "16"});
  ASSERT_EQ(packed.result, MenuPackResult::Ok);
  const std::vector<std::uint8_t> expected = {
      0x78, 0x56, 0x34, 0x12,              // 0x12345678, component type 0
      0x70, 0x11,                          // 70000 = 0x11170: its low 16 bits
      0xFF, 0xFF, 0xFF, 0xFF,              // -1 as 32 bits
      0x02, 0x01, 0x00, 0x00, 0x00, 0x00,  // 258 in a 6-byte field
      0x07, 0x00, 0x00, 0x00,              // type 1
      0xFF, 0xFF,                          // value type 3: 16 bits
      0x10, 0x00, 0x00, 0x00,              // type 4
      0xFF};                               // untouched rest of the record
  EXPECT_EQ(Head(packed.record, expected.size()), expected);
}

TEST(MenuRecordPacking, EveryNumericValueTypeHasItsOwnWidth) {
  struct Case {
    std::int32_t valueType;
    std::size_t width;
  };
  const Case cases[] = {{0, 2}, {1, 4}, {2, 6}, {3, 2}, {4, 4}, {5, 6}};
  for (const Case& c : cases) {
    // The value, then a marker component: its first byte shows where the value ended.
    const Packed packed = Pack({Component(2, c.valueType), Component(0)}, {"16909060", "170"});
    ASSERT_EQ(packed.result, MenuPackResult::Ok) << c.valueType;
    const std::vector<std::uint8_t> value = {0x04, 0x03, 0x02, 0x01};  // 0x01020304
    for (std::size_t i = 0; i < std::min<std::size_t>(c.width, 4); ++i) {
      EXPECT_EQ(packed.record[i], value[i]) << c.valueType << " byte " << i;
    }
    EXPECT_EQ(packed.record[c.width], 170) << c.valueType;
    EXPECT_EQ(packed.record[c.width + 4], 0xFF) << c.valueType;
  }
}

TEST(MenuRecordPacking, TextFieldsTakeLengthBytesCutOrZeroFilled) {
  const Packed packed =
      Pack({Component(2, 6, 4), Component(2, 6, 3), Component(2, 6)}, {"ABCDEFG", "XY", "T"});
  ASSERT_EQ(packed.result, MenuPackResult::Ok);
  std::vector<std::uint8_t> expected = {'A', 'B', 'C', 'D', 'X', 'Y', 0x00, 'T'};
  expected.resize(4 + 3 + 16, 0x00);
  expected.push_back(0xFF);
  EXPECT_EQ(Head(packed.record, expected.size()), expected);
}

TEST(MenuRecordPacking, ComponentsWithoutValueTakeNoLine) {
  const Packed packed =
      Pack({Component(3), Component(0), Component(5), Component(2, 7), Component(6), Component(0)},
           {"1", "2"});
  ASSERT_EQ(packed.result, MenuPackResult::Ok);
  EXPECT_EQ(Head(packed.record, 9), (std::vector<std::uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 0xFF}));
}

TEST(MenuRecordPacking, RunningOutOfLinesFailsAlsoForComponentsThatTakeNone) {
  EXPECT_EQ(Pack({Component(0), Component(3)}, {"1"}).result, MenuPackResult::ValuesExhausted);
  EXPECT_EQ(Pack({Component(0), Component(2, 7)}, {"1"}).result, MenuPackResult::ValuesExhausted);
  EXPECT_EQ(Pack({Component(0), Component(0)}, {"1"}).result, MenuPackResult::ValuesExhausted);
  EXPECT_EQ(Pack({Component(0)}, {"1"}).result, MenuPackResult::Ok);
}

TEST(MenuRecordPacking, BadTypesAndMissingValueTypeEndTheBuild) {
  EXPECT_EQ(Pack({Component(7)}, {"1"}).result, MenuPackResult::BadComponentType);
  EXPECT_EQ(Pack({Component(-1)}, {"1"}).result, MenuPackResult::BadComponentType);
  EXPECT_EQ(Pack({Component(2, 8)}, {"1"}).result, MenuPackResult::BadValueType);
  EXPECT_EQ(Pack({Component(2, -1)}, {"1"}).result, MenuPackResult::BadValueType);
  EXPECT_EQ(Pack({Component(2)}, {"1"}).result, MenuPackResult::MissingValueType);
  EXPECT_EQ(Pack({Component(2, 6, -1)}, {"1"}).result, MenuPackResult::BadValueType);
  EXPECT_EQ(MenuPackMessage(MenuPackResult::MissingValueType), "");
  EXPECT_EQ(MenuPackMessage(MenuPackResult::BadComponentType), "Menu Component Error!");
  EXPECT_EQ(MenuPackMessage(MenuPackResult::BadValueType), "Menu Parameter Error!");
}

TEST(MenuRecordPacking, LinesThatAreNoDecimalNumberAreRefused) {
  for (const char* line : {"", "abc", "12a", "0x10", "1 2", "+-3", "4294967296", "-2147483649"}) {
    EXPECT_EQ(Pack({Component(0)}, {line}).result, MenuPackResult::ValueNotNumber) << line;
  }
  EXPECT_EQ(Pack({Component(2, 6)}, {"abc"}).result, MenuPackResult::Ok);  // a text is a text
  EXPECT_EQ(ParseMenuNumber(" 42 "), 42u);
  EXPECT_EQ(ParseMenuNumber("+7"), 7u);
  EXPECT_EQ(ParseMenuNumber("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseMenuNumber("-2147483648"), 0x80000000u);
  EXPECT_EQ(MenuPackMessage(MenuPackResult::ValueNotNumber),
            MenuPackMessage(MenuPackResult::ValuesExhausted));
}

TEST(MenuRecordPacking, NeverWritesPastTheRecord) {
  // 16384 32-bit values fill the record exactly; one more byte is refused.
  std::vector<MenuComponent> page(kMenuRecordSize / 4, Component(0));
  std::vector<std::string> lines(page.size(), "1");
  EXPECT_EQ(Pack(page, lines).result, MenuPackResult::Ok);
  page.push_back(Component(2, 0));
  lines.push_back("1");
  EXPECT_EQ(Pack(page, lines).result, MenuPackResult::RecordOverflow);
  EXPECT_EQ(Pack({Component(2, 6, 65537)}, {"x"}).result, MenuPackResult::RecordOverflow);
  EXPECT_EQ(Pack({Component(2, 6, 65536)}, {"x"}).result, MenuPackResult::Ok);
}

TEST(MenuValueLines, LineBreaksOfEitherKindAndNoExtraLineAtTheEnd) {
  EXPECT_EQ(SplitValueLines("1\r\n2\n3"), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(SplitValueLines("1\r\n"), (std::vector<std::string>{"1"}));
  EXPECT_EQ(SplitValueLines("1\r\n\r\n"), (std::vector<std::string>{"1", ""}));
  EXPECT_EQ(SplitValueLines("1\r2\r\n\n3\r"), (std::vector<std::string>{"1", "2", "", "3"}));
  EXPECT_TRUE(SplitValueLines("").empty());
}

TEST(MenuFileLayout, PagesInNumberOrderBelowTotalWithKeyDefaults) {
  const MenuLayout layout = LayoutOf(
      "[CurrentUserPage]\nTotal=2\nDate=2024/01/05\n"
      "[CurrentUserPage_1]\nComponentTotal=1\nComponentType0=2\nValueType0=6\n"
      "[CurrentUserPage_0]\nComponentTotal=2\nComponentType0=0\nComponentType1=3\n"
      "[CurrentUserPage_2]\nComponentTotal=1\nComponentType0=0\n");
  EXPECT_EQ(layout.date, "2024/01/05");
  ASSERT_EQ(layout.pages.size(), 2u);  // page 2 is not below Total
  ASSERT_EQ(layout.pages[0].size(), 2u);
  EXPECT_EQ(layout.pages[0][1].type, 3);
  ASSERT_EQ(layout.pages[1].size(), 1u);
  EXPECT_EQ(layout.pages[1][0].valueType, 6);
  EXPECT_EQ(layout.pages[1][0].length, 16);
  EXPECT_FALSE(layout.pages[0][0].valueType.has_value());
}

TEST(MenuFileLayout, HugeCountsCostOnlyWhatTheFileHolds) {
  const MenuLayout layout = LayoutOf(
      "[CurrentUserPage]\nTotal=2147483647\n"
      "[CurrentUserPage_7]\nComponentTotal=2147483647\nComponentType0=0\nComponentType1=3\n"
      "[CurrentUserPage_07]\nComponentTotal=1\nComponentType0=0\n");
  ASSERT_EQ(layout.pages.size(), 1u);  // "_07" is not how page 7 is named
  // Two real components and the first missing one, which ends the build.
  ASSERT_EQ(layout.pages[0].size(), 3u);
  EXPECT_EQ(layout.pages[0][2].type, -1);
}
