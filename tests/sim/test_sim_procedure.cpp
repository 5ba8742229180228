// A PC-mode procedure run on one unit: merge, step replies, data chunks streamed without
// announcement, and a virtual part whose cells erase, program and verify.
#include <gtest/gtest.h>

#include "sim/procedure_commands.h"
#include "sim/sim_factory.h"
#include "tests/sim/sim_test_pc.h"

namespace {

using simtest::makeBlock;
using simtest::Pc;
namespace Step = sim::StepCode;

struct Procedure : ::testing::Test {
  sim::SimRig rig = sim::makeSimRig(1);
  sim::SimUnit& unit = *rig.units[0];
  Pc pc{*rig.bus};

  void setList(const std::vector<std::uint16_t>& steps) {
    std::vector<std::uint8_t> list(65536, 0xFF);
    for (std::size_t i = 0; i < steps.size(); ++i) {
      list[2 * i] = static_cast<std::uint8_t>(steps[i]);
      list[2 * i + 1] = static_cast<std::uint8_t>(steps[i] >> 8);
    }
    unit.writeMemory(0x23C10000, list);
  }
  void merge(std::uint32_t length) {
    auto block = makeBlock(0x0000, 1, {0, 0, 0x20000000, length, 0, 0, length}, 0xA3);
    ASSERT_EQ(pc.write(block), 1024);
    ASSERT_EQ(pc.replyByte(), 0xA0);
  }
  // The step reply: byte 0 and the verdict byte 55 (or the read error).
  std::pair<int, int> step(std::array<std::uint8_t, 512>* out = nullptr) {
    std::array<std::uint8_t, 512> r{};
    const int n = pc.read(r.data(), r.size(), 200);
    if (out) *out = r;
    return n == 512 ? std::make_pair(int{r[0]}, int{r[55]}) : std::make_pair(n, n);
  }
  // One data chunk as the PC's file-range sender moves it: 1 MiB, padded with 0xFF.
  void streamChunk(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> chunk(0x100000, 0xFF);
    std::copy(data.begin(), data.end(), chunk.begin());
    ASSERT_EQ(pc.write(chunk), 0x100000);
    ASSERT_EQ(pc.replyByte(), 0xA0);
  }
};

const std::pair<int, int> kPass{0xA0, 0xA0};

TEST_F(Procedure, EraseBlankProgramVerifyOnOneChunk) {
  std::vector<std::uint8_t> data(1500);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 3 + 1);
  setList({Step::InsertDetect, Step::ChipErase, Step::BlankCheck, Step::DataChunk, Step::Program,
           Step::Verify});
  merge(1500);
  EXPECT_EQ(step(), kPass);       // insert detect
  EXPECT_EQ(step(), kPass);       // erase
  EXPECT_EQ(step(), kPass);       // blank
  EXPECT_EQ(step().first, -110);  // the unit now waits for data
  EXPECT_EQ(unit.phase(), sim::UnitPhase::DataStream);
  streamChunk(data);
  EXPECT_EQ(step(), kPass);  // program
  EXPECT_EQ(step(), kPass);  // verify
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Idle);

  // Blank check on the programmed part fails at the first programmed byte.
  setList({Step::BlankCheck, Step::DataChunk, Step::Program});
  merge(1500);
  std::array<std::uint8_t, 512> r{};
  EXPECT_EQ(step(&r), std::make_pair(0xA0, 0xA1));
  EXPECT_EQ(sim::readLe32(r.data() + 37), 0u);
  EXPECT_EQ(r[60], 1);
  EXPECT_NE(r[68], 0xA3);
  EXPECT_EQ(step().first, -110);  // the run stopped there
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Idle);

  // Programming other data without an erase: verify finds the cells that cannot go to 1.
  std::vector<std::uint8_t> other(1500, 0xFF);
  other[700] = 0xFE;
  setList({Step::DataChunk, Step::Program, Step::Verify});
  merge(1500);
  streamChunk(other);
  EXPECT_EQ(step(), kPass);
  EXPECT_EQ(step(&r), std::make_pair(0xA0, 0xA1));
  EXPECT_EQ(sim::readLe32(r.data() + 37), 0u);
  EXPECT_EQ(r[56], 0xFF);
  EXPECT_EQ(r[60], data[0]);
}

TEST_F(Procedure, TwoChunksAreStreamedAgainForVerify) {
  // A short chunk length keeps the test quick; the PC's 60 MiB chunks take the same path.
  unit.withState<sim::ProcedureState>([](auto& s) { s.dataChunkLength = 2048; });
  std::vector<std::uint8_t> first(2048, 0x12);
  std::vector<std::uint8_t> second(1000, 0x34);
  setList({Step::DataChunk, Step::Program, Step::DataChunk, Step::Program, Step::DataChunk,
           Step::Verify, Step::DataChunk, Step::Verify});
  merge(2048 + 1000);
  streamChunk(first);
  EXPECT_EQ(step(), kPass);
  streamChunk(second);
  EXPECT_EQ(step(), kPass);
  streamChunk(first);  // verify streams chunk 0 again
  EXPECT_EQ(step(), kPass);
  streamChunk(second);
  EXPECT_EQ(step(), kPass);
  bool passed = false;
  unit.withState<sim::ProcedureState>([&](auto& s) { passed = s.passedRuns == 1; });
  EXPECT_TRUE(passed);

  // The second chunk programmed at offset 2048: verifying it as chunk 0 fails there.
  setList({Step::DataChunk, Step::Verify});
  merge(2048 + 1000);
  streamChunk(second);
  std::array<std::uint8_t, 512> r{};
  EXPECT_EQ(step(&r), std::make_pair(0xA0, 0xA1));
  EXPECT_EQ(sim::readLe32(r.data() + 37), 0u);
  EXPECT_EQ(r[56], 0x34);
  EXPECT_EQ(r[60], 0x12);
}

TEST_F(Procedure, EmptySocketIdOverCurrentProtectionAndFaults) {
  unit.withState<sim::ProcedureState>([](auto& s) { s.part.inserted = false; });
  setList({Step::InsertDetect, Step::ChipErase});
  merge(16);
  EXPECT_EQ(step(), std::make_pair(0xA0, 0xA5));
  EXPECT_EQ(step().first, -110);

  unit.withState<sim::ProcedureState>([](auto& s) {
    s.part = sim::VirtualPart{};
    s.part.overCurrentStep = Step::ChipErase;
  });
  setList({Step::IdCheck, Step::Protect, Step::ChipErase});
  merge(16);
  std::array<std::uint8_t, 512> r{};
  EXPECT_EQ(step(&r), kPass);
  EXPECT_EQ(r[64] | (r[65] << 8), 0x00C2);
  EXPECT_EQ(r[66] | (r[67] << 8), 0x2018);
  EXPECT_EQ(step(), kPass);  // protect
  EXPECT_EQ(step().first, 0xA3);

  unit.withState<sim::ProcedureState>([](auto& s) { s.part.overCurrentStep = 0; });
  setList({Step::ChipErase});
  merge(16);
  EXPECT_EQ(step(), std::make_pair(0xA0, 0xA1));  // still protected

  unit.armFault(sim::Fault::fail().onCode(Step::UnProtect));
  setList({Step::UnProtect, Step::ChipErase});
  merge(16);
  EXPECT_EQ(step().first, 0xA1);
  EXPECT_EQ(step().first, -110);
}

}  // namespace
