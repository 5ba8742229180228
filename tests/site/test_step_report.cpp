// Step replies decoded into log lines and results, from fixed byte arrays: every row of the
// step table, the insert detection's pin list, unit messages, the bad block list, the run
// bookkeeping, and replies that are short or garbage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/driver_slots.h"
#include "site/headless_site_host.h"
#include "site/ops/bad_blocks.h"
#include "site/ops/insert_report.h"
#include "site/ops/run_report.h"
#include "site/ops/step_reply.h"
#include "site/ops/step_report.h"
#include "site/ops/unit_message.h"
#include "site/site_panels.h"
#include "support/named_lock.h"
#include "tests/site/site_test_rig.h"

namespace {

constexpr int kSite = 2;  // lines read "Site #3 - ..."
namespace F = StepReplyField;

// An expected line: a colour letter (R red, G green, K black, O orange, S step start), then
// the tail after "Site #3".
using Lines = std::vector<std::string>;

char ColourLetter(std::uint32_t colour) {
  const std::pair<std::uint32_t, char> letters[]{{LogColour::Red, 'R'},
                                                 {LogColour::Green, 'G'},
                                                 {LogColour::Black, 'K'},
                                                 {LogColour::Orange, 'O'},
                                                 {LogColour::Start, 'S'}};
  for (const auto& [value, letter] : letters) {
    if (value == colour) return letter;
  }
  return '?';
}

class LineLog final : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override {
    EXPECT_EQ(text.rfind("Site #3 - ", 0), 0u) << text;
    EXPECT_EQ(ignored, 1);
    lines.push_back(ColourLetter(colour) + text.substr(7));
    essentials.push_back(essential);
  }
  Lines lines;
  std::vector<std::uint8_t> essentials;
};

// One site's records as the reports see them through its context: socket 1 chosen, pin scan
// on, slots zero. No unit: the reports never touch the link.
struct Site {
  Site()
      : rig(0, &log),
        driver(rig.system.Project().Records().DriverIni[kSite]),
        plan(rig.system.Project().Records().ProcessPlan[kSite]),
        bytes(rig.system.RunBytes(kSite)),
        pinscan(rig.system.Project().Records().ProjectValue[kSite].Step[StepFlag::Pinscan]) {
    plan.SocketCode[0] = kPlanEnabled;
    pinscan = 1;
  }
  const SiteContext& At() { return rig.Site(kSite); }
  void Slot(std::size_t slot, std::uint32_t value) { driver.Values[slot] = value; }
  LineLog log;
  SiteRig rig;
  ZV_Driver_INI& driver;
  SiteProcessPlan& plan;
  SiteRunBytes& bytes;
  std::uint8_t& pinscan;
};

Reply MakeReply(std::uint8_t result, std::uint8_t verdict) {
  Reply reply{};
  reply[F::Result] = result;
  reply[F::Verdict] = verdict;
  PutLe32(&reply[F::ErrorAddress], 0xABCDEF01);
  PutLe32(&reply[F::ExpectedData], 0x5555);
  PutLe32(&reply[F::IcData], 0x12AB);
  PutLe16(&reply[F::ManufacturerCode], 0xEF);
  PutLe16(&reply[F::DeviceCode], 0x4018);
  return reply;
}

TEST(StepReport, OverCurrentAndAckErrorRowsOfEveryStep) {
  const std::vector<std::string> names{
      "Blank Check", "Chip Erase",    "Program", "Verify",       "Protect",        "UnProtect",
      "ID Check",    "Insert Detect", "Confirm", "Read IC Data", "Bad Block Scan", ""};
  const std::vector<std::uint16_t> codes{0x11EE, 0x12ED, 0x13EC, 0x14EB, 0x15EA, 0x22DD,
                                         0x18E7, 0x17E8, 0x16E9, 0x19E6, 0x25DA, 0x1234};
  // 0xFF is the preset of a reply that a closed link never filled.
  const std::vector<std::tuple<std::uint8_t, std::string, SiteResult>> answers{
      {0xA2, " DUT VDD/VIO/VPP/VHH Over Current!", 0xA2},
      {0xA3, " DUT VDD/VIO Over Current!", 0xA3},
      {0xA4, " DUT VPP/VHH Over Current!", 0xA4},
      {0x00, " Ack Error!", 0xA1},
      {0xA5, " Ack Error!", 0xA1},
      {0xFF, " Ack Error!", 0xA1}};
  for (std::size_t k = 0; k < codes.size(); ++k) {
    for (const auto& [answer, suffix, result] : answers) {
      Site site;
      EXPECT_EQ(ReportStepResult(site.At(), codes[k], MakeReply(answer, 0xA0)), result);
      EXPECT_EQ(site.log.lines, Lines{"R - " + names[k] + suffix});
    }
  }
}

