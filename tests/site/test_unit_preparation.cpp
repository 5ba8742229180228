// Unit preparation (opcodes 9, 10, 11) against simulated units: what reaches the units, what
// is logged, and how every failure ends the site's queue.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "sim/crc32.h"
#include "sim/unit_commands.h"
#include "sim/unit_memory.h"
#include "site/command.h"
#include "site/ops/unit_preparation_ops.h"
#include "site/rescan.h"
#include "site/site_wait.h"
#include "tests/site/site_test_rig.h"
#include "tests/site/site_waits.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr std::size_t kDriverBytes = 100000;
constexpr std::size_t kFpgaBytes = 1000;
const std::vector<Opcode> kPreparation = {Opcodes::CheckUsbPower, Opcodes::HardwareSettings,
                                          Opcodes::DriverSettings};

std::string Pattern(std::size_t length, std::uint8_t seed) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 31 + seed) % 251);
  return bytes;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// A system on `units` simulated units (unit k on site k) with a base folder holding the
// hardware INI, one driver file and one FPGA file, named in every site's driver record.
struct Bench {
  explicit Bench(int units = 1) : rig(units) {
    folder.Write("System/Hardware.ini", "[Hardware]\nVDD_Offset=21\nBurnInTest_ErrorCount=3\n");
    WriteDriver(Pattern(kDriverBytes, 1));
    WriteFpga(Pattern(kFpgaBytes, 2));
    rig.system.SetPaths(SystemPaths{folder.Path(), folder.Path(), folder.Path(), ""});
    ProjectRecords& records = rig.system.Project().Records();
    for (std::size_t slot = 0; slot < 4; ++slot) {
      records.DriverImage.SetSlot(slot, 0x1000u + slot);
    }
    for (ZV_Driver_INI& record : records.DriverIni) {
      record.UserWav = "drv.bin";
      record.FPGAFile = "fpga.bin";
    }
    for (int k = 0; k < units; ++k) rig.Unit(k).setDateTimeId(static_cast<std::uint64_t>(k + 1));
    EXPECT_TRUE(RescanUnits(rig.system));
    rig.captured.Clear();
  }

  void WriteDriver(const std::string& bytes) {
    driver = folder.Write("DataBase/Driver/drv.bin", bytes);
  }
  void WriteFpga(const std::string& bytes) { fpga = folder.Write("DataBase/FPGA/fpga.bin", bytes); }

  // Runs the queue on the sites at once and waits until all have ended.
  void Run(const std::vector<int>& sites, const std::vector<Opcode>& opcodes = kPreparation) {
    for (int site : sites) {
      OpcodeQueue queue;
      for (Opcode opcode : opcodes) queue.push(opcode);
      EXPECT_TRUE(Command(rig.system, site, queue).Started());
    }
    WaitForSitesOrFail(rig.system);
    for (int site : sites) {
      EXPECT_TRUE(WaitUntil([&] { return !rig.system.Engine().IsRunning(site); }));
    }
  }
  // The next command the unit receives is number `CommandsSoFar(k) + 1`.
  std::uint64_t CommandsSoFar(int k) { return rig.Unit(k).record().commandCount; }

  TempFolder folder;
  std::string driver;
  std::string fpga;
  SiteRig rig;
};

