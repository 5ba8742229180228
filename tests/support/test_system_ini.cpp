// Loading System.ini: defaults, the base-folder move, the mode fields; writes keep other lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/system_ini.h"

namespace fs = std::filesystem;

class SystemIniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("zv_sysini_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_ / "base" / "System");
    base_ = (root_ / "base").string() + "/";
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteIni(const std::string& base, const std::string& text) {
    std::ofstream(base + "System/System.ini", std::ios::binary) << text;
  }
  std::string ReadIni(const std::string& base) {
    std::ifstream in(base + "System/System.ini", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path root_;
  std::string base_;
};

TEST_F(SystemIniTest, MissingFileGivesEveryDefault) {
  fs::remove_all(root_ / "base" / "System");
  S_SystemPara para;
  para.ModeByte = 0;
  std::string base = base_;
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(base, base_);
  EXPECT_EQ(para.ExeDirPath, base_);
  EXPECT_EQ(para.ModeByte, 0xA3);
  EXPECT_EQ(para.PowerLed_RetryCount, 4);
  EXPECT_EQ(para.PowerLed_RetryDelayMS, 2);
  EXPECT_EQ(para.MBoxClrSel, 0);
  EXPECT_EQ(para.MegLimitRows, 10000);
  EXPECT_EQ(para.MegSaveDir, base_ + "History/MLOG");
  EXPECT_EQ(para.AutoRunInterval, 500);
  EXPECT_EQ(para.DataBufferSel, 0);
  EXPECT_EQ(para.HandlerModeMarker, 0);
  EXPECT_EQ(para.LogDisplayMode, 1);
  EXPECT_EQ(PowerLedWord(para), 0x0204u);
}

TEST_F(SystemIniTest, ValuesAreReadAndBadOnesTakeDefaults) {
  WriteIni(base_,
           "[System]\r\nPowerLed_RetryCount=7\r\nPowerLed_RetryDelayMS=3\r\nMBoxClrSel=1\r\n"
           "MegLimitRows=20000\r\nMegSaveDir=/logs/here\r\nAutoRunInterval=1200\r\n"
           "LogDisplayMode=2\r\nDataBufferSel=1\r\n");
  S_SystemPara para;
  std::string base = base_;
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(PowerLedWord(para), 0x0307u);
  EXPECT_EQ(para.MBoxClrSel, 1);
  EXPECT_EQ(para.MegLimitRows, 20000);
  EXPECT_EQ(para.MegSaveDir, "/logs/here");
  EXPECT_EQ(para.AutoRunInterval, 1200);
  EXPECT_EQ(para.LogDisplayMode, 2);
  EXPECT_EQ(para.DataBufferSel, 0);  // the file's buffer selection is never read back

  WriteIni(base_, "[system]\nmegLIMITrows=lots\nAutoRunInterval=0\nLogDisplayMode=\n");
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(para.MegLimitRows, 10000);
  EXPECT_EQ(para.AutoRunInterval, 500);
  EXPECT_EQ(para.LogDisplayMode, 1);
  WriteIni(base_, "[System]\nAutoRunInterval=-40\n");
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(para.AutoRunInterval, 500);
}

TEST_F(SystemIniTest, HandlerModeDecidesTheBufferFields) {
  S_SystemPara para;
  std::string base = base_;
  LoadSystemIniFile(base, true, para);
  EXPECT_EQ(para.DataBufferSel, 1);
  EXPECT_EQ(para.HandlerModeMarker, 2012);
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(para.DataBufferSel, 0);
  EXPECT_EQ(para.HandlerModeMarker, 0);
}

TEST_F(SystemIniTest, ExeDirPathMovesTheBaseOnlyToAnExistingFolder) {
  fs::create_directories(root_ / "other" / "System");
  const std::string other = (root_ / "other").string();
  WriteIni(other + "/", "[System]\nMegLimitRows=30000\n");

  // A missing folder: the base stays and ExeDirPath takes its value.
  WriteIni(base_, "[System]\nExeDirPath=" + other + "/gone/\nMegLimitRows=15000\n");
  S_SystemPara para;
  std::string base = base_;
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(base, base_);
  EXPECT_EQ(para.ExeDirPath, base_);
  EXPECT_EQ(para.MegLimitRows, 15000);

  // An existing folder: every further key comes from the file below it.
  WriteIni(base_, "[System]\nExeDirPath=" + other + "\nMegLimitRows=15000\n");
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(base, other + "/");
  EXPECT_EQ(para.ExeDirPath, other);
  EXPECT_EQ(para.MegLimitRows, 30000);
  EXPECT_EQ(para.MegSaveDir, other + "/History/MLOG");
}

TEST_F(SystemIniTest, TrackPositionsStayOnTheirScales) {
  EXPECT_EQ(IntervalTrackPosition(500), 6);
  EXPECT_EQ(IntervalTrackPosition(5000), 96);
  EXPECT_EQ(IntervalTrackPosition(200), 0);
  EXPECT_EQ(IntervalTrackPosition(100), 0);  // below the scale: its low end, not the high one
  EXPECT_EQ(IntervalTrackPosition(99999), 96);
  EXPECT_EQ(IntervalOfPosition(96), 5000);
  EXPECT_EQ(LimitTrackPosition(10000), 0);
  EXPECT_EQ(LimitTrackPosition(5000), 0);
  EXPECT_EQ(LimitTrackPosition(50000), 8);
  EXPECT_EQ(LimitTrackPosition(60000), 8);
  EXPECT_EQ(LimitOfPosition(8), 50000);
  EXPECT_EQ(LimitOfPosition(0), 10000);
}

TEST_F(SystemIniTest, WriteChangesOneKeyAndKeepsEveryOtherLine) {
  WriteIni(base_,
           "; settings\r\n[System]\r\nExeDirPath=\r\nMBoxClrSel=0\r\nCustom=keep me\r\n"
           "[Other]\r\nMBoxClrSel=9\r\n");
  ASSERT_TRUE(WriteSystemIniInteger(base_, SystemIni::MBoxClrSel, 1));
  ASSERT_TRUE(WriteSystemIniString(base_, SystemIni::MegSaveDir, "/new/dir"));
  EXPECT_EQ(ReadIni(base_),
            "; settings\r\n[System]\r\nExeDirPath=\r\nMBoxClrSel=1\r\nCustom=keep me\r\n"
            "MegSaveDir=/new/dir\r\n[Other]\r\nMBoxClrSel=9\r\n");

  // A missing file is created; a missing System folder makes the write fail.
  fs::remove(base_ + "System/System.ini");
  ASSERT_TRUE(WriteSystemIniInteger(base_, SystemIni::AutoRunInterval, 5000));
  S_SystemPara para;
  std::string base = base_;
  LoadSystemIniFile(base, false, para);
  EXPECT_EQ(para.AutoRunInterval, 5000);
  EXPECT_FALSE(WriteSystemIniInteger((root_ / "nowhere").string() + "/", SystemIni::MBoxClrSel, 1));
  // A value that would forge a line is refused.
  EXPECT_FALSE(WriteSystemIniString(base_, SystemIni::MegSaveDir, "a\r\nExeDirPath=/x"));
}
