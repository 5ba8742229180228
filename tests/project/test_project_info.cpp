// The project's keys as a load reads them, the information text, the group-define table and
// the option record: the file formats of a project that need no archive.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include <fstream>

#include "project/group_define.h"
#include "project/option_record.h"
#include "project/project_info.h"
#include "project/project_keys.h"
#include "project/project_value.h"
#include "support/ini_file.h"
#include "support/named_lock.h"

namespace {
IniFile IniOf(const std::string& text) {
  IniFile ini;
  ini.LoadText(text);
  return ini;
}

std::uint32_t SlotOf(const OptionRecord& record, std::size_t slot) {
  return static_cast<std::uint32_t>(record[slot * 4]) | record[slot * 4 + 1] << 8 |
         record[slot * 4 + 2] << 16 | static_cast<std::uint32_t>(record[slot * 4 + 3]) << 24;
}
}  // namespace

TEST(ProjectKeys, TableHasTheFortyNineKeysInOrder) {
  ASSERT_EQ(kProjectKeys.size(), 49u);
  EXPECT_STREQ(kProjectKeys.front().name, "MachineName");
  EXPECT_STREQ(kProjectKeys[24].name, "Manufacturer");
  EXPECT_STREQ(kProjectKeys[40].name, "UsingGroupDefine");
  EXPECT_STREQ(kProjectKeys.back().name, "PreBlankCheck");
}

TEST(ProjectKeys, DefaultsForAbsentKeysAndValuesThatAreNoIntegers) {
  ProjectKeys keys;
  keys.Author = "old";
  keys.IDCheck = false;
  ReadProjectKeys(IniOf("[ProjectInfo]\nIDCheck=yes\nEraseCheck=0\nExt1MeMCheck=1\n"
                        "ChecksumType=abc\nSupportNumber=12\nHdcpStartAddr=0x10\n"
                        "Manufacturer= Zanvo \n"),
                  keys);
  EXPECT_EQ(keys.Author, "0");  // absent text: "0"
  EXPECT_TRUE(keys.IDCheck);    // "yes" is no integer: the flag's default
  EXPECT_FALSE(keys.EraseCheck);
  EXPECT_TRUE(keys.Ext1MeMCheck);
  EXPECT_EQ(keys.ChecksumType, 0);
  EXPECT_EQ(keys.SupportNumber, 12);
  EXPECT_EQ(keys.HdcpStartAddr, 16);
  EXPECT_EQ(keys.Manufacturer, "Zanvo");
}

TEST(ProjectKeys, WrittenKeysReadBackUnchanged) {
  ProjectKeys keys;
  keys.Manufacturer = "Acme";
  keys.PartsNumber = "TK29C010";
  keys.ProtectCheck = false;
  keys.Ext3MeMCheck = true;
  keys.SupportNumber = -5;
  keys.Note = "two^lines";
  IniFile ini;
  ASSERT_TRUE(WriteProjectKeys(ini, keys));
  ProjectKeys read;
  ReadProjectKeys(IniOf(ini.Text()), read);
  EXPECT_EQ(read, keys);
  keys.Author = "line\nbreak";
  IniFile refused;
  EXPECT_FALSE(WriteProjectKeys(refused, keys));
}

TEST(ProjectKeys, IntegerTextsOfBlockKeys) {
  EXPECT_EQ(ProjectKeyInteger("12"), 12);
  EXPECT_EQ(ProjectKeyInteger(" -3 "), -3);
  EXPECT_EQ(ProjectKeyInteger("abc"), 0);
  EXPECT_EQ(ProjectKeyInteger("99999999999", 7), 7);
  EXPECT_EQ(ProjectKeyInteger("+-1"), 0);
}

TEST(ProjectInfoText, AllLabelsInOrder) {
  const IniFile ini = IniOf(
      "[ProjectInfo]\nAuthor=Ann\nDescription=first^second\nMachineName=M1\nPrjDateTime=T\n"
      "UIVer=1.2\nBIOSVer=B3\nDataBaseDate=D\nINIDate=I\nMenuDate=2024/01/05\n"
      "Manufacturer=Acme\nPartsNumber=P1\nSourcePath=C:/x.bin\nCheckSum=0x1234\n"
      "Procedure=Erase, Program\nNote=hello^world\n");
  EXPECT_EQ(ProjectInfoTextOf("demo.zvprj", ini),
            "Project Name: demo.zvprj\r\nAuthor: Ann\r\nDescription: first\r\nsecond"
            "\r\nMachine Name: M1\r\nProject DateTime: T\r\n\r\nSoftware Version: 1.2"
            "\r\nBIOS Version: B3\r\nDataBase Date: D\r\nDriver Date: I"
            "\r\nMenu Date: 2024/01/05\r\n\r\nManufacturer: Acme\r\nParts Number: P1"
            "\r\nSource Path: C:/x.bin\r\nChecksum: 0x1234\r\nProcedure: Erase, Program"
            "\r\n\r\nNote: hello\r\nworld");
}