// The lines of one passing standard command.
std::vector<std::string> Passing(int site, const std::string& stem) {
  const std::string head = "Site #" + std::to_string(site + 1) + " - " + stem;
  return {head, head + " Pass"};
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<std::string> Tails(int site, std::initializer_list<const char*> tails) {
  std::vector<std::string> lines;
  for (const char* tail : tails) lines.push_back("Site #" + std::to_string(site + 1) + tail);
  return lines;
}

std::vector<std::string> PassingPreparation(int site) {
  return Join({Passing(site, "Check USB Power"), Passing(site, "Hardware Init Setting"),
               Passing(site, "Driver INI Setting"), Passing(site, "Check CRC32 of Driver"),
               Passing(site, "FPGA Init")});
}

TEST(UnitPreparationTest, ThreeSitesArePreparedAtOnce) {
  Bench bench(3);
  bench.Run({0, 1, 2});
  const std::vector<std::uint8_t> driver = Bytes(Pattern(kDriverBytes, 1));
  const std::vector<std::uint8_t> fpga = Bytes(Pattern(kFpgaBytes, 2));
  for (int site = 0; site < 3; ++site) {
    SCOPED_TRACE(site);
    EXPECT_EQ(bench.rig.panels.Status(site), siPass);
    EXPECT_EQ(bench.rig.captured.TextsOf(site), PassingPreparation(site));
    EXPECT_TRUE(bench.rig.captured.Has("Site #" + std::to_string(site + 1) + " - FPGA Init Pass",
                                       LogColour::Green));
    sim::SimUnit& unit = bench.rig.Unit(site);
    const sim::UnitRecord record = unit.record();
    EXPECT_EQ(record.codes().size(), 12u);  // greeting (3) and the nine of the preparation
    const std::vector<std::uint16_t> all = record.codes();
    const std::vector<std::uint16_t> codes(all.begin() + 3, all.end());
    EXPECT_EQ(codes, (std::vector<std::uint16_t>{
                         sim::Code::CheckUsbPower, sim::Code::BulkOut, sim::Code::HardwareInit,
                         sim::Code::BulkOut, sim::Code::DriverIniSetting, sim::Code::BulkOut,
                         sim::Code::CheckDriverCrc, sim::Code::BulkOut, sim::Code::FpgaInit}));
    // Each image goes as one chunk of its whole size to its address.
    const auto transfers = record.commandsWithCode(sim::Code::BulkOut);
    ASSERT_EQ(transfers.size(), 4u);
    const std::uint32_t lengths[] = {16384, 16384, kDriverImageLimit, kFpgaImageLimit};
    const std::uint32_t addresses[] = {UnitAddress::Settings, UnitAddress::Settings,
                                       UnitAddress::DriverImage, UnitAddress::FpgaImage};
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(transfers[i].block.p(1), lengths[i]) << i;
      EXPECT_EQ(transfers[i].block.p(2), 1u) << i;
      EXPECT_EQ(transfers[i].block.p(3), addresses[i]) << i;
    }
    // The CRC of the file's bytes as argument 2, the file's length as p4.
    const sim::DecodedBlock crc = record.commandsWithCode(sim::Code::CheckDriverCrc).front().block;
    EXPECT_EQ(crc.argument2, sim::crc32(driver));
    EXPECT_EQ(crc.p(4), kDriverBytes);
    EXPECT_EQ(crc.commandByte, 1);
    // Images padded with 0xFF to their transfer size.
    EXPECT_EQ(unit.readMemory(UnitAddress::DriverImage, kDriverBytes), driver);
    EXPECT_EQ(unit.readMemory(UnitAddress::DriverImage + kDriverBytes, 16),
              std::vector<std::uint8_t>(16, 0xFF));
    EXPECT_EQ(unit.readMemory(UnitAddress::FpgaImage, kFpgaBytes), fpga);
    // The driver settings image is the last one at the settings address.
    const DriverIniImage& image = bench.rig.system.Project().Records().DriverImage;
    EXPECT_EQ(unit.readMemory(UnitAddress::Settings, image.Size()),
              std::vector<std::uint8_t>(image.Bytes().begin(), image.Bytes().end()));
    sim::PreparationState state;
    unit.withState<sim::PreparationState>([&](const sim::PreparationState& s) { state = s; });
    EXPECT_TRUE(state.hardwareSet && state.driverSettingsSet && state.driverCrcGood &&
                state.fpgaReady);
    EXPECT_EQ(state.hardwareValues,
              (std::array<std::int32_t, 10>{21, 20, 20, 20, 700, 650, 1600, 1600, 1, 3}));
    EXPECT_EQ(bench.rig.system.Link(site).IsBusy(), 0);
  }
}

struct FailureCase {
  const char* name;
  std::function<void(Bench&)> arrange;
  std::vector<Opcode> queue;
  std::vector<std::string> lines;  // everything site 1 logs
  std::uint64_t commands;          // command blocks the unit received
};

// Arms the fault on the n-th command block of the queue still to come.
std::function<void(Bench&)> AtCommand(sim::Fault fault, std::uint64_t n) {
  return [fault, n](Bench& bench) mutable {
    bench.rig.Unit(0).armFault(fault.atCommand(bench.CommandsSoFar(0) + n));
  };
}

std::function<void(Bench&)> OnCode(sim::Fault fault, std::uint16_t code) {
  return [fault, code](Bench& bench) mutable { bench.rig.Unit(0).armFault(fault.onCode(code)); };
}

std::function<void(Bench&)> Remove(const char* relative) {
  return [relative](Bench& bench) { std::filesystem::remove(bench.folder.Path() + relative); };
}

