// The unit information commands against simulated units: LED flash, firmware number, serial
// text and self test; what each logs in which colour, what it keeps, and how faults end them.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "sim/unit_commands.h"
#include "site/command.h"
#include "site/ops/unit_info_ops.h"
#include "site/rescan.h"
#include "site/site_wait.h"
#include "tests/site/run_rig.h"

namespace {

using Lines = std::vector<std::string>;

std::string Line(const std::string& tail) {
  return "Site #1" + tail;
}

class UnitInfoTest : public ::testing::Test {
 protected:
  UnitInfoTest() : rig(RunRig::Options(1)) {
    EXPECT_TRUE(RescanUnits(rig.system));
    rig.captured.Clear();
    Unit().clearRecord();
  }
  sim::SimUnit& Unit() { return rig.Unit(0); }
  ZvUsb& Link() { return rig.system.Link(0); }
  Lines Logged() { return rig.captured.TextsOf(0); }
  S_GetUSBCmdData& Data() { return rig.system.CmdData(0); }
  void PutSelfTestImage() {
    std::ofstream(SelfTestImagePath(rig.system), std::ios::binary) << "self-test fpga bits";
  }
  // Runs a queue on site 0 and waits for its end.
  void RunQueue(std::initializer_list<Opcode> opcodes) {
    OpcodeQueue queue = MakeQueue(opcodes);
    ASSERT_TRUE(Command(rig.system, 0, queue).Started());
    WaitForSites(rig.system);
  }

  RunRig rig;
};

TEST_F(UnitInfoTest, LedFlashIsOneStandardCommand) {
  EXPECT_EQ(PowerLedFlash(rig.system, 0), SiteResultCode::Pass);
  EXPECT_EQ(Logged(), (Lines{Line(" - Power Led Flash"), Line(" - Power Led Flash Pass")}));
  EXPECT_TRUE(rig.captured.Has(Line(" - Power Led Flash"), LogColour::Start));
  EXPECT_TRUE(rig.captured.Has(Line(" - Power Led Flash Pass"), LogColour::Green));
  const sim::DecodedBlock block = Unit().record().commands.at(0).block;
  EXPECT_EQ(block.codes, (std::vector<std::uint16_t>{sim::Code::PowerLedFlash}));
  EXPECT_EQ(block.commandByte, 0);
  std::uint32_t flashes = 0;
  Unit().withState<sim::MaintenanceState>([&](auto& st) { flashes = st.ledFlashes; });
  EXPECT_EQ(flashes, 1u);
}

TEST_F(UnitInfoTest, FirmwareNumberIsStoredWhateverItIsAndOnlyOneOrTwoPass) {
  struct Case {
    std::uint8_t number;
    Lines lines;
    SiteResult result;
  };
  const std::vector<Case> cases = {
      {1, {" - BIOS Number Get", " - BIOS Number = 1", " - BIOS Number Get Pass"}, 0xA0},
      {2, {" - BIOS Number Get", " - BIOS Number = 2", " - BIOS Number Get Pass"}, 0xA0},
      {3, {" - BIOS Number Get", " - Invalid BIOS Number!"}, 0xA1},
      {0, {" - BIOS Number Get", " - Invalid BIOS Number!"}, 0xA1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.number});
    rig.captured.Clear();
    sim::FirmwareInfo firmware;
    firmware.number = c.number;
    Unit().setFirmware(firmware);
    EXPECT_EQ(BiosNumberGet(rig.system, 0), c.result);
    Lines expected;
    for (const std::string& tail : c.lines) expected.push_back(Line(tail));
    EXPECT_EQ(Logged(), expected);
    EXPECT_EQ(Data().BiosNumber, c.number);
    const std::string value = c.result == SiteResultCode::Pass ? " - BIOS Number = " : " - Invalid";
    const std::uint32_t colour =
        c.result == SiteResultCode::Pass ? LogColour::Black : LogColour::Red;
    EXPECT_TRUE(rig.captured.Has(expected[1], colour));
    EXPECT_EQ(Link().IsBusy(), 0);
  }
  // In the Information queue the invalid number ends the queue before the serial read.
  Unit().clearRecord();
  RunQueue({Opcodes::BiosNumberGet, Opcodes::SerialNumberRead});
  EXPECT_EQ(rig.system.Panels().Status(0), siFail);
  EXPECT_TRUE(Unit().record().commandsWithCode(sim::Code::EepromRead).empty());
}

