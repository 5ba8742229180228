// The SD card kept in a host folder: result codes, directories, and file pieces moved
// between card files and unit memory.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "sim/sd_card_commands.h"
#include "sim/sim_factory.h"
#include "tests/sim/sim_test_pc.h"

namespace {

namespace fs = std::filesystem;
using simtest::makeBlock;
using simtest::Pc;

// A card command: name packet (directory, file, mode), parameters, argument 1.
simtest::Block cardBlock(std::uint16_t code, const std::string& dir, const std::string& file = "0",
                         std::uint8_t mode = 0, std::vector<std::uint32_t> params = {},
                         std::uint32_t argument1 = 0) {
  auto b = makeBlock(code, 1, params);
  simtest::putLe32(b, 6, argument1);
  for (std::size_t i = 0; i < 32; ++i) b[164 + i] = (i < 20 && i != 16) ? 0 : 0xFF;
  std::copy(dir.begin(), dir.end(), b.begin() + 164);
  std::copy(file.begin(), file.end(), b.begin() + 172);
  b[180] = mode;
  b[184] = '0';
  b[185] = 0;
  return b;
}

struct Card : ::testing::Test {
  fs::path root = fs::temp_directory_path() /
                  ("sim_sd_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  sim::SimRig rig = [this] {
    sim::RigOptions options;
    options.units = 1;
    options.sdCardRoot = root;
    return sim::makeSimRig(options);
  }();
  sim::SimUnit& unit = *rig.units[0];
  Pc pc{*rig.bus};
  ~Card() override { fs::remove_all(root); }

  std::array<std::uint8_t, 512> completion(const simtest::Block& b) {
    std::array<std::uint8_t, 512> r{};
    r[0] = 0xEE;
    if (pc.write(b) == 1024 && pc.replyByte() == 0xA0) pc.read(r.data(), r.size());
    return r;
  }
  int code(const simtest::Block& b) { return completion(b)[0]; }
};

TEST_F(Card, DetectTestAndFreeSpace) {
  EXPECT_EQ(unit.sdCardFolder(), root / "Site1");
  EXPECT_EQ(code(makeBlock(sim::Code::SdDetect)), 0xA0);
  EXPECT_EQ(code(makeBlock(sim::Code::SdTest)), 0xA0);
  unit.withState<sim::SdCardState>([](auto& s) { s.freeKBytes = 4194304; });
  EXPECT_EQ(sim::readLe32(completion(makeBlock(sim::Code::SdFreeSpace)).data() + 390), 4194304u);
  unit.withState<sim::SdCardState>([](auto& s) { s.forcedResult = 0xAC; });
  EXPECT_EQ(code(makeBlock(sim::Code::SdDetect)), 0xAC);

  sim::SimBus bus;
  bus.find_busses();
  auto shared = std::make_shared<sim::SimUnit>();  // no folder: no card
  bus.plug(shared);
  Pc other(bus);
  ASSERT_EQ(other.write(makeBlock(sim::Code::SdDetect)), 1024);
  EXPECT_EQ(other.replyByte(), 0xA0);
  EXPECT_EQ(other.replyByte(), 0xA1);
}

TEST_F(Card, DirectoriesAndNamesThatCannotLeaveTheCard) {
  EXPECT_EQ(code(cardBlock(sim::Code::SdCreateDirectory, "0:PROJ1")), 0xA0);
  EXPECT_TRUE(fs::is_directory(root / "Site1" / "PROJ1"));
  EXPECT_EQ(code(cardBlock(sim::Code::SdCreateDirectory, "PROJ1")), 0xA8);
  EXPECT_EQ(code(cardBlock(sim::Code::SdCreateDirectory, "..")), 0xA5);
  EXPECT_EQ(code(cardBlock(sim::Code::SdCreateDirectory, "0:")), 0xA5);
  EXPECT_EQ(code(cardBlock(sim::Code::SdDeleteDirectory, "0:NONE")), 0xA4);
  EXPECT_EQ(code(cardBlock(sim::Code::SdDeleteDirectory, "0:PROJ1")), 0xA0);
  EXPECT_FALSE(fs::exists(root / "Site1" / "PROJ1"));
  unit.withState<sim::SdCardState>([](auto& s) { s.writeProtected = true; });
  EXPECT_EQ(code(cardBlock(sim::Code::SdCreateDirectory, "P2")), 0xAA);
}

TEST_F(Card, FilePiecesBetweenMemoryAndTheCard) {
  ASSERT_EQ(code(cardBlock(sim::Code::SdCreateDirectory, "P")), 0xA0);
  std::vector<std::uint8_t> first(3000), second(1000);
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<std::uint8_t>(i);
  for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<std::uint8_t>(i * 5);
  auto sum = [](const std::vector<std::uint8_t>& v) {
    return std::accumulate(v.begin(), v.end(), std::uint32_t{0});
  };
  unit.writeMemory(0x20000000, first);
  EXPECT_EQ(code(cardBlock(sim::Code::SdWriteData, "P", "DATA.BIN", 8,
                           {0, 0, 0x20000000, 0, 0, 0, 3000}, sum(first))),
            0xA0);
  unit.writeMemory(0x20000000, second);
  EXPECT_EQ(code(cardBlock(sim::Code::SdWriteData, "P", "DATA.BIN", 8,
                           {0, 0, 0x20000000, 0, 0, 3000, 1000}, sum(second) + 1)),
            0xA9);  // the byte sum does not match
  EXPECT_EQ(code(cardBlock(sim::Code::SdWriteData, "P", "DATA.BIN", 16,
                           {0, 0, 0x20000000, 0, 0, 3000, 1000}, sum(second))),
            0xA0);
  const auto size = completion(cardBlock(sim::Code::SdGetFileSize, "P", "DATA.BIN"));
  EXPECT_EQ(size[0], 0xA0);
  EXPECT_EQ(sim::readLe32(size.data() + 394), 4000u);
  EXPECT_EQ(code(cardBlock(sim::Code::SdGetFileSize, "P", "NONE.BIN")), 0xA3);
  EXPECT_EQ(code(cardBlock(sim::Code::SdGetFileSize, "Q", "DATA.BIN")), 0xA4);

  unit.clearMemory();
  EXPECT_EQ(code(cardBlock(sim::Code::SdReadData, "P", "DATA.BIN", 0,
                           {0, 0, 0x21000000, 0, 0, 2000, 2000})),
            0xA0);
  auto back = unit.readMemory(0x21000000, 2000);
  EXPECT_TRUE(std::equal(first.begin() + 2000, first.end(), back.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), back.begin() + 1000));

  // Mode 8 makes the file anew.
  unit.writeMemory(0x20000000, second);
  EXPECT_EQ(code(cardBlock(sim::Code::SdWriteData, "P", "DATA.BIN", 8,
                           {0, 0, 0x20000000, 0, 0, 0, 1000}, sum(second))),
            0xA0);
  EXPECT_EQ(fs::file_size(root / "Site1" / "P" / "DATA.BIN"), 1000u);
}

}  // namespace
