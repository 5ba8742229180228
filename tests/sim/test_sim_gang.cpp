// The virtual gang through simulated units: the operator answering the insertion polls, the
// share of failing parts and how they fail, and the units' tally of finished parts. The
// timing model is off, so the operator's hand moves at the next poll; its delays are checked
// on a fake clock.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/procedure_commands.h"
#include "sim/sim_factory.h"
#include "sim/virtual_operator.h"
#include "tests/sim/sim_test_pc.h"

namespace {

using simtest::makeBlock;
using simtest::Pc;
namespace Step = sim::StepCode;

const std::vector<std::uint16_t> kFullRun = {Step::IdCheck, Step::ChipErase, Step::DataChunk,
                                             Step::Program, Step::Verify};

// How a run ended: "pass", or the failing step's code with reply bytes 0 and 55.
std::string outcome(std::uint16_t code, int byte0, int verdict) {
  if (code == 0) return "pass";
  return std::to_string(code) + "/" + std::to_string(byte0) + "/" + std::to_string(verdict);
}

struct Gang {
  sim::SimRig rig;
  std::vector<std::unique_ptr<Pc>> pcs;

  explicit Gang(const sim::RigOptions& options) : rig(sim::makeSimRig(options)) {
    for (int k = 0; k < options.units; ++k) pcs.push_back(std::make_unique<Pc>(*rig.bus, k));
  }

