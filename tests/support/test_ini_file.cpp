// The INI layer: profile lookups, one-key writes that keep the rest of the text, and the
// integer rule for values from outside.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "support/ini_file.h"

namespace {

IniFile FromText(std::string_view text) {
  IniFile ini;
  ini.LoadText(text);
  return ini;
}

TEST(IniFileRead, NamesIgnoreLetterCaseAndFirstDuplicateWins) {
  const IniFile ini = FromText(
      "[Hardware]\r\nVDD_Max = 700\r\nvdd_max=9\r\n; comment=1\r\n[hardware]\r\nVIO_Max=650\r\n");
  EXPECT_EQ(ini.ReadString("HARDWARE", "vdd_MAX", "x"), "700");
  EXPECT_EQ(ini.ReadString("hardware", "VIO_MAX", "x"), "650");
  EXPECT_EQ(ini.ReadString("Hardware", "comment", "none"), "none");
  EXPECT_EQ(ini.ReadString("Other", "VDD_Max", "dflt"), "dflt");
  EXPECT_TRUE(ini.SectionExists("HARDWARE"));
  EXPECT_FALSE(ini.ValueExists("Hardware", "Missing"));
  EXPECT_EQ(ini.Keys("hardware").size(), 2u);
}

TEST(IniFileRead, ValuesAreTrimmedAndUnquoted) {
  const IniFile ini = FromText("[S]\nA=  some text  \nB=\"quoted  \"\nC=\nD='x'\n");
  EXPECT_EQ(ini.ReadString("S", "A", ""), "some text");
  EXPECT_EQ(ini.ReadString("S", "B", ""), "quoted  ");
  EXPECT_EQ(ini.ReadString("S", "C", "dflt"), "");
  EXPECT_EQ(ini.ReadString("S", "D", ""), "x");
}

TEST(IniFileRead, IntegerRuleRejectsWhatIsNoInteger) {
  const IniFile ini = FromText(
      "[S]\nDec=-42\nHex=0x1F\nDollar=$ff\nAllBits=0xFFFFFFFF\nText=12abc\nBlankInside=1 2\n"
      "Huge=99999999999999999999999\nBig32=4294967296\nU32=4294967295\nEmpty=\nSign=-\n"
      "Float=1.5\nPadded=  7  \n");
  EXPECT_EQ(ini.ReadInt32("S", "Dec"), -42);
  EXPECT_EQ(ini.ReadInt32("S", "Hex"), 31);
  EXPECT_EQ(ini.ReadInt32("S", "Dollar"), 255);
  EXPECT_EQ(ini.ReadInt32("S", "AllBits"), -1);
  EXPECT_EQ(ini.ReadInt32("S", "Padded"), 7);
  for (const char* key :
       {"Text", "BlankInside", "Huge", "Big32", "U32", "Empty", "Sign", "Float", "Absent"}) {
    EXPECT_FALSE(ini.ReadInt32("S", key).has_value()) << key;
    EXPECT_EQ(ini.ReadInteger("S", key, 17), 17) << key;
  }
  EXPECT_EQ(ini.ReadUInt32("S", "U32"), 4294967295u);
  EXPECT_EQ(ini.ReadUInt32("S", "Dec"), static_cast<std::uint32_t>(-42));
  EXPECT_FALSE(ini.ReadUInt32("S", "Big32").has_value());
  EXPECT_EQ(ini.ReadInt64("S", "Big32"), 4294967296LL);
  EXPECT_FALSE(ini.ReadInt64("S", "Huge").has_value());
}

TEST(IniFileRead, IntegerLimitsOf64Bits) {
  EXPECT_EQ(ParseIniInteger("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseIniInteger("-9223372036854775808"), INT64_MIN);
  EXPECT_FALSE(ParseIniInteger("9223372036854775808").has_value());
  EXPECT_FALSE(ParseIniInteger("-9223372036854775809").has_value());
  EXPECT_FALSE(ParseIniInteger("0x").has_value());
  EXPECT_FALSE(ParseIniInteger("--1").has_value());
  EXPECT_EQ(ParseIniInt32("-2147483648"), INT32_MIN);
  EXPECT_FALSE(ParseIniInt32("2147483648").has_value());
  EXPECT_FALSE(ParseIniUInt32("0x100000000").has_value());
}

TEST(IniFileRead, BoolsAreIntegersAndOtherSpellingsReadAsDefault) {
  const IniFile ini = FromText("[P]\nOn=1\nOff=0\nTwo=2\nWord=true\n");
  EXPECT_TRUE(ini.ReadBool("P", "On", false));
  EXPECT_FALSE(ini.ReadBool("P", "Off", true));
  EXPECT_TRUE(ini.ReadBool("P", "Two", false));
  EXPECT_FALSE(ini.ReadBool("P", "Word", false));
  EXPECT_TRUE(ini.ReadBool("P", "Word", true));
}

TEST(IniFileWrite, OneKeyChangesAndEveryOtherLineStays) {
  const std::string original =
      "; settings\r\n[System]\r\n  PowerLed_RetryCount = 4 \r\nMBoxClrSel=0\r\n\r\n"
      "[Other]\r\nx=1\r\n";
  IniFile ini = FromText(original);
  ASSERT_TRUE(ini.WriteString("SYSTEM", "powerled_retrycount", "7"));
  EXPECT_EQ(ini.Text(),
            "; settings\r\n[System]\r\n  PowerLed_RetryCount =7\r\nMBoxClrSel=0\r\n\r\n"
            "[Other]\r\nx=1\r\n");
  EXPECT_EQ(ini.ReadInteger("System", "PowerLed_RetryCount", 0), 7);

  ASSERT_TRUE(ini.WriteInteger("System", "MegLimitRows", 10000));  // new key: end of section
  EXPECT_EQ(ini.Text(),
            "; settings\r\n[System]\r\n  PowerLed_RetryCount =7\r\nMBoxClrSel=0\r\n"
            "MegLimitRows=10000\r\n\r\n[Other]\r\nx=1\r\n");
  ASSERT_TRUE(ini.WriteBool("New", "Flag", true));  // new section: end of text
  EXPECT_TRUE(ini.Text().ends_with("[Other]\r\nx=1\r\n[New]\r\nFlag=1\r\n"));
  EXPECT_TRUE(ini.ReadBool("new", "flag", false));
}

TEST(IniFileWrite, KeepsLineEndingsAndAMissingFinalBreak) {
  IniFile ini = FromText("[A]\nk=1");
  ASSERT_TRUE(ini.WriteString("A", "j", "2"));
  EXPECT_EQ(ini.Text(), "[A]\nk=1\nj=2\n");
  IniFile other = FromText("[A]\nk=1");
  ASSERT_TRUE(other.WriteString("A", "k", "5"));
  EXPECT_EQ(other.Text(), "[A]\nk=5");
}

TEST(IniFileWrite, RefusesTextThatWouldForgeLines) {
  IniFile ini = FromText("[A]\nk=1\n");
  EXPECT_FALSE(ini.WriteString("A", "k", "2\r\n[B]\r\nx=1"));
  EXPECT_FALSE(ini.WriteString("A", "a=b", "1"));
  EXPECT_FALSE(ini.WriteString("A]x", "k", "1"));
  EXPECT_FALSE(ini.WriteString("", "k", "1"));
  EXPECT_EQ(ini.Text(), "[A]\nk=1\n");
}

TEST(IniFileWrite, DeleteKeyAndFileRoundTrip) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("ini_rt_" + std::to_string(::getpid()) + ".ini"))
          .string();
  { std::ofstream(path, std::ios::binary) << "[S]\r\na=1\r\nb=2\r\n"; }
  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_TRUE(ini.DeleteKey("s", "A"));
  EXPECT_FALSE(ini.DeleteKey("s", "A"));
  ASSERT_TRUE(ini.WriteString("S", "c", "3"));
  ASSERT_TRUE(ini.Save());
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "[S]\r\nb=2\r\nc=3\r\n");
  std::filesystem::remove(path);
  IniFile missing;
  EXPECT_FALSE(missing.Load(path));
  EXPECT_EQ(missing.ReadString("S", "b", "d"), "d");
}

