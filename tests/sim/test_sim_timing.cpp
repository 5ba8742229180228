// The timing model's arithmetic on its own clock: the shared link's fair split, step times
// by part kind, and the minimum time a benchmark compares its wall time with.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "sim/shared_link.h"
#include "sim/work_estimate.h"

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;
namespace Step = sim::StepCode;

struct Start {
  std::int64_t at;  // ns
  std::uint64_t bytes;
};

struct LinkCase {
  const char* name;
  std::vector<Start> starts;
  std::vector<std::int64_t> ends;  // ns, in start order
};

// At 1e9 bytes per second one byte takes one nanosecond alone on the link.
TEST(SharedLink, ConcurrentTransfersSplitTheRateEvenly) {
  const std::vector<LinkCase> cases = {
      {"alone", {{0, 1000}}, {1000}},
      {"two equal", {{0, 1000}, {0, 1000}}, {2000, 2000}},
      {"short one leaves, long one speeds up", {{0, 1000}, {0, 500}}, {1500, 1000}},
      {"late arrival", {{0, 1000}, {500, 1000}}, {1500, 2000}},
      {"eight units", std::vector<Start>(8, {0, 1000}), std::vector<std::int64_t>(8, 8000)},
      {"after an idle gap", {{0, 100}, {1000, 100}}, {100, 1100}},
      {"empty transfer", {{40, 0}}, {40}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SharedLink link(1e9);
    std::vector<std::uint64_t> ids;
    for (const Start& s : c.starts) ids.push_back(link.start(nanoseconds(s.at), s.bytes));
    link.advance(nanoseconds(1'000'000));
    EXPECT_EQ(link.active(), 0u);
    for (std::size_t i = 0; i < ids.size(); ++i) {
      EXPECT_TRUE(link.finished(ids[i]));
      EXPECT_EQ(link.endOf(ids[i]).count(), c.ends[i]) << "transfer " << i;
    }
  }
}

TEST(SharedLink, ExpectedEndMovesWhenAnotherTransferStarts) {
  sim::SharedLink link(1e9);
  const auto a = link.start(nanoseconds(0), 1000);
  EXPECT_EQ(link.endOf(a).count(), 1000);
  const auto b = link.start(nanoseconds(500), 1000);
  EXPECT_EQ(link.endOf(a).count(), 1500);
  EXPECT_EQ(link.endOf(b).count(), 2000);  // a leaving at 1500 is played forward
  link.advance(nanoseconds(1499));
  EXPECT_FALSE(link.finished(a));
  link.advance(nanoseconds(1500));
  EXPECT_TRUE(link.finished(a));
  link.forget(a);
  EXPECT_FALSE(link.finished(a));
}

// A model with round numbers: 1 byte per ns on the link, a serial NOR part of 2/3/1 ns per
// byte for erase/program/verify, 1 ms step overhead, 10 us turnaround, 100 times real time.
sim::TimingModel roundModel() {
  sim::TimingModel m;
  m.enabled = true;
  m.scale = 100;
  m.bytesPerSecond = 1e9;
  m.commandTurnaround = microseconds(10);
  m.stepOverhead = microseconds(1000);
  m.defaultCommandDuration = microseconds(2000);
  m.commandDurations = {{sim::Code::InsertDetect, milliseconds(40)}};
  m.parts[static_cast<std::size_t>(sim::PartKind::SerialNor)] = {2, 3, 1, 1, 1};
  return m;
}

TEST(TimingModel, StepTimesGrowWithTheBytesByPartKind) {
  const sim::TimingModel m = roundModel();
  struct Case {
    std::uint16_t code;
    sim::PartKind kind;
    std::uint64_t bytes;
    std::int64_t ns;
  };
  const std::vector<Case> cases = {
      {Step::ChipErase, sim::PartKind::SerialNor, 1000, 1'002'000},
      {Step::Program, sim::PartKind::SerialNor, 1000, 1'003'000},
      {Step::Verify, sim::PartKind::SerialNor, 1000, 1'001'000},
      {Step::InsertDetect, sim::PartKind::SerialNor, 1000, 41'000'000},  // fixed, not sized
      {Step::Protect, sim::PartKind::Nand, 1 << 20, 1'000'000},          // overhead alone
  };
  for (const auto& c : cases) {
    EXPECT_EQ(m.stepTime(c.code, c.kind, c.bytes).count(), c.ns) << std::hex << c.code;
  }
  // Ordered as data sheets have them: an EEPROM byte is slow, a NAND byte fast.
  const sim::TimingModel typical = sim::TimingModel::realistic();
  EXPECT_GT(typical.stepTime(Step::Program, sim::PartKind::Eeprom, 4096),
            typical.stepTime(Step::Program, sim::PartKind::SerialNor, 4096));
  EXPECT_GT(typical.stepTime(Step::Program, sim::PartKind::SerialNor, 1 << 20),
            typical.stepTime(Step::Program, sim::PartKind::Nand, 1 << 20));
  EXPECT_EQ(m.realTime(nanoseconds(1000)).count(), 10);
  sim::TimingModel off = m;
  off.enabled = false;
  EXPECT_EQ(off.stepTime(Step::ChipErase, sim::PartKind::SerialNor, 1000).count(), 0);
  EXPECT_EQ(off.realTime(nanoseconds(1000)).count(), 0);
}

TEST(TimingModel, MinimumTimeAddsTheSharedBusAndOneUnitsOwnWork) {
  const sim::TimingModel m = roundModel();
  sim::Workload w;
  w.units = 8;
  w.busBytesPerUnit = 1000;
  w.acceptedOnly = 2;
  w.completing = {sim::Code::InsertDetect, 0x1234};
  w.part = sim::PartKind::SerialNor;
  w.steps = {{Step::ChipErase, 1000}, {Step::Program, 500}};
  w.unitExtra = milliseconds(5);
  const sim::WorkTime t = sim::minimumTime(m, w);
  EXPECT_EQ(t.bus.count(), 8000);
  // 2 x 10 us + 40 ms + 2 ms + (1 ms + 2000 ns) + (1 ms + 1500 ns) + 5 ms
  EXPECT_EQ(t.unit.count(), 49'023'500);
  EXPECT_EQ(t.total.count(), 49'031'500);
  EXPECT_EQ(t.real.count(), 490'315);

  sim::Workload cycle;
  cycle.units = 8;
  cycle.unitExtra = milliseconds(1000);
  EXPECT_DOUBLE_EQ(sim::partsPerHour(m, cycle), 8 * 3600.0);
}

TEST(TimingModel, RunWorkFollowsTheUnitsChunkIndex) {
  // Two chunks of 2048 bytes at most over 3048 bytes, verify streams both again.
  const auto list = sim::procedureSteps(3048, {}, 2048);
  const std::vector<std::uint16_t> expected = {Step::ChipErase, Step::DataChunk, Step::Program,
                                               Step::DataChunk, Step::Program,   Step::DataChunk,
                                               Step::Verify,    Step::DataChunk, Step::Verify};
  EXPECT_EQ(list, expected);
  const sim::Workload w = sim::runWork(list, 3048, 8192, 2048);
  const std::vector<std::uint64_t> bytes = {8192, 2048, 1000, 2048, 1000};
  ASSERT_EQ(w.steps.size(), bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(w.steps[i].bytes, bytes[i]) << i;
  // A region above 1 KiB goes as one padded 1 MiB chunk, the 1000-byte rest as 1 KiB; each
  // chunk is acknowledged; five step replies.
  EXPECT_EQ(w.busBytesPerUnit, 2 * (0x100000 + 512) + 2 * (1024 + 512) + 5 * 512);

  // One chunk with Program: verify uses the data already in the unit.
  EXPECT_EQ(
      sim::procedureSteps(1500, {}),
      (std::vector<std::uint16_t>{Step::ChipErase, Step::DataChunk, Step::Program, Step::Verify}));
}

TEST(TimingModel, ScenarioEstimatesCountWhatThePcMoves) {
  const sim::TimingModel m = roundModel();
  const std::uint64_t image = 64ull << 20;  // two data chunks of 60 and 4 MiB
  const sim::Workload run = sim::runAllWork(8, image, sim::PartKind::SerialNor, {});
  // Procedure list and driver options (64 KiB, one chunk each), then 2 x 64 MiB streamed.
  const std::uint64_t buffers = 2 * (1024 + 512 + 0x10000 + 512) + 1024 + 512;
  const std::uint64_t streamed = 2 * 64 * (0x100000 + 512);
  EXPECT_EQ(run.busBytesPerUnit, buffers + streamed + 5 * 512);
  const sim::WorkTime t = sim::minimumTime(m, run);
  EXPECT_EQ(t.bus.count(), static_cast<std::int64_t>(8 * run.busBytesPerUnit));
  // Erase of 64 MiB, programs and verifies of 60 + 4 MiB, five step overheads, three accepts.
  EXPECT_EQ(t.unit.count(), static_cast<std::int64_t>(5'000'000 + 6 * image + 30'000));

  const sim::Workload prepared = sim::programmingWork(8, image, sim::PartKind::SerialNor, {});
  EXPECT_GT(sim::minimumTime(m, prepared).total, t.total);

  sim::OperatorOptions hand;
  hand.insertDelayMin = hand.insertDelayMax = milliseconds(600);
  hand.removeDelayMin = hand.removeDelayMax = milliseconds(400);
  const auto cycle = sim::autoLoopCycleWork(8, image, sim::PartKind::SerialNor, {}, hand);
  const auto cycleTime = sim::minimumTime(m, cycle);
  // Four detections of 40 ms and the operator's second on top of the run.
  EXPECT_EQ((cycleTime.unit - t.unit).count(), 4 * 40'000'000 + 1'000'000'000);
  EXPECT_NEAR(sim::partsPerHour(m, cycle), 8 * 3600e9 / cycleTime.total.count(), 1e-6);

  const auto firmware = sim::minimumTime(m, sim::firmwareUpdateWork(8));
  EXPECT_EQ(firmware.unit.count(), 3 * 2'000'000 + 2 * 10'000);  // three commands, two accepts
  const auto card = sim::sdProjectWork(8, {image, 100});
  ASSERT_EQ(card.card.size(), 3u);  // 60 MiB, 4 MiB and the small file
  EXPECT_EQ(card.card[1].bytes, 4u << 20);
  EXPECT_EQ(card.acceptedOnly, 3u);
}

TEST(PartKind, LearntFromTheDriverSettings) {
  struct Case {
    std::uint32_t nand, pins, idSupport;
    sim::PartKind kind;
  };
  const std::vector<Case> cases = {
      {1, 48, 1, sim::PartKind::Nand},
      {0, 48, 1, sim::PartKind::ParallelNor},
      {0, 8, 1, sim::PartKind::SerialNor},
      {0, 8, 0, sim::PartKind::Eeprom},
      {0, 0xFFFFFFFF, 1, sim::PartKind::Default},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> image(0x4000, 0xFF);
    sim::writeLe32(image.data() + 4 * 166, c.nand);
    sim::writeLe32(image.data() + 4 * 167, c.pins);
    sim::writeLe32(image.data() + 4 * 78, c.idSupport);
    EXPECT_EQ(sim::partKindFromDriverSettings(image), c.kind) << sim::partKindName(c.kind);
  }
  EXPECT_EQ(sim::partKindFromDriverSettings({}), sim::PartKind::Default);
}

}  // namespace