  // One run of `steps` over 16 bytes of data on unit k, as the PC follows it.
  std::string run(int k, const std::vector<std::uint16_t>& steps) {
    std::vector<std::uint8_t> list(65536, 0xFF);
    for (std::size_t i = 0; i < steps.size(); ++i) {
      list[2 * i] = static_cast<std::uint8_t>(steps[i]);
      list[2 * i + 1] = static_cast<std::uint8_t>(steps[i] >> 8);
    }
    rig.units[static_cast<std::size_t>(k)]->writeMemory(0x23C10000, list);
    Pc& pc = *pcs[static_cast<std::size_t>(k)];
    if (pc.write(makeBlock(0x0000, 1, {0, 0, 0x20000000, 16, 0, 0, 16}, 0xA3)) != 1024 ||
        pc.replyByte() != 0xA0) {
      return "merge refused";
    }
    for (std::uint16_t code : steps) {
      if (code == Step::DataChunk) {
        std::vector<std::uint8_t> chunk(1024, 0xFF);
        for (int i = 0; i < 16; ++i)
          chunk[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        if (pc.write(chunk) != 1024 || pc.replyByte() != 0xA0) return "chunk refused";
        continue;
      }
      std::array<std::uint8_t, 512> r{};
      if (pc.read(r.data(), r.size()) != 512) return "no reply";
      if (r[0] != 0xA0 || r[55] != 0xA0) return outcome(code, r[0], r[55]);
    }
    return outcome(0, 0, 0);
  }

  // The standalone insertion detection: reply bytes 0 and 55.
  std::pair<int, int> detect(int k) {
    Pc& pc = *pcs[static_cast<std::size_t>(k)];
    if (pc.write(makeBlock(sim::Code::InsertDetect)) != 1024 || pc.replyByte() != 0xA0)
      return {-1, -1};
    std::array<std::uint8_t, 512> r{};
    if (pc.read(r.data(), r.size()) != 512) return {-2, -2};
    return {r[0], r[55]};
  }
};

sim::RigOptions gangOptions(int units, double failRate, std::uint64_t seed = 7) {
  sim::RigOptions o;
  o.units = units;
  o.failRate = failRate;
  o.seed = seed;
  o.virtualOperator = false;
  return o;
}

const std::pair<int, int> kPresent{0xA0, 0xA0};
const std::pair<int, int> kEmpty{0xA1, 0xA5};

TEST(VirtualOperator, TakesTheWorkedPartOutAndPutsTheNextOneIn) {
  sim::RigOptions o = gangOptions(1, 0);
  o.virtualOperator = true;
  Gang gang(o);
  EXPECT_EQ(gang.detect(0), kPresent);  // a part sits there from the start
  EXPECT_EQ(gang.detect(0), kPresent);  // not worked on: it stays
  EXPECT_EQ(gang.run(0, kFullRun), "pass");
  // Polled for removal (TAKE): the hand reaches in; the next poll finds the socket empty,
  // which asks for a part (PUT); the one after finds the new part.
  const std::vector<std::pair<int, int>> polls = {kPresent, kEmpty, kPresent, kPresent};
  for (std::size_t i = 0; i < polls.size(); ++i) EXPECT_EQ(gang.detect(0), polls[i]) << i;
  // The new part is blank: programming it passes without an erase.
  EXPECT_EQ(gang.run(0, {Step::BlankCheck, Step::DataChunk, Step::Program, Step::Verify}), "pass");
  std::uint64_t inserted = 0, removed = 0;
  gang.rig.units[0]->withState<sim::ProcedureState>([&](auto& s) {
    inserted = s.hand->inserted();
    removed = s.hand->removed();
  });
  EXPECT_EQ(inserted, 1u);
  EXPECT_EQ(removed, 1u);
}

TEST(VirtualOperator, OffTheSocketShowsWhatTheTestSets) {
  Gang gang(gangOptions(1, 0));
  EXPECT_EQ(gang.run(0, kFullRun), "pass");
  EXPECT_EQ(gang.detect(0), kPresent);
  EXPECT_EQ(gang.detect(0), kPresent);
  gang.rig.units[0]->withState<sim::ProcedureState>([](auto& s) { s.part.inserted = false; });
  EXPECT_EQ(gang.detect(0), kEmpty);
  EXPECT_EQ(gang.detect(0), kEmpty);
}

TEST(VirtualOperator, HandDelaysOnAFakeClock) {
  sim::OperatorOptions hand;
  hand.enabled = true;
  hand.insertDelayMin = hand.insertDelayMax = std::chrono::milliseconds(600);
  hand.removeDelayMin = hand.removeDelayMax = std::chrono::milliseconds(400);
  sim::TimingModel timing;
  timing.enabled = true;
  timing.scale = 2;  // the delays take half as long in real time
  sim::SocketHand socket(hand, 0);
  const auto t0 = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  using ms = std::chrono::milliseconds;
  struct Look {
    int atMs;
    bool present, newPart;
  };
  EXPECT_TRUE(socket.look(t0, timing).present);
  socket.worked();
  const std::vector<Look> looks = {
      {0, true, false},                          // TAKE seen: out 200 ms later
      {199, true, false},  {200, false, false},  // gone; PUT seen: in 300 ms later
      {499, false, false}, {500, true, true},   {900, true, false},
  };
  for (const Look& l : looks) {
    const auto seen = socket.look(t0 + ms(l.atMs), timing);
    EXPECT_EQ(seen.present, l.present) << l.atMs;
    EXPECT_EQ(seen.newPart, l.newPart) << l.atMs;
  }

  // Drawn delays: the same seed and seat give the same times, another seat others.
  hand.insertDelayMin = ms(100);
  hand.insertDelayMax = ms(5000);
  auto firstInsertion = [&](std::uint64_t seat) {
    sim::SocketHand h(hand, seat, sim::SocketHand::Socket::Empty);
    h.look(t0, timing);
    for (int at = 0;; at += 1) {
      if (h.look(t0 + ms(at), timing).present) return at;
    }
  };
  EXPECT_EQ(firstInsertion(3), firstInsertion(3));
  EXPECT_NE(firstInsertion(3), firstInsertion(4));
  EXPECT_GE(firstInsertion(5), 50);
  EXPECT_LE(firstInsertion(5), 2500);
}

TEST(FailingParts, RateZeroNoneRateOneAllSeededTheSameTwice) {
  struct Case {
    double rate;
    std::uint64_t seed;
  };
  const std::vector<Case> cases = {{0, 7}, {1, 7}, {0.3, 7}, {0.3, 7}, {0.3, 8}};
  std::vector<std::vector<std::string>> seen;
  for (const auto& c : cases) {
    Gang gang(gangOptions(2, c.rate, c.seed));
    std::vector<std::string> outcomes;
    int passes = 0;
    for (int i = 0; i < 40; ++i) {
      outcomes.push_back(gang.run(i % 2, kFullRun));
      passes += outcomes.back() == "pass" ? 1 : 0;
    }
    if (c.rate == 0) {
      EXPECT_EQ(passes, 40);
    }
    if (c.rate == 1) {
      EXPECT_EQ(passes, 0);
    }
    if (c.rate == 0.3) {
      EXPECT_GT(passes, 16);  // 28 expected; the seeds are fixed, so this never flickers
      EXPECT_LT(passes, 40);
    }
    // The tally agrees with what the PC saw, per unit and in total.
    EXPECT_EQ(gang.rig.partsGood(), static_cast<std::uint64_t>(passes));
    EXPECT_EQ(gang.rig.partsFailed(), static_cast<std::uint64_t>(40 - passes));
    EXPECT_EQ(gang.rig.units[0]->partsGood() + gang.rig.units[1]->partsGood(),
              gang.rig.partsGood());
    EXPECT_EQ(gang.rig.units[0]->partsGood() + gang.rig.units[0]->partsFailed(), 20u);
    seen.push_back(outcomes);
  }
  EXPECT_EQ(seen[2], seen[3]);
  EXPECT_NE(seen[2], seen[4]);
}

TEST(FailingParts, EachWayShowsAsARealPartShowsIt) {
  const std::string id = std::to_string(Step::IdCheck);
  struct Case {
    const char* name;
    sim::FailMix mix;
    std::vector<std::uint16_t> steps;
    std::string prefix;  // of the outcome
  };
  const std::vector<Case> cases = {
      {"wrong ID", {1, 0, 0, 0}, kFullRun, id + "/160/161"},
      {"weak cell", {0, 1, 0, 0}, kFullRun, std::to_string(Step::Verify) + "/160/161"},
      {"loose part", {0, 0, 1, 0}, kFullRun, id + "/160/165"},
      {"over-current", {0, 0, 0, 1}, {Step::ChipErase}, std::to_string(Step::ChipErase) + "/163/"},
      // No ID check in the list: a wrong ID cannot show, so the part sits loose instead.
      {"nothing applies",
       {1, 0, 0, 0},
       {Step::ChipErase},
       std::to_string(Step::ChipErase) + "/160/165"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::RigOptions o = gangOptions(1, 1);
    o.failMix = c.mix;
    Gang gang(o);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(gang.run(0, c.steps).rfind(c.prefix, 0), 0u) << gang.run(0, c.steps);
  }
  // The wrong ID is another device code.
  sim::RigOptions o = gangOptions(1, 1);
  o.failMix = {1, 0, 0, 0};
  Gang gang(o);
  gang.run(0, {Step::DataChunk});  // a run with no part step draws nothing
  Pc& pc = *gang.pcs[0];
  gang.rig.units[0]->writeMemory(0x23C10000, std::vector<std::uint8_t>{0xE7, 0x18, 0xFF, 0xFF});
  ASSERT_EQ(pc.write(makeBlock(0x0000, 1, {0, 0, 0x20000000, 16, 0, 0, 16}, 0xA3)), 1024);
  ASSERT_EQ(pc.replyByte(), 0xA0);
  std::array<std::uint8_t, 512> r{};
  ASSERT_EQ(pc.read(r.data(), r.size()), 512);
  EXPECT_NE(r[66] | (r[67] << 8), 0x2018);
}

TEST(PartKind, TheUnitLearnsItFromTheDriverSettingsOrTheRig) {
  for (bool fixed : {false, true}) {
    sim::RigOptions o = gangOptions(1, 0);
    if (fixed) o.partKind = sim::PartKind::Eeprom;
    Gang gang(o);
    std::vector<std::uint8_t> image(0x4000, 0xFF);
    sim::writeLe32(image.data() + 4 * 166, 1);  // block-organised
    gang.rig.units[0]->writeMemory(0x20000000, image);
    EXPECT_EQ(gang.pcs[0]->command(makeBlock(sim::Code::DriverIniSetting)),
              std::make_pair(0xA0, 0xA0));
    EXPECT_EQ(gang.run(0, {Step::ChipErase}), "pass");
    sim::PartKind kind{};
    gang.rig.units[0]->withState<sim::ProcedureState>([&](auto& s) { kind = s.kind; });
    EXPECT_EQ(kind, fixed ? sim::PartKind::Eeprom : sim::PartKind::Nand);
  }
}

}  // namespace
