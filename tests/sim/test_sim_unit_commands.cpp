// The preparation, maintenance and firmware update families: what each answers and what it
// does to the unit.
#include <gtest/gtest.h>

#include <thread>

#include "sim/crc32.h"
#include "sim/sim_factory.h"
#include "sim/unit_commands.h"
#include "sim/unit_memory.h"
#include "tests/sim/sim_test_pc.h"

namespace {

using simtest::makeBlock;
using simtest::Pc;

// One unit without the virtual operator: nothing but the test presses its start key.
sim::RigOptions OneUnitAlone() {
  sim::RigOptions options;
  options.units = 1;
  options.virtualOperator = false;
  return options;
}

struct Unit : ::testing::Test {
  sim::SimRig rig = sim::makeSimRig(OneUnitAlone());
  sim::SimUnit& unit = *rig.units[0];
  Pc pc{*rig.bus};

  std::array<std::uint8_t, 512> completion(const simtest::Block& b) {
    std::array<std::uint8_t, 512> r{};
    r[0] = 0xEE;
    if (pc.write(b) == 1024 && pc.replyByte() == 0xA0) pc.read(r.data(), r.size());
    return r;
  }
};

TEST(SimCrc32, KnownValues) {
  const std::string text = "123456789";
  EXPECT_EQ(sim::crc32({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}),
            0xCBF43926u);
  EXPECT_EQ(sim::crc32({}), 0u);
}

TEST_F(Unit, DriverCrcCheckComparesTheImageInMemory) {
  std::vector<std::uint8_t> image(100000);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13);
  unit.writeMemory(sim::UnitAddress::DriverImage, image);
  auto check = makeBlock(sim::Code::CheckDriverCrc, 1, {0, 0, 0, 100000, 0, 0, 0});
  simtest::putLe32(check, 10, sim::crc32(image));
  EXPECT_EQ(pc.command(check), std::make_pair(0xA0, 0xA0));
  simtest::putLe32(check, 10, sim::crc32(image) ^ 1);
  EXPECT_EQ(pc.command(check), std::make_pair(0xA0, 0xA1));
  simtest::putLe32(check, 32 + 12, 0xC0001);  // longer than a driver image can be
  EXPECT_EQ(pc.command(check), std::make_pair(0xA0, 0xA1));
  EXPECT_EQ(pc.command(makeBlock(sim::Code::FpgaInit)), std::make_pair(0xA0, 0xA1));  // no image
  unit.writeMemory(sim::UnitAddress::FpgaImage + 0x24BFF, std::vector<std::uint8_t>{0x00});
  std::vector<std::uint8_t> hardware(40, 0);
  hardware[0] = 21;     // VDD_Offset
  hardware[36] = 0xFE;  // BurnInTest_ErrorCount -2
  hardware[37] = hardware[38] = hardware[39] = 0xFF;
  unit.writeMemory(sim::UnitAddress::SettingsImage, hardware);
  for (std::uint16_t code : {sim::Code::CheckUsbPower, sim::Code::HardwareInit,
                             sim::Code::DriverIniSetting, sim::Code::FpgaInit}) {
    EXPECT_EQ(pc.command(makeBlock(code)), std::make_pair(0xA0, 0xA0)) << code;
  }
  sim::PreparationState state;
  unit.withState<sim::PreparationState>([&](auto& s) { state = s; });
  EXPECT_TRUE(state.hardwareSet && state.fpgaReady);
  EXPECT_EQ(state.hardwareValues[0], 21);
  EXPECT_EQ(state.hardwareValues[9], -2);
}

TEST_F(Unit, FirmwareNumberAndVersionBytes) {
  unit.setFirmware({2, {2, '.', 10, 'A'}});
  EXPECT_EQ(completion(makeBlock(sim::Code::BiosNumberGet, 0))[20], 2);
  const auto v = completion(makeBlock(sim::Code::BiosVersionGet, 0));
  EXPECT_EQ(std::vector<std::uint8_t>(v.begin() + 12, v.begin() + 16),
            (std::vector<std::uint8_t>{2, '.', 10, 'A'}));
}

TEST_F(Unit, SelfTestLeavesAZeroPaddedMessage) {
  unit.writeMemory(0x20000000, std::vector<std::uint8_t>(64, 0x55));
  EXPECT_EQ(pc.command(makeBlock(sim::Code::SelfTest, 1, {0, 0, 0x20000000})),
            std::make_pair(0xA0, 0xA0));
  const auto area = unit.readMemory(0x20000000, 0x100000);
  EXPECT_EQ(area[0], 0xA0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data() + 2)).substr(0, 15),
            "SDRAM Test Pass");
  EXPECT_EQ(area.back(), 0);
  unit.withState<sim::MaintenanceState>([](auto& s) { s.selfTestFails = true; });
  EXPECT_EQ(pc.command(makeBlock(sim::Code::SelfTest, 1, {0, 0, 0x20000000})).second, 0xA2);
  EXPECT_EQ(unit.readMemory(0x20000000, 1)[0], 0xA1);
}