TEST_F(UnitInfoTest, SerialTextComesFromTheEepromUpToItsZeroAndAtMost256Bytes) {
  const std::string longText(300, 'S');
  struct Case {
    const char* name;
    std::vector<std::uint8_t> eeprom;  // bytes at EEPROM offset 0
    SiteResult result;
    std::string logged;  // the last line
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
      {"256 bytes whole, never more", std::vector<std::uint8_t>(longText.begin(), longText.end()),
       0xA0, " - String of SN System = " + longText.substr(0, 256), LogColour::Black,
       longText.substr(0, 256)},
      {"erased", std::vector<std::uint8_t>(64, 0xFF), 0xA1, " - Invalid Series Number!",
       LogColour::Orange, longText.substr(0, 256)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.captured.Clear();
    Unit().clearRecord();
    ASSERT_TRUE(Unit().writeEeprom(0, c.eeprom));
    EXPECT_EQ(ReadSeriesNumber(rig.system, 0), c.result);
    const Lines logged = Logged();
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[0], Line(" - SN Read"));
    EXPECT_EQ(logged[1], Line(" - SN Read Pass"));
    EXPECT_TRUE(rig.captured.Has(Line(c.logged), c.colour));
    EXPECT_EQ(Data().SerialText, c.kept);
    const sim::UnitRecord record = Unit().record();
    ASSERT_EQ(record.codes(),
              (std::vector<std::uint16_t>{sim::Code::EepromRead, sim::Code::BulkIn}));
    const sim::DecodedBlock& read = record.commands[0].block;
    EXPECT_EQ(read.commandByte, 1);
    EXPECT_EQ(read.params,
              (std::array<std::uint32_t, 7>{0, 0, UnitAddress::Settings, 0, 0, 0, 0x4000}));
    EXPECT_EQ(std::uint64_t{record.commands[1].block.p(1)} * record.commands[1].block.p(2),
              kLargeChunk);  // the whole 1 MiB comes back
  }
}

TEST_F(UnitInfoTest, SelfTestShowsTheUnitsMessageAndItsFirstByteDecides) {
  const std::string good = "SDRAM Test Pass, FPGA Test Pass, USB Test Pass";
  const std::string bad = "SDRAM Test Pass, FPGA Test Fail, USB Test Pass";
  struct Case {
    const char* name;
    bool unitFails;                   // the simulated test fails: answer 0xA2, message byte 0xA1
    std::optional<sim::Fault> fault;  // on the self-test command's completion
    Lines lines;
    SiteResult result;
  };
  const std::vector<Case> cases = {
      {"all pass",
       false,
       std::nullopt,
       {" - Self Test", " - Self Test Finish", " - " + good, " - Self Test Message End",
        " - SelfTest All Pass"},
       0xA0},
      {"a test fails: 0xA2, the message is still read",
       true,
       std::nullopt,
       {" - Self Test", " - Self Test Fail!", " - " + bad, " - Self Test Message End",
        " - SelfTest Fail! Please Check Your Machine!"},
       0xA1},
      {"answer 0xA2 but the message passes",
       false,
       sim::Fault::garbage(0xA2),
       {" - Self Test", " - Self Test Fail!", " - " + good, " - Self Test Message End",
        " - SelfTest All Pass"},
       0xA0},
      {"FPGA not initialised: no message",
       false,
       sim::Fault::fail(),
       {" - Self Test", " - FPGA Init Fail!"},
       0xA1},
  };
  PutSelfTestImage();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.captured.Clear();
    Unit().clearRecord();
    Unit().withState<sim::MaintenanceState>([&](auto& st) { st.selfTestFails = c.unitFails; });
    if (c.fault) Unit().armFault(sim::Fault(*c.fault).onCode(sim::Code::SelfTest));
    Data().SelfTestText = "old";
    EXPECT_EQ(SelfTest(rig.system, 0), c.result);
    Lines expected;
    for (const std::string& tail : c.lines) expected.push_back(Line(tail));
    EXPECT_EQ(Logged(), expected);
    if (expected.size() > 2) {
      const bool pass = c.result == SiteResultCode::Pass;
      EXPECT_TRUE(rig.captured.Has(expected[2], pass ? LogColour::Green : LogColour::Red));
      EXPECT_TRUE(rig.captured.Has(expected[3], LogColour::Black));
      EXPECT_EQ(Data().SelfTestText, c.unitFails ? bad : good);
    } else {
      EXPECT_EQ(Data().SelfTestText, "old");
      EXPECT_TRUE(Unit().record().commandsWithCode(sim::Code::BulkIn).empty());
    }
    // The image went first, whole, to the FPGA area.
    const sim::UnitRecord record = Unit().record();
    ASSERT_FALSE(record.commands.empty());
    EXPECT_EQ(record.commands[0].block.p(3), UnitAddress::FpgaImage);
    EXPECT_EQ(Link().IsBusy(), 0);
  }
}