TEST(ProjectInfoText, NoneNoteBlankDescriptionAndEmptyMenuDateAreLeftOut) {
  for (const char* note : {"none", "NONE", "None"}) {
    const std::string text = ProjectInfoTextOf(
        "p", IniOf(std::string("[ProjectInfo]\nDescription=  \nMenuDate=\nNote=") + note));
    EXPECT_EQ(text.find("Note:"), std::string::npos) << note;
    EXPECT_EQ(text.find("Description:"), std::string::npos);
    EXPECT_EQ(text.find("Menu Date:"), std::string::npos);
  }
  // Carets only: blank once they are line breaks.
  EXPECT_EQ(ProjectInfoTextOf("p", IniOf("[ProjectInfo]\nDescription=^^\n")).find("Description"),
            std::string::npos);
  // Absent keys read as "0", so they are shown.
  const std::string defaults = ProjectInfoTextOf("p", IniOf(""));
  EXPECT_NE(defaults.find("\r\nDescription: 0"), std::string::npos);
  EXPECT_NE(defaults.find("\r\n\r\nNote: 0"), std::string::npos);
}

TEST(ProjectInfoText, InformationFileMissing) {
  EXPECT_EQ(ProjectInfoTextOfFile("p", "/nonexistent/Info.meg"), "Project File Doesn't Exist!");
}

TEST(GroupDefine, WholeRecordsOnlyInFileOrder) {
  std::vector<std::uint8_t> bytes(40, 0);
  bytes[0] = 1;   // Parameter of record 0
  bytes[4] = 2;   // Start
  bytes[8] = 3;   // End
  bytes[12] = 4;  // Size
  bytes[16] = 0x78;
  bytes[17] = 0x56;
  bytes[18] = 0x34;
  bytes[19] = 0x12;
  bytes[31] = 0x80;  // Size of record 1, top byte
  const std::vector<GroupDefineEntry> entries = DecodeGroupDefine(bytes);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (GroupDefineEntry{1, 2, 3, 4}));
  EXPECT_EQ(entries[1], (GroupDefineEntry{0x12345678, 0, 0, 0x80000000}));
  EXPECT_EQ(EncodeGroupDefine(entries),
            std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 32));
  EXPECT_TRUE(DecodeGroupDefine(std::vector<std::uint8_t>(15, 0)).empty());
  EXPECT_EQ(GroupDefineLine(1, entries[1]),
            "[#1] Start = 0, End = 0, Size = 2147483648, Parameter = 305419896");
}

TEST(GroupDefine, FileReadUnderTheLockAndMissingFileGivesEmptyTable) {
  NamedLock lock;
  EXPECT_TRUE(ReadGroupDefineFile("/nonexistent/GrpDef.def", lock).empty());
  EXPECT_TRUE(lock.TryTake());  // released again after the failed read
  lock.Release();
  const std::string path =
      (std::filesystem::temp_directory_path() / ("grpdef_" + std::to_string(getpid()))).string();
  {
    std::ofstream file(path, std::ios::binary);
    file << std::string(40, '\x01');
  }
  EXPECT_EQ(ReadGroupDefineFile(path, lock).size(), 2u);
  EXPECT_TRUE(lock.TryTake());
  lock.Release();
  std::filesystem::remove(path);
}

TEST(OptionRecord, SlotsFromKeysAndSiteZeroPlan) {
  ProjectKeys keys;
  keys.MainMeMCheck = false;
  keys.Ext2MeMCheck = true;
  keys.Textool4Check = true;
  keys.CheckSumMode = false;
  keys.IgnoreBadBlockErase = true;
  keys.ICBlockStart = "12";
  keys.ProcessBlocks = "bad";
  keys.UsingGroupDefine = true;
  keys.PreBlankCheck = true;
  SiteProcessPlan plan;
  plan.MainLength = 0x1'0000'0010ull;  // only the low 32 bits are stored
  plan.ExtLength = 0x300;
  const OptionRecord record = BuildOptionRecord(keys, plan);
  const std::uint32_t flags[16] = {0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0};
  for (std::size_t slot = 0; slot < 16; ++slot)
    EXPECT_EQ(SlotOf(record, slot), flags[slot]) << slot;
  EXPECT_EQ(SlotOf(record, 16), 0x10u);
  EXPECT_EQ(SlotOf(record, 17), 0x300u);
  EXPECT_EQ(SlotOf(record, 18), 0u);
  EXPECT_EQ(SlotOf(record, 19), 1u);
  EXPECT_EQ(SlotOf(record, 20), 0u);
  EXPECT_EQ(SlotOf(record, 21), 12u);
  EXPECT_EQ(SlotOf(record, 22), 0u);
  EXPECT_EQ(SlotOf(record, 23), 1u);
  EXPECT_EQ(SlotOf(record, 24), 1u);
}