// The operator presses the key when a detection finds it unpressed: with the timing model off
// the next detection finds the press, and every press is found once.
TEST(SimOperator, PressesTheStartKeyTheUnitWaitsFor) {
  sim::SimRig rig = sim::makeSimRig(1);
  Pc pc{*rig.bus};
  const auto key = makeBlock(sim::Code::DetectStartKey, 1);
  std::vector<int> answers;
  for (int look = 0; look < 4; ++look) answers.push_back(pc.command(key).second);
  EXPECT_EQ(answers, (std::vector<int>{0xA1, 0xA0, 0xA1, 0xA0}));
}

TEST_F(Unit, StartKeyBurnInAndIoMode) {
  auto key = makeBlock(sim::Code::DetectStartKey, 1);
  EXPECT_EQ(pc.command(key).second, 0xA1);
  unit.withState<sim::MaintenanceState>([](auto& s) { s.startKeyPresses = 1; });
  EXPECT_EQ(pc.command(key).second, 0xA0);
  EXPECT_EQ(pc.command(key).second, 0xA1);  // one press, one detection
  EXPECT_EQ(pc.write(makeBlock(sim::Code::BurnInTest, 1)), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  EXPECT_EQ(pc.replyByte(20), -110);  // the burn-in never reports
  auto io = makeBlock(0, 1, {}, 0xA9);
  io[3] = 0;
  EXPECT_EQ(pc.write(io), 1024);
  bool ioSet = false;
  unit.withState<sim::MaintenanceState>([&](auto& s) { ioSet = s.ioModeSet && s.burnInRunning; });
  EXPECT_TRUE(ioSet);
}

TEST_F(Unit, ResetRestartsTheUnitOnTheBus) {
  std::mutex m;
  std::vector<sim::DeviceNotice::Kind> kinds;
  rig.bus->setNoticeCallback([&](const sim::DeviceNotice& n) {
    std::lock_guard lock(m);
    kinds.push_back(n.kind);
  });
  EXPECT_EQ(pc.write(makeBlock(sim::Code::Reset, 0)), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);  // accepted, then gone (the notices below show the leave)
  EXPECT_EQ(pc.write(makeBlock(sim::Code::ConnectNotice, 0)), -19);  // the old attachment's handle
  for (int i = 0; i < 6000 && !rig.bus->isPlugged(unit); ++i) {      // hang guard: 60 s
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(rig.bus->isPlugged(unit));
  rig.bus->waitForNotices();
  {
    std::lock_guard lock(m);
    EXPECT_EQ(kinds, (std::vector<sim::DeviceNotice::Kind>{sim::DeviceNotice::Kind::Removal,
                                                           sim::DeviceNotice::Kind::Arrival}));
  }
  rig.bus->setNoticeCallback(nullptr);
  Pc again(*rig.bus);
  EXPECT_EQ(again.command(makeBlock(sim::Code::ConnectNotice, 0)).second, 0xA0);
}

TEST_F(Unit, MasterFirmwareUpdateChecksTheTrailer) {
  std::vector<std::uint8_t> image(0x80000, 0xFF);
  for (std::size_t i = 0; i < 0x1000; ++i) image[i] = static_cast<std::uint8_t>(i);
  const std::array<std::uint8_t, 4> version{1, '.', 4, 0};
  std::copy(version.begin(), version.end(), image.begin() + 0x7FFF4);
  auto setTrailer = [&](std::uint32_t covered, std::uint32_t crc) {
    for (int i = 0; i < 4; ++i) {
      image[0x7FFF8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(covered >> (8 * i));
      image[0x7FFFC + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    unit.writeMemory(0x20000000, image);
  };
  auto update = makeBlock(sim::Code::UpdateMasterBios, 0);
  setTrailer(0x1000, sim::crc32({image.data(), 0x1000}) ^ 1);
  EXPECT_EQ(pc.command(update).second, 0xA2);
  setTrailer(0x7FC01, 0);
  EXPECT_EQ(pc.command(update).second, 0xA2);
  EXPECT_EQ(unit.firmware().version[2], 3);  // unchanged so far
  setTrailer(0x1000, sim::crc32({image.data(), 0x1000}));
  EXPECT_EQ(pc.command(update).second, 0xA0);
  EXPECT_EQ(unit.firmware().version, version);
}

}  // namespace
