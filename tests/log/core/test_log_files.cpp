// The log file helpers: row limit, file count of the save folder, automatic file names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>

#include "log/core/log_files.h"
#include "tests/support/calendar_time.h"

namespace fs = std::filesystem;

namespace {

class LogFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("zv_log_files_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Touch(const std::string& name) { std::ofstream(dir_ / name) << "x"; }

  fs::path dir_;
};

TEST(LogLimit, RowLimitIsClampedTo10000Through50000) {
  EXPECT_EQ(ClampLogLimitRows(5000), 10000);
  EXPECT_EQ(ClampLogLimitRows(-1), 10000);
  EXPECT_EQ(ClampLogLimitRows(10001), 10001);
  EXPECT_EQ(ClampLogLimitRows(49999), 49999);
  EXPECT_EQ(ClampLogLimitRows(60000), 50000);
}

TEST_F(LogFilesTest, CountsPlainFilesButNotSubFolders) {
  for (int i = 0; i < 12; ++i) Touch("log" + std::to_string(i) + ".TXT");
  fs::create_directory(dir_ / "sub1");
  fs::create_directory(dir_ / "sub2");
  std::ofstream(dir_ / "sub1" / "inner.TXT") << "not counted";
  EXPECT_EQ(CountFilesInDir(dir_), 12);
  EXPECT_EQ(CountFilesInDir(dir_ / "missing"), 0);
}

TEST_F(LogFilesTest, AutomaticNameTakesTimeAndNextNumber) {
  EXPECT_EQ(AutoLogFileName(CalendarTime(2015, 8, 5, 14, 3, 9), 13), "20150805_140309_13.TXT");
  EXPECT_EQ(AutoLogFileName(CalendarTime(2026, 12, 31, 0, 0, 0), 1), "20261231_000000_1.TXT");

  for (int i = 0; i < 12; ++i) Touch("old" + std::to_string(i));
  fs::create_directory(dir_ / "a");
  fs::create_directory(dir_ / "b");
  const auto path = FreeAutoLogPath(dir_, [] { return CalendarTime(2015, 8, 5, 14, 3, 9); });
  EXPECT_EQ(path, dir_ / "20150805_140309_13.TXT");
}

TEST_F(LogFilesTest, TakenNameIsBuiltAgainFromTheNextSecond) {
  Touch("20150805_140309_2.TXT");  // one file: the next number is 2, and that name is taken
  int calls = 0;
  const auto path =
      FreeAutoLogPath(dir_, [&calls] { return CalendarTime(2015, 8, 5, 14, 3, 9 + calls++ / 3); });
  EXPECT_EQ(path, dir_ / "20150805_140310_2.TXT");
  EXPECT_EQ(calls, 4);
}

TEST_F(LogFilesTest, ClockThatNeverMovesGivesUpWithEmptyPath) {
  Touch("20150805_140309_2.TXT");
  EXPECT_TRUE(FreeAutoLogPath(dir_, [] { return CalendarTime(2015, 8, 5, 14, 3, 9); }).empty());
}

}  // namespace