TEST_F(UnitInfoTest, SelfTestWithoutItsImageFailsSilently) {
  EXPECT_EQ(SelfTest(rig.system, 0), SiteResultCode::Fail);
  EXPECT_TRUE(Logged().empty());
  EXPECT_EQ(Unit().record().commandCount, 0u);
}

// Every command of this group fails the same ways: refused, an answer it does not know, and
// the unit pulled while its reply is awaited.
TEST_F(UnitInfoTest, EachFailureIsReportedOnceAndEndsTheOperation) {
  struct Op {
    const char* stem;
    std::uint16_t code;
    std::function<SiteResult()> run;
  };
  const std::vector<Op> ops = {
      {"Power Led Flash", sim::Code::PowerLedFlash, [&] { return PowerLedFlash(rig.system, 0); }},
      {"BIOS Number Get", sim::Code::BiosNumberGet, [&] { return BiosNumberGet(rig.system, 0); }},
      {"SN Read", sim::Code::EepromRead, [&] { return ReadSeriesNumber(rig.system, 0); }},
      {"Self Test", sim::Code::SelfTest, [&] { return SelfTestCommand(rig.system, 0); }},
  };
  struct FaultCase {
    sim::Fault fault;
    const char* tail;
  };
  const std::vector<FaultCase> faults = {
      {sim::Fault::refuse(), " Command Error!"},
      {sim::Fault::garbage(0x5A), " Ack Error!"},
  };
  for (const Op& op : ops) {
    for (const FaultCase& f : faults) {
      SCOPED_TRACE(std::string(op.stem) + f.tail);
      rig.captured.Clear();
      Unit().armFault(sim::Fault(f.fault).onCode(op.code));
      EXPECT_EQ(op.run(), SiteResultCode::Fail);
      const std::string line = Line(" - " + std::string(op.stem) + f.tail);
      EXPECT_EQ(Logged(), (Lines{Line(" - " + std::string(op.stem)), line}));
      EXPECT_TRUE(rig.captured.Has(line, LogColour::Red));
      EXPECT_EQ(Link().IsBusy(), 0);
    }
  }
  // The unit leaves instead of answering: the link is closed, whatever the last line says.
  for (const Op& op : ops) {
    SCOPED_TRACE(std::string(op.stem) + " pulled");
    rig.rig.bus->plug(rig.rig.units[0]);  // back after the last case took it away
    ASSERT_TRUE(RescanUnits(rig.system));
    ASSERT_TRUE(Link().HasHandle());
    Unit().armFault(sim::Fault::leaveBus().onCode(op.code));
    EXPECT_EQ(op.run(), SiteResultCode::Fail);
    EXPECT_FALSE(Link().HasHandle());
    EXPECT_EQ(Link().IsBusy(), 0);
  }
}

TEST_F(UnitInfoTest, OperationsOnASiteWithoutUnitOrIndexFail) {
  for (int site : {3, 8, -1}) {
    EXPECT_EQ(PowerLedFlash(rig.system, site), SiteResultCode::Fail);
    EXPECT_EQ(BiosNumberGet(rig.system, site), SiteResultCode::Fail);
    EXPECT_EQ(ReadSeriesNumber(rig.system, site), SiteResultCode::Fail);
    EXPECT_EQ(SelfTest(rig.system, site), SiteResultCode::Fail);
  }
}

}  // namespace
