// The unit information commands against simulated units: firmware number, serial text, self
// test and LED flash; what each logs in which colour, what it keeps, and how faults end them.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "sim/unit_commands.h"
#include "site/command.h"
#include "site/ops/firmware_ops.h"
#include "site/ops/sd_run_ops.h"
#include "site/ops/unit_info_ops.h"
#include "site/site_wait.h"
#include "tests/site/run_rig.h"
#include "tests/site/site_waits.h"

namespace {

using Lines = std::vector<std::string>;

Lines OfSite1(const Lines& tails) {
  Lines lines;
  for (const std::string& tail : tails) lines.push_back("Site #1" + tail);
  return lines;
}

// The unit's bytes 0x01..0x1F and 0x7F..0xFF, and the text they must show: each control code
// (0x01..0x1F, 0x7F..0x9F) a blank, every other byte the Latin-1 character of its code, written
// as UTF-8.
std::vector<std::uint8_t> HighBytes() {
  std::vector<std::uint8_t> bytes;
  for (int byte = 0x01; byte <= 0x1F; ++byte) bytes.push_back(static_cast<std::uint8_t>(byte));
  for (int byte = 0x7F; byte <= 0xFF; ++byte) bytes.push_back(static_cast<std::uint8_t>(byte));
  return bytes;
}
std::string HighText() {
  std::string text(0x1F + (0x9F - 0x7F + 1), ' ');
  for (int byte = 0xA0; byte <= 0xFF; ++byte) {
    text += byte < 0xC0 ? '\xC2' : '\xC3';
    text += static_cast<char>(0x80 | (byte & 0x3F));
  }
  return text;
}

class UnitInfoTest : public ::testing::Test {
 protected:
  UnitInfoTest() : rig(RunRig::Options(1)) {
    rig.Bind();
    Unit().clearRecord();
  }
  sim::SimUnit& Unit() { return rig.Unit(0); }
  ZvUsb& Link() { return rig.system.Link(0); }
  Lines Logged() { return rig.captured.TextsOf(0); }
  S_GetUSBCmdData& Data() { return rig.system.CmdData(0); }
  void Clear() {
    rig.captured.Clear();
    Unit().clearRecord();
  }