TEST(UnitPreparationTest, EachFailureStopsTheQueueWithItsLines) {
  const std::vector<Opcode> hardware = {Opcodes::HardwareSettings};
  const std::vector<Opcode> driver = {Opcodes::DriverSettings};
  const auto settingsPassed = Passing(0, "Driver INI Setting");
  const auto crcPassed = Join({settingsPassed, Passing(0, "Check CRC32 of Driver")});
  const FailureCase cases[] = {
      {"power refused",
       OnCode(sim::Fault::refuse(), sim::Code::CheckUsbPower),
       {Opcodes::CheckUsbPower},
       Tails(0, {" - Check USB Power", " - Check USB Power Command Error!"}),
       1},
      {"no hardware INI", Remove("System/Hardware.ini"), kPreparation,
       Join({Passing(0, "Check USB Power"), Tails(0, {" - Hardware INI File Does Not Exist!"})}),
       1},
      {"hardware image not acknowledged",
       OnCode(sim::Fault::failChunkAck(sim::kLastChunk), sim::Code::BulkOut), hardware,
       Tails(0, {" - Hardware INI Send Fail!"}), 1},
      {"hardware init garbage", OnCode(sim::Fault::garbage(0x5A), sim::Code::HardwareInit),
       hardware,
       Tails(0, {" - Hardware Init Setting", " - Hardware Init Setting Ack Error!",
                 " - Hardware Init Setting Fail!"}),
       2},
      {"driver INI transfer refused", OnCode(sim::Fault::refuse(), sim::Code::BulkOut), driver,
       Tails(0, {" - BulkOut Command Error!", " - Driver INI Send Fail!"}), 1},
      {"driver INI setting failed", OnCode(sim::Fault::fail(), sim::Code::DriverIniSetting), driver,
       Tails(0, {" - Driver INI Setting", " - Driver INI Setting Fail!",
                 " - Driver INI Setting Fail!"}),
       2},
      {"no driver file", Remove("DataBase/Driver/drv.bin"), driver,
       Join({settingsPassed, Tails(0, {" - Driver File Does Not Exist!"})}), 2},
      {"driver name outside the database",
       [](Bench& bench) {
         bench.rig.system.Project().Records().DriverIni[0].UserWav = "../../System/Hardware.ini";
       },
       driver, Join({settingsPassed, Tails(0, {" - Driver File Does Not Exist!"})}), 2},
      {"CRC rejected", OnCode(sim::Fault::fail(), sim::Code::CheckDriverCrc), driver,
       Join({settingsPassed,
             Tails(0, {" - Check CRC32 of Driver", " - Check CRC32 of Driver Fail!"})}),
       4},
      {"no FPGA file", Remove("DataBase/FPGA/fpga.bin"), driver,
       Join({crcPassed, Tails(0, {" - FPGA File Does Not Exist!"})}), 4},
      {"FPGA transfer refused", AtCommand(sim::Fault::refuse(), 5), driver,
       Join({crcPassed, Tails(0, {" - BulkOut Command Error!"})}), 5},
      {"FPGA init failed", OnCode(sim::Fault::fail(), sim::Code::FpgaInit), driver,
       Join({crcPassed, Tails(0, {" - FPGA Init", " - FPGA Init Fail!"})}), 6},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench;
    c.arrange(bench);
    const std::uint64_t before = bench.CommandsSoFar(0);
    bench.Run({0}, c.queue);
    EXPECT_EQ(bench.rig.panels.Status(0), siFail);
    EXPECT_EQ(bench.rig.captured.TextsOf(0), c.lines);
    EXPECT_EQ(bench.CommandsSoFar(0) - before, c.commands);
    for (const std::string& line : c.lines) {
      if (line.back() == '!') {
        EXPECT_TRUE(bench.rig.captured.Has(line, LogColour::Red)) << line;
      }
    }
    EXPECT_EQ(bench.rig.system.Link(0).IsBusy(), 0);
    EXPECT_TRUE(bench.rig.system.Link(0).HasHandle());
  }
}

TEST(UnitPreparationTest, AFailedDriverTransferIsJudgedByTheUnitsCrc) {
  // The chunk arrived but its acknowledgement said no: the unit's CRC check decides.
  Bench bench;
  AtCommand(sim::Fault::failChunkAck(sim::kLastChunk), 3)(bench);
  bench.Run({0}, {Opcodes::DriverSettings});
  EXPECT_EQ(bench.rig.panels.Status(0), siPass);
  EXPECT_EQ(bench.rig.captured.TextsOf(0),
            Join({Passing(0, "Driver INI Setting"), Passing(0, "Check CRC32 of Driver"),
                  Passing(0, "FPGA Init")}));
}