TEST(StepReport, OwnReportOfEachStep) {
  struct Case {
    std::uint16_t step;
    std::uint8_t result, verdict;
    std::uint32_t showData, mask;  // slots 73 and 168
    std::uint8_t noDataByte;       // reply byte 68
    Lines lines;
  };
  // clang-format off
  const std::vector<Case> cases{
      {0x11EE, 0xA0, 0xA0, 1, 0xFF, 0, {"G - Blank Check Pass"}},
      {0x11EE, 0xA1, 0xA1, 1, 0xFF, 0, {"R - Blank Check Mode = 8 Bits",
          "R - Blank Check Error Address = 0xABCDEF01, IC Data = 0x00AB", "R - Blank Check Fail!"}},
      {0x11EE, 0xA1, 0x00, 1, 0xFFFFFFFF, 0, {"R - Blank Check Mode = 32 Bits",
          "R - Blank Check Error Address = 0xABCDEF01, IC Data = 0x12AB", "R - Blank Check Fail!"}},
      {0x11EE, 0xA0, 0xA1, 0, 0xFF, 0, {"R - Blank Check Fail!"}},  // result stays 0xA0
      {0x14EB, 0xA1, 0xA1, 1, 0xFF, 0, {"R - Verify Mode = 8 Bits",
          "R - Verify Error Address = 0xABCDEF01, Verify Data = 0x0055, Error IC Data = 0x00AB",
          "R - Verify Fail!"}},
      {0x14EB, 0xA1, 0xA1, 1, 0xFF, 0xA3, {"R - Verify Fail!"}},
      {0x14EB, 0xA0, 0xA0, 1, 0xFF, 0, {"G - Verify Pass"}},
      {0x12ED, 0xA0, 0xA0, 0, 0, 0, {"G - Chip Erase Finish"}},
      {0x13EC, 0xA1, 0xA5, 0, 0, 0, {"R - Program Empty!"}},
      {0x13EC, 0xA1, 0xA1, 0, 0, 0, {"R - Program Fail!"}},
      {0x15EA, 0xA0, 0xA0, 0, 0, 0, {"G - Protect Pass"}},
      {0x22DD, 0xA0, 0x33, 0, 0, 0, {"R - UnProtect Fail!"}},
      {0x18E7, 0xA0, 0xA0, 0, 0, 0, {"K - Manufacturer Code = 0x00EF, Device Code = 0x4018",
                                     "G - ID Check Pass"}},
      {0x18E7, 0xA1, 0xA5, 0, 0, 0, {"K - Manufacturer Code = 0x00EF, Device Code = 0x4018",
                                     "R - ID Check Fail!"}},
      {0x25DA, 0xA0, 0xA1, 0, 0, 0, {"G - Bad Block Scan Pass"}},  // the verdict is not read
      {0x16E9, 0xA1, 0xA0, 0, 0, 0, {"R - Confirm Fail!"}},
      {0x19E6, 0xA0, 0xA0, 0, 0, 0, {"G - Read IC Data Pass"}},
      {0x0101, 0xA0, 0xA0, 0, 0, 0, {"G -  Pass"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    Site site;
    site.Slot(DriverSlot::ShowErrorAddress, c.showData);
    site.Slot(DriverSlot::DataMask, c.mask);
    Reply reply = MakeReply(c.result, c.verdict);
    reply[F::NoErrorData] = c.noDataByte;
    EXPECT_EQ(ReportStepResult(site.At(), c.step, reply), c.result);
    EXPECT_EQ(site.log.lines, c.lines) << std::hex << c.step;
  }
  // Without socket 1 every detailed report says only that; the plain report does not look.
  for (std::uint16_t step : {0x11EE, 0x14EB, 0x12ED, 0x13EC, 0x15EA, 0x22DD, 0x18E7, 0x17E8}) {
    Site site;
    site.plan.SocketCode[0] = kPlanDisabled;
    EXPECT_EQ(ReportStepResult(site.At(), step, MakeReply(0xA1, 0xA1)), 0xA1);
    EXPECT_EQ(site.log.lines, Lines{"R - No Choose Textool!"}) << std::hex << step;
  }
}

TEST(StepReport, StartLinesOnlyForTheLongSteps) {
  // clang-format off
  const std::vector<std::pair<std::uint16_t, Lines>> cases{
      {0x11EE, {"S - Blank Check"}}, {0x12ED, {"S - Chip Erase"}}, {0x13EC, {"S - Program"}},
      {0x14EB, {"S - Verify"}}, {0x15EA, {"S - Protect"}}, {0x25DA, {"S - Bad Block Scan"}},
      {0x22DD, {}}, {0x18E7, {}}, {0x17E8, {}}, {0xB14E, {}}, {0x0000, {}}};
  // clang-format on
  for (const auto& [code, lines] : cases) {
    LineLog log;
    LogStepStart(log, kSite, code);
    EXPECT_EQ(log.lines, lines) << std::hex << code;
  }
}

// A 32-pin part sits centred in the 56-pin socket, 12 pins in: its pin 1 is socket pin 13,
// driver pin 8. Driver pins 50 and 51 are socket pins 3 and 4, left of the part; driver pins
// 52 to 55 are socket pins 53 to 56, right of it.
void ThirtyTwoPinPart(Site& site) {
  site.Slot(DriverSlot::PinCount, 32);
  site.driver.UcfPin[8] = "IO_A<0>";
  site.driver.UcfPin[9] = "IO_CE";
  site.driver.UcfPin[50] = "IO_WE";
  site.driver.UcfPin[51] = "IO_RP";
  site.driver.UcfPin[52] = "IO_BYTE";
  site.driver.UcfPin[55] = "IO_C7";
}

TEST(InsertReport, ThirtyTwoPinPartNamesItsFailingPin) {
  const std::vector<std::pair<std::uint64_t, Lines>> cases{
      {0x1,  // IO_A<0> high where low is expected
       {"R - Pin 1,  of IC is Fail!", "R - PinScan = 0x00000001", "R - Insert Detect Fail!"}},
      {(1ull << 52) | (1ull << 55),  // IO_BYTE and IO_C7: the top pin group
       {"R - Pin 41, 44,  of IC is Fail!", "R - PinScan = 0x90000000000000",
        "R - Insert Detect Fail!"}},
  };
  for (const auto& [scan, lines] : cases) {
    Site site;
    ThirtyTwoPinPart(site);
    Reply reply = MakeReply(0xA1, 0xA1);
    PutLe32(&reply[F::PinScan], static_cast<std::uint32_t>(scan));
    PutLe32(&reply[F::PinScan + 4], static_cast<std::uint32_t>(scan >> 32));
    EXPECT_EQ(ReportStepResult(site.At(), StepCode::InsertDetect, reply), 0xA1);
    EXPECT_EQ(site.log.lines, lines);
    EXPECT_EQ(site.plan.RunField[0], 0xA1);
  }
}

TEST(InsertReport, PinListFollowsLevelsMaskAndNames) {
  Site site;
  ThirtyTwoPinPart(site);
  const std::uint64_t ce = 1ull << 48, we = 1ull << 50, rp = 1ull << 51, byte = 1ull << 52,
                      c7 = 1ull << 55;
  site.Slot(DriverSlot::PinLevelHigh, static_cast<std::uint32_t>(we >> 32));  // WE high
  const std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> cases{
      {0x1 | we, 0, "1, "},
      {0x1 | ce | we, 0, "1, 2, "},
      {ce | we, ce, ""},                          // CE not examined
      {0x2 | we, 0, ""},                          // a failing signal the driver does not name
      {0x1, 0, "1, -9, "},                        // WE low
      {rp | byte | c7 | we, 0, "-8, 41, 44, "}};  // the corner group's last, the top group's edges
  for (const auto& [scan, ignore, list] : cases) {
    site.Slot(DriverSlot::PinIgnoreHigh, static_cast<std::uint32_t>(ignore >> 32));
    EXPECT_EQ(FailingPinList(site.driver, FailingPins(site.driver, scan)), list) << scan;
  }
}

TEST(InsertReport, VerdictLinesInsertionFactsAndSocketMarker) {
  struct Case {
    std::uint8_t verdict;
    bool pinscan, report, socketOne;
    Lines lines;
  };
  const std::string scan = "R - PinScan = 0x8000000000000001";
  const std::vector<Case> cases{
      {0xA0, true, true, true, {"G - Insert Detect Pass"}},
      {0xA5, true, true, true, {"R - IC Was Not Detected!"}},
      {0xA1, true, true, true, {"R - Pin 1,  of IC is Fail!", scan, "R - Insert Detect Fail!"}},
      {0x42, true, true, true, {scan, "R - Insert Detect Fail!"}},
      {0xA1, false, true, true, {"O - Ignore Insert Detect!"}},
      {0xA1, true, false, true, {}},
      {0xA1, true, true, false, {"R - Pin 1,  of IC is Fail!", "R - No Choose Textool!"}},
  };
  for (const Case& c : cases) {
    Site site;
    ThirtyTwoPinPart(site);
    site.pinscan = c.pinscan;
    site.plan.SocketCode[0] = c.socketOne ? kPlanEnabled : kPlanDisabled;
    site.plan.RunField.fill(kPlanRunFieldPreset);
    site.Slot(DriverSlot::PinIgnoreLow, 0xF0);
    Reply reply = MakeReply(0xA1, c.verdict);
    PutLe32(&reply[F::PinScan], 0x1);
    PutLe32(&reply[F::PinScan + 4], 0x80000000);  // bit 63: no pin of that name
    ReportInsertDetect(site.At(), reply, c.report);
    EXPECT_EQ(site.log.lines, c.lines) << int{c.verdict};
    EXPECT_EQ(site.bytes.InsertState, c.verdict);
    EXPECT_EQ(site.bytes.PinState, 0x80000000000000F1ull);
    EXPECT_EQ(site.plan.RunField[0], c.socketOne ? c.verdict : kPlanRunFieldPreset);
  }
}

TEST(InsertReport, SocketStateReachedAfterDetection) {
  using P = std::uint8_t;
  const std::vector<std::tuple<SiteResult, P, P, bool>> cases{
      {0xA0, 0, 0xA0, true},  {0xA0, 1, 0xA0, true},  {0xA0, 2, 0xA0, false},
      {0xA1, 2, 0xA5, true},  {0xA1, 2, 0xA1, false}, {0xA1, 1, 0xA5, false},
      {0xA2, 2, 0xA5, false}, {0xFF, 1, 0xA0, false}};
  for (const auto& [detection, phase, insertState, reached] : cases) {
    SiteRunBytes bytes;
    bytes.AutoRunPhase = phase;
    bytes.InsertState = insertState;
    EXPECT_EQ(DetectionReachesState(detection, bytes), reached) << int{detection} << int{phase};
  }
}

TEST(UnitMessage, TextColourAndLimits) {
  const std::string hundred(100, 'x');
  // Bytes 0x80..0xFF, each one Latin-1 character; the control codes 0x80..0x9F show as blanks.
  std::string high, shown(32, ' ');
  for (int byte = 0x80; byte <= 0xFF; ++byte) high.push_back(static_cast<char>(byte));
  for (int byte = 0xA0; byte <= 0xFF; ++byte) {
    shown += byte < 0xC0 ? '\xC2' : '\xC3';
    shown += static_cast<char>(0x80 | (byte & 0x3F));
  }
  // clang-format off
  const std::vector<std::tuple<std::uint8_t, std::uint8_t, std::string, Lines>> cases{
      {0xA0, 0xC0, "Done", {"G - Done"}}, {0xA0, 0xC1, "Bad", {"R - Bad"}},
      {0xA0, 0xC2, "Info", {"K - Info"}}, {0xA0, 0xC3, "Note", {"O - Note"}},
      {0xA0, 0xC4, "Go", {"S - Go"}},     {0xA0, 0x17, "Odd", {"K - Odd"}},
      {0xA1, 0xC0, "Hidden", {}},         {0xA0, 0xC0, hundred + "yz", {"G - " + hundred}},
      {0xA0, 0xC2, "a\r\nb\tc", {"K - a  b c"}},  // no line breaks into the log file
      {0xA0, 0xC0, high.substr(0, 100), {"G - " + shown.substr(0, 32 + 2 * 68)}},  // 0x80..0xE3
      {0xA0, 0xC0, high.substr(100), {"G - " + shown.substr(32 + 2 * 68)}},
      {0xA0, 0xC0, "\xE9t\xE9", {"G - \u00E9t\u00E9"}}};
  // clang-format on
  for (const auto& [flag, selector, text, lines] : cases) {
    Reply reply{};
    reply[F::MessageFlag] = flag;
    reply[F::MessageColour] = selector;
    std::copy(text.begin(), text.end(), reply.begin() + F::MessageText);
    LineLog log;
    ReportUnitMessage(log, kSite, reply);
    EXPECT_EQ(log.lines, lines) << text;
  }
}

// A bitmap with the given blocks bad (bit 0) and all others good.
std::vector<std::uint8_t> Bitmap(const std::vector<std::size_t>& bad) {
  std::vector<std::uint8_t> map(kBadBlockMapBytes, 0xFF);
  for (std::size_t block : bad) map[block / 8] &= static_cast<std::uint8_t>(~(1u << (block % 8)));
  return map;
}

TEST(BadBlocks, SixtyBadBlocksListFiftyInLinesOfTenAndNine) {
  std::vector<std::size_t> bad;
  for (std::size_t k = 0; k < 60; ++k) bad.push_back(3 * k + 33);
  LineLog log;
  ReportBadBlocks(log, kSite, Bitmap(bad), 2048);
  ASSERT_EQ(log.lines.size(), 7u);
  EXPECT_EQ(log.lines[0], "O - Total Block = 2048, Good Block = 1988, Bad Block = 60");
  std::size_t next = 0;
  for (std::size_t line = 1; line <= 6; ++line) {
    std::string expected = "R - Bad Block Number = ";
    for (std::size_t k = 0; k < std::vector<std::size_t>{10, 9, 9, 9, 9, 5}[line - 1]; ++k) {
      expected += (next < 50 ? std::to_string(3 * next + 33) : kBadBlockListFull) + ", ";
      ++next;
    }
    EXPECT_EQ(log.lines[line], expected);
  }
}

TEST(BadBlocks, CountsClampedToTheMapAndTheTotal) {
  // clang-format off
  const std::vector<std::tuple<std::vector<std::uint8_t>, std::uint32_t, Lines>> cases{
      {Bitmap({}), 1024, {"G - Total Block = 1024, Good Block = 1024, Bad Block = 0"}},
      {Bitmap({524287}), 1024, {"O - Total Block = 1024, Good Block = 1023, Bad Block = 1",
                                "R - Bad Block Number = 524287, "}},
      // More bad blocks than the part has: no wrap-around of the good ones.
      {Bitmap({1, 2, 3}), 2, {"O - Total Block = 2, Good Block = 0, Bad Block = 3",
                              "R - Bad Block Number = 1, 2, 3, "}},
      {{0xFE, 0x7F}, 16, {"O - Total Block = 16, Good Block = 14, Bad Block = 2",
                          "R - Bad Block Number = 0, 15, "}},
      {{}, 16, {"G - Total Block = 16, Good Block = 16, Bad Block = 0"}}};
  // clang-format on
  for (const auto& [map, total, lines] : cases) {
    LineLog log;
    ReportBadBlocks(log, kSite, map, total);
    EXPECT_EQ(log.lines, lines);
  }
  // Past the map's 65536 bytes nothing counts; the list stops at 50 numbers and the note.
  const BadBlockCount all = CountBadBlocks(std::vector<std::uint8_t>(kBadBlockMapBytes + 9, 0));
  EXPECT_EQ(all.Bad, 524288u);
  ASSERT_EQ(all.Entries.size(), 51u);
  EXPECT_EQ(all.Entries[49], "49");
  EXPECT_EQ(all.Entries[50], kBadBlockListFull);
}

TEST(RunReport, SecondsInShortestDecimalForm) {
  const std::vector<std::pair<std::uint64_t, std::string>> cases{
      {12345, "12.345"}, {0, "0"},       {1, "0.001"},      {1500, "1.5"},
      {2000, "2"},       {999, "0.999"}, {3600000, "3600"}, {100020, "100.02"}};
  for (const auto& [ms, text] : cases) EXPECT_EQ(RunSecondsText(ms), text) << ms;
}

TEST(RunReport, EndLinesCountersAndRunBytes) {
  LineLog log;
  HeadlessSiteHost host;
  NamedLocks locks;
  SitePanels panels(locks.Get(LockName::Statistics), host);
  LogRunStart(log, kSite);
  for (SiteResult result : {0xA0, 0xA2, 0xFF}) {
    if (result != 0xFF) ReportRunEnd(log, kSite, result, 12345);
    CountRunEnd(panels, kSite, result);
  }
  EXPECT_EQ(log.lines, (Lines{"S - RUN ALL...", "K - RUN ALL Time = 12.345 s", "G - RUN ALL Pass",
                              "R - RUN ALL Fail!"}));
  EXPECT_EQ(log.essentials, (std::vector<std::uint8_t>{1, 1, 1, 0}));
  EXPECT_EQ(panels.PassCount(kSite), 1u);
  EXPECT_EQ(panels.FailCount(kSite), 2u);

  SiteRunBytes bytes;
  RecordRunEnd(bytes, 0xA1, MakeReply(0xA1, 0xA5));
  EXPECT_EQ(bytes.RunResult, 0xA1);
  EXPECT_EQ(bytes.RunVerdict, 0xA5);
  RecordRunEnd(bytes, 0xFF, {});  // the loop stopped before any reply arrived
  EXPECT_EQ(bytes.RunVerdict, 0xFF);
  // What a step leaves to the run: a passed step with a failing verdict fails it.
  const std::vector<std::tuple<SiteResult, std::uint8_t, SiteResult>> steps{
      {0xA0, 0xA0, 0xA0}, {0xA0, 0xA5, 0xA1}, {0xA1, 0xA0, 0xA1}, {0xA3, 0xA0, 0xA3}};
  for (const auto& [reported, verdict, result] : steps) {
    EXPECT_EQ(StepRunResult(reported, MakeReply(reported, verdict)), result);
  }
}

// Replies of any length and driver values no database holds: no read outside the reply (the
// sanitizers watch), and a missing result byte is an ack error.
TEST(StepReport, ShortLongAndGarbageInput) {
  Site site;
  site.driver.Values.fill(0xFFFFFFFF);
  site.driver.UcfPin.fill("IO_A<3>");
  for (std::size_t length : {0u, 1u, 55u, 300u, 511u, 4096u}) {
    const std::vector<std::uint8_t> reply(length, 0xA1);
    EXPECT_EQ(ReportStepResult(site.At(), StepCode::InsertDetect, reply), 0xA1);
    EXPECT_EQ(ReportStepResult(site.At(), StepCode::Verify, reply), 0xA1);
    ReportUnitMessage(site.log, kSite, reply);
  }
  // Every driver pin names the failing signal and the pin count is absurd: 56 entries,
  // numbered far past the socket, without overflow.
  site.Slot(DriverSlot::PinLevelLow, 0);
  site.Slot(DriverSlot::PinIgnoreLow, 0);
  EXPECT_EQ(FailingPinList(site.driver, FailingPins(site.driver, 0x8)).substr(0, 24),
            "2147483624, 2147483625, ");
  EXPECT_EQ(FailingPinList(site.driver, FailingPins(site.driver, 0x8)).size(), 56u * 12);
}

}  // namespace