  RunRig rig;
};

TEST_F(UnitInfoTest, FirmwareNumberIsStoredWhateverItIsAndOnlyOneOrTwoPass) {
  struct Case {
    std::uint8_t number;
    Lines tails;
  };
  const std::vector<Case> cases = {
      {2, {" - BIOS Number Get", " - BIOS Number = 2", " - BIOS Number Get Pass"}},
      {3, {" - BIOS Number Get", " - Invalid BIOS Number!"}},
      {0, {" - BIOS Number Get", " - Invalid BIOS Number!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.number});
    Clear();
    Unit().setFirmware(sim::FirmwareInfo{c.number, {1, '.', 3, 0}});
    const bool valid = c.number == 2;
    EXPECT_EQ(BiosNumberGet(rig.Site(0)), valid ? SiteResultCode::Pass : SiteResultCode::Fail);
    EXPECT_EQ(Logged(), OfSite1(c.tails));
    EXPECT_TRUE(rig.captured.Has(OfSite1(c.tails)[1], valid ? LogColour::Black : LogColour::Red));
    EXPECT_EQ(Data().BiosNumber, c.number);
  }
  // In the Information queue the invalid number ends the queue before the serial read.
  Clear();
  OpcodeQueue queue = MakeQueue({Opcodes::BiosNumberGet, Opcodes::SerialNumberRead});
  ASSERT_TRUE(Command(rig.system, 0, queue).Started());
  WaitForSitesOrFail(rig.system);
  EXPECT_EQ(rig.system.Panels().Status(0), siFail);
  EXPECT_EQ(Unit().record().codes(), (std::vector<std::uint16_t>{sim::Code::BiosNumberGet}));
}

TEST_F(UnitInfoTest, SerialTextComesFromTheEepromUpToItsZeroAndAtMost256Bytes) {
  const std::string longText(300, 'S');
  const std::string first256 = longText.substr(0, 256);
  std::vector<std::uint8_t> high = HighBytes();
  high.push_back(0);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> eeprom;  // bytes at EEPROM offset 0
    SiteResult result;
    std::string line;  // the last line
    std::uint32_t colour;
    std::string kept;  // SerialText afterwards
  };
  const std::vector<Case> cases = {
      {"text",
       {'Z', 'V', '-', '7', 0, 'x'},
       0xA0,
       " - String of SN System = ZV-7",
       LogColour::Black,
       "ZV-7"},
      {"256 bytes whole, never more",
       {longText.begin(), longText.end()},
       0xA0,
       " - String of SN System = " + first256,
       LogColour::Black,
       first256},
      {"control codes blank, each other byte one character", high, 0xA0,
       " - String of SN System = " + HighText(), LogColour::Black, HighText()},
      {"erased", std::vector<std::uint8_t>(64, 0xFF), 0xA1, " - Invalid Series Number!",
       LogColour::Orange, HighText()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    ASSERT_TRUE(Unit().writeEeprom(0, c.eeprom));
    EXPECT_EQ(ReadSeriesNumber(rig.Site(0)), c.result);
    EXPECT_EQ(Logged(), OfSite1({" - SN Read", " - SN Read Pass", c.line}));
    EXPECT_TRUE(rig.captured.Has(OfSite1({c.line})[0], c.colour));
    EXPECT_EQ(Data().SerialText, c.kept);
    const sim::UnitRecord record = Unit().record();
    ASSERT_EQ(record.codes(),
              (std::vector<std::uint16_t>{sim::Code::EepromRead, sim::Code::BulkIn}));
    EXPECT_EQ(record.commands[0].block.params,
              (std::array<std::uint32_t, 7>{0, 0, UnitAddress::Settings, 0, 0, 0, 0x4000}));
  }
}

TEST_F(UnitInfoTest, SelfTestShowsTheUnitsMessageAndItsFirstByteDecides) {
  const std::string good = " - SDRAM Test Pass, FPGA Test Pass, USB Test Pass";
  const std::string bad = " - SDRAM Test Pass, FPGA Test Fail, USB Test Pass";
  const std::string end = " - Self Test Message End";
  const std::vector<std::uint8_t> high = HighBytes();
  struct Case {
    const char* name;
    bool unitFails;                   // the simulated test fails: answer 0xA2, message byte 0 0xA1
    std::optional<sim::Fault> fault;  // on the self-test command's completion
    std::string unitText;             // the message's bytes; empty: the unit's standard message
    Lines tails;
    SiteResult result;
  };
  const std::vector<Case> cases = {
      {"all pass",
       false,
       std::nullopt,
       "",
       {" - Self Test", " - Self Test Finish", good, end, " - SelfTest All Pass"},
       0xA0},
      {"a test fails: 0xA2, the message is still read",
       true,
       std::nullopt,
       "",
       {" - Self Test", " - Self Test Fail!", bad, end,
        " - SelfTest Fail! Please Check Your Machine!"},
       0xA1},
      {"answer 0xA2 but the message passes",
       false,
       sim::Fault::garbage(0xA2),
       "",
       {" - Self Test", " - Self Test Fail!", good, end, " - SelfTest All Pass"},
       0xA0},
      {"control codes blank, each other byte of the message one character",
       false,
       std::nullopt,
       std::string(high.begin(), high.end()),
       {" - Self Test", " - Self Test Finish", " - " + HighText(), end, " - SelfTest All Pass"},
       0xA0},
      {"FPGA not initialised: no message",
       false,
       sim::Fault::fail(),
       "",
       {" - Self Test", " - FPGA Init Fail!"},
       0xA1},
  };
  EXPECT_EQ(SelfTest(rig.Site(0)), SiteResultCode::Fail);  // no image: silent, nothing sent
  EXPECT_TRUE(Logged().empty());
  EXPECT_EQ(Unit().record().commandCount, 0u);
  std::ofstream(SelfTestImagePath(rig.system.Paths()), std::ios::binary) << "self-test fpga bits";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    Unit().withState<sim::MaintenanceState>([&](auto& st) {
      st.selfTestFails = c.unitFails;
      st.selfTestText = c.unitText;
    });
    if (c.fault) Unit().armFault(sim::Fault(*c.fault).onCode(sim::Code::SelfTest));
    Data().SelfTestText = "old";
    EXPECT_EQ(SelfTest(rig.Site(0)), c.result);
    const Lines expected = OfSite1(c.tails);
    EXPECT_EQ(Logged(), expected);
    if (expected.size() > 2) {
      const bool pass = c.result == SiteResultCode::Pass;
      EXPECT_TRUE(rig.captured.Has(expected[2], pass ? LogColour::Green : LogColour::Red));
      EXPECT_TRUE(rig.captured.Has(expected[3], LogColour::Black));
      EXPECT_EQ(OfSite1({" - " + Data().SelfTestText})[0], expected[2]);
    } else {
      EXPECT_EQ(Data().SelfTestText, "old");
    }
    EXPECT_EQ(Unit().record().commands.at(0).block.p(3), UnitAddress::FpgaImage);
  }
}

// Every command of this group fails the same ways: refused, answered "fail", an answer it does
// not know, and the unit pulled while its reply is awaited. The LED flash and the card's
// automatic mode are only this.
TEST_F(UnitInfoTest, EachFailureIsReportedOnceAndEndsTheOperation) {
  struct Op {
    const char* stem;
    std::uint16_t code;
    std::function<SiteResult(SiteContext&)> run;
    const char* failLine;  // the line of the unit's "fail" answer
  };
  const std::vector<Op> ops = {
      {"Power Led Flash", sim::Code::PowerLedFlash, [](SiteContext& c) { return PowerLedFlash(c); },
       " - Power Led Flash Fail!"},
      {"BIOS Number Get", sim::Code::BiosNumberGet, [](SiteContext& c) { return BiosNumberGet(c); },
       " - BIOS Number Get Fail!"},
      {"BIOS Version Get", sim::Code::BiosVersionGet,
       [](SiteContext& c) { return BiosVersionGet(c); }, " - BIOS Version Get Fail!"},
      {"SN Read", sim::Code::EepromRead, [](SiteContext& c) { return ReadSeriesNumber(c); },
       " - SN Read Fail!"},
      {"Self Test", sim::Code::SelfTest, SelfTestCommand, " - FPGA Init Fail!"},
      {"SDCard AutoRun Initialization", sim::Code::SdAutoRunInit,
       [](SiteContext& c) { return SdAutoRunInit(c); }, " - SDCard AutoRun Initialization Fail!"},
  };
  for (const Op& op : ops) {
    const std::string start = std::string(" - ") + op.stem;
    rig.rig.bus->plug(rig.rig.units[0]);  // back after the last op took it away
    rig.Bind();
    const std::pair<sim::Fault, std::string> failures[] = {
        {sim::Fault::refuse(), start + " Command Error!"},
        {sim::Fault::fail(), op.failLine},
        {sim::Fault::garbage(0x5A), start + " Ack Error!"}};
    for (const auto& [fault, line] : failures) {
      SCOPED_TRACE(line);
      Clear();
      Unit().armFault(sim::Fault(fault).onCode(op.code));
      EXPECT_EQ(op.run(rig.Site(0)), SiteResultCode::Fail);
      EXPECT_EQ(Logged(), OfSite1({start, line}));
      EXPECT_TRUE(rig.captured.Has(OfSite1({line})[0], LogColour::Red));
      EXPECT_EQ(Link().IsBusy(), 0);
    }
    SCOPED_TRACE(start + " pulled");
    Unit().armFault(sim::Fault::leaveBus().onCode(op.code));
    EXPECT_EQ(op.run(rig.Site(0)), SiteResultCode::Fail);
    EXPECT_FALSE(Link().HasHandle());
    EXPECT_EQ(Link().IsBusy(), 0);
  }
}

}  // namespace