TEST(UnitPreparationTest, ImagesAreCutAtTheirLimits) {
  struct Case {
    std::size_t driver;
    std::size_t fpga;
  };
  const Case cases[] = {
      {kDriverImageLimit, kFpgaImageLimit},
      {kDriverImageLimit + 1, kFpgaImageLimit + 100},
      {(1u << 20) + 10, 2 * kFpgaImageLimit},  // longer than any buffer of the transfer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.driver) + " / " + std::to_string(c.fpga));
    Bench bench;
    const std::string driver = Pattern(c.driver, 3);
    const std::string fpga = Pattern(c.fpga, 4);
    bench.WriteDriver(driver);
    bench.WriteFpga(fpga);
    bench.Run({0}, {Opcodes::DriverSettings});
    EXPECT_EQ(bench.rig.panels.Status(0), siPass);
    const std::vector<std::uint8_t> sent = Bytes(driver.substr(0, kDriverImageLimit));
    const sim::UnitRecord record = bench.rig.Unit(0).record();
    const sim::DecodedBlock crc = record.commandsWithCode(sim::Code::CheckDriverCrc).front().block;
    EXPECT_EQ(crc.p(4), kDriverImageLimit);
    EXPECT_EQ(crc.argument2, sim::crc32(sent));
    EXPECT_TRUE(record.protocolErrors.empty());
    EXPECT_EQ(bench.rig.Unit(0).readMemory(UnitAddress::DriverImage, kDriverImageLimit), sent);
    EXPECT_EQ(bench.rig.Unit(0).readMemory(UnitAddress::FpgaImage, kFpgaImageLimit),
              Bytes(fpga.substr(0, kFpgaImageLimit)));
  }
}

TEST(UnitPreparationTest, UnitsPulledDuringTheImageTransfersEndWithNoneAndTheOthersPass) {
  Bench bench(3);
  // Within 9, 10, 11 the driver image is the sixth command block, the FPGA image the eighth.
  const sim::Fault leave = sim::Fault::leaveBus(sim::ReplyStage::ChunkAck);
  bench.rig.Unit(1).armFault(sim::Fault(leave).atCommand(bench.CommandsSoFar(1) + 6));
  bench.rig.Unit(2).armFault(sim::Fault(leave).atCommand(bench.CommandsSoFar(2) + 8));
  bench.Run({0, 1, 2});

  EXPECT_EQ(bench.rig.panels.Status(0), siPass);
  EXPECT_EQ(bench.rig.captured.TextsOf(0), PassingPreparation(0));
  const auto beforeImages = [](int site) {
    return Join({Passing(site, "Check USB Power"), Passing(site, "Hardware Init Setting"),
                 Passing(site, "Driver INI Setting")});
  };
  EXPECT_EQ(bench.rig.captured.TextsOf(1),
            Join({beforeImages(1), Tails(1, {" - Check CRC32 of Driver",
                                             " - Check CRC32 of Driver Command Error!"})}));
  EXPECT_EQ(bench.rig.captured.TextsOf(2),
            Join({beforeImages(2), Passing(2, "Check CRC32 of Driver")}));
  for (int site : {1, 2}) {
    SCOPED_TRACE(site);
    EXPECT_EQ(bench.rig.panels.Status(site), siNone);
    EXPECT_FALSE(bench.rig.system.Link(site).HasHandle());
    EXPECT_TRUE(bench.rig.Unit(site).record().commandsWithCode(sim::Code::FpgaInit).empty());
  }
}

TEST(UnitPreparationTest, AUnitThatNeverAnswersFpgaInitIsEndedByItsRemoval) {
  // The silent unit is on the last site, so the rescan's ordering leaves the other in place.
  Bench bench(2);
  sim::SimUnit& unit = bench.rig.Unit(1);
  unit.armFault(sim::Fault::neverAnswer().onCode(sim::Code::FpgaInit));
  // Replies of 9, 10, 11 up to the acceptance of FPGA Init: eight answered commands with two
  // replies each (acceptance and completion or chunk acknowledgement), then one.
  const std::uint64_t awaited = unit.record().repliesSent + 17;
  for (int site : {0, 1}) {
    OpcodeQueue queue =
        MakeQueue({Opcodes::CheckUsbPower, Opcodes::HardwareSettings, Opcodes::DriverSettings});
    ASSERT_TRUE(Command(bench.rig.system, site, queue).Started());
  }
  ASSERT_TRUE(WaitUntil([&] { return unit.record().repliesSent >= awaited; }));
  bench.rig.rig.bus->pull(unit);
  RescanUnits(bench.rig.system);  // the removal notice's rescan closes the link
  WaitForSitesOrFail(bench.rig.system);
  for (int site : {0, 1}) {
    ASSERT_TRUE(WaitUntil([&] { return !bench.rig.system.Engine().IsRunning(site); }));
  }

  EXPECT_EQ(bench.rig.panels.Status(1), siNone);
  const std::vector<std::string> lines = bench.rig.captured.TextsOf(1);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
            Tails(1, {" - FPGA Init", " - FPGA Init Ack Error!"}));
  EXPECT_FALSE(bench.rig.system.Link(1).HasHandle());
  EXPECT_EQ(bench.rig.captured.TextsOf(0), PassingPreparation(0));
  EXPECT_TRUE(bench.rig.system.Link(0).HasHandle());
}

}  // namespace
