// The driver index "Select.SEL": groups of four lines, partial groups, "\" separators, the
// lookup rules, and the start-up load with its failure line.
#include <gtest/gtest.h>

#include <vector>

#include "log/core/log_sink.h"
#include "project/driver_index.h"
#include "tests/support/temp_folder.h"

namespace {

struct LogLine {
  std::string Text;
  std::uint32_t Colour;
};

class RecordingSink : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    lines.push_back({text, colour});
  }
  std::vector<LogLine> lines;
};

constexpr char kIndex[] =
    "Select list\r\n2026-12-01\r\n"
    "Alpha\r\nAX25F\r\nserial\r\nDataBase\\INI\\Alpha\\AX25F.ini\r\n"
    "Beta\r\nBP29\r\nparallel\r\nDataBase/INI/Beta/BP29.ini\r\n"
    "alpha\r\nAX24C\r\neeprom\r\nDataBase\\INI\\Alpha\\AX24C.ini\r\n";

TEST(DriverIndex, GroupsOfFourIntoFourParallelLists) {
  const DriverIndex index = ParseDriverIndex(kIndex);
  ASSERT_EQ(index.Count(), 3u);
  EXPECT_EQ(index.Manufacturers, (std::vector<std::string>{"Alpha", "Beta", "alpha"}));
  EXPECT_EQ(index.PartNames, (std::vector<std::string>{"AX25F", "BP29", "AX24C"}));
  EXPECT_EQ(index.ThirdLines[1], "parallel");
  EXPECT_EQ(index.IniPaths[0], "DataBase/INI/Alpha/AX25F.ini");  // "\" works as "/"
  EXPECT_EQ(index.IniPaths[1], "DataBase/INI/Beta/BP29.ini");
}

TEST(DriverIndex, FileEndingInsideAGroupKeepsTheWholeGroupsOnly) {
  const std::string cut = std::string(kIndex) + "Gamma\r\nG1\r\nnand\r\n";
  EXPECT_EQ(ParseDriverIndex(cut).Count(), 3u);
  EXPECT_EQ(ParseDriverIndex("head\nonly\n").Count(), 0u);
  EXPECT_EQ(ParseDriverIndex("").Count(), 0u);
  // LF-only files and a last line without a break read alike.
  const DriverIndex lf = ParseDriverIndex("h\nh\nM\nP\nx\nDataBase\\INI\\M\\P.ini");
  ASSERT_EQ(lf.Count(), 1u);
  EXPECT_EQ(lf.IniPaths[0], "DataBase/INI/M/P.ini");
}

TEST(DriverIndex, ManufacturerIgnoresCasePartNumberDoesNotAndSearchRunsOn) {
  const DriverIndex index = ParseDriverIndex(kIndex);
  EXPECT_EQ(index.Find("ALPHA", "AX25F"), 0u);
  EXPECT_FALSE(index.Find("Alpha", "ax25f").has_value());
  // AX24C stands under a later group ("alpha"), found from the first "Alpha" on.
  EXPECT_EQ(index.Find("Alpha", "AX24C"), 2u);
  // BP29 lies after the first Alpha entry, so it is found there too.
  EXPECT_EQ(index.Find("Alpha", "BP29"), 1u);
  EXPECT_FALSE(index.Find("Beta", "AX25F").has_value());
  EXPECT_FALSE(index.Find("Delta", "BP29").has_value());
}

TEST(DriverIndex, LoadSelectListReadsTheDatabaseOrLogsTheFailure) {
  TempFolder base;
  RecordingSink log;
  DriverIndex index = ParseDriverIndex(kIndex);
  EXPECT_FALSE(LoadSelectList(base.Path(), index, log));
  EXPECT_EQ(index.Count(), 0u);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].Text, "Open Select.SEL Fail!");
  EXPECT_EQ(log.lines[0].Colour, LogColour::Red);

  base.Write(kSelectListPath, kIndex);
  EXPECT_TRUE(LoadSelectList(base.Path(), index, log));
  EXPECT_EQ(index.Count(), 3u);
  EXPECT_EQ(log.lines.size(), 1u);
}

}  // namespace