TEST(IniFileRobustness, GarbageNeverBreaksReadsOrWrites) {
  std::string garbage = "\xEF\xBB\xBF[Sec]\r\nk=\x01\x02\r\n[\r\n]=\r\n=v\r\n[Sec2\r\n";
  garbage += std::string("a\0b=1\r\n", 7);
  garbage += std::string(5000, '[') + "\n" + std::string(3000, '=') + "\r\r\n\n";
  IniFile ini = FromText(garbage);
  EXPECT_EQ(ini.ReadString("Sec", "k", "x"), "\x01\x02");
  ASSERT_TRUE(ini.WriteString("Sec", "k", "2"));
  EXPECT_EQ(ini.ReadInteger("Sec", "k", 0), 2);
  ASSERT_TRUE(ini.WriteString("Sec", "added", "3"));
  EXPECT_EQ(ini.ReadInteger("Sec", "added", 0), 3);
  EXPECT_TRUE(ini.Text().starts_with("\xEF\xBB\xBF[Sec]\r\nk=2\r\n"));
}

// Reads and writes must agree on which line holds a key, whatever the text: after a write
// the key reads back as written and every other key keeps its value.
TEST(IniFileRobustness, WritesAgreeWithReadsOnRandomText) {
  std::mt19937 random(20261209);
  const std::string alphabet = "[]=;# \r\n\tabAB";
  const std::vector<std::string> names = {"a", "b", "A", "ab", " a", "b "};
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 120);
    for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    IniFile ini = FromText(text);
    std::map<std::pair<std::string, std::string>, std::string> before;
    for (const auto& section : ini.Sections()) {
      for (const auto& key : ini.Keys(section)) {
        before[{section, key}] = ini.ReadString(section, key, "?");
      }
    }
    const std::string section = names[random() % names.size()];
    const std::string key = names[random() % names.size()];
    ASSERT_TRUE(ini.WriteString(section, key, "v1")) << text;
    EXPECT_EQ(ini.ReadString(section, key, "?"), "v1") << "text: " << text;
    for (const auto& [where, value] : before) {
      if (IniNamesEqual(TrimIniBlanks(where.first), TrimIniBlanks(section)) &&
          IniNamesEqual(where.second, TrimIniBlanks(key))) {
        continue;
      }
      EXPECT_EQ(ini.ReadString(where.first, where.second, "?"), value) << "text: " << text;
    }
  }
}

}  // namespace
