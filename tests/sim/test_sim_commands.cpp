// Command sequences of a healthy unit: acceptance and completion, notices, EEPROM read,
// chunked transfers both ways, the data stream, and what the record keeps.
#include <gtest/gtest.h>

#include <numeric>

#include "sim/sim_factory.h"
#include "sim/standard_commands.h"
#include "sim/unit_memory.h"
#include "tests/sim/sim_test_pc.h"

namespace {

using simtest::makeBlock;
using simtest::Pc;

struct OneUnit : ::testing::Test {
  sim::SimRig rig = sim::makeSimRig(1);
  sim::SimUnit& unit = *rig.units[0];
  Pc pc{*rig.bus};
};

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 9));
  return v;
}

TEST_F(OneUnit, NoticesAreAcceptedAndCompleted) {
  ASSERT_NE(pc.handle, nullptr);
  EXPECT_EQ(pc.command(makeBlock(sim::Code::ConnectNotice, 0)), std::make_pair(0xA0, 0xA0));
  EXPECT_EQ(pc.command(makeBlock(sim::Code::CloseNotice, 0)), std::make_pair(0xA0, 0xA0));
  // Nothing more is pending: a read runs into its timeout.
  std::array<std::uint8_t, 512> r{};
  EXPECT_EQ(pc.read(r.data(), r.size(), 20), -110);

  const auto rec = unit.record();
  EXPECT_EQ(rec.codes(), (std::vector<std::uint16_t>{0xC53A, 0xC639}));
  EXPECT_TRUE(rec.commands[0].known);
  EXPECT_EQ(rec.commands[0].index, 1u);
  EXPECT_EQ(rec.commands[1].block.commandByte, 0);
  EXPECT_EQ(rec.writeCount, 2u);
  EXPECT_EQ(rec.repliesSent, 4u);
}

TEST_F(OneUnit, UnknownCodesAndBadBlocksAreRefused) {
  EXPECT_EQ(pc.command(makeBlock(0x1234)).first, 0xA1);
  auto bad = makeBlock(sim::Code::ConnectNotice);
  bad[3] = 20;  // more codes than the list holds
  EXPECT_EQ(pc.command(bad).first, 0xA1);
  // A stray short write while idle is answered with a refusal, not silence.
  std::vector<std::uint8_t> stray(100, 0);
  EXPECT_EQ(pc.write(stray), 100);
  EXPECT_EQ(pc.replyByte(), 0xA1);
  const auto rec = unit.record();
  ASSERT_EQ(rec.commands.size(), 2u);
  EXPECT_FALSE(rec.commands[0].known);
  EXPECT_TRUE(rec.commands[0].refused);
  EXPECT_EQ(rec.protocolErrors.size(), 2u);
}

TEST_F(OneUnit, FramesWithoutAnswerGetNoReplyAtAll) {
  auto io = makeBlock(0, 1, {}, 0xA9);
  io[3] = 0;  // no code
  EXPECT_EQ(pc.write(io), 1024);
  EXPECT_EQ(pc.write(makeBlock(sim::Code::ConnectNotice, 0, {}, 0xA5)), 1024);
  std::array<std::uint8_t, 512> r{};
  EXPECT_EQ(pc.read(r.data(), r.size(), 20), -110);
  // The unit still answers the next ordinary command.
  EXPECT_EQ(pc.command(makeBlock(sim::Code::ConnectNotice, 0)), std::make_pair(0xA0, 0xA0));
  EXPECT_EQ(unit.record().commandCount, 3u);
}

TEST_F(OneUnit, EepromReadCopiesTheRangeIntoMemory) {
  // Identifier at 320: 64 bytes to 0x20000000, as the date-time read asks.
  const std::uint64_t id = unit.eepromBytes()[320] | (std::uint64_t{unit.eepromBytes()[324]} << 32);
  EXPECT_EQ(pc.command(makeBlock(sim::Code::EepromRead, 1, {0, 0, 0x20000000, 0, 0, 320, 64})),
            std::make_pair(0xA0, 0xA0));
  const auto mem = unit.readMemory(0x20000000, 65);
  EXPECT_TRUE(std::equal(mem.begin(), mem.begin() + 64, unit.eepromBytes().begin() + 320));
  EXPECT_EQ(mem[64], 0xFF);  // nothing beyond the asked length
  EXPECT_EQ(mem[0] | (std::uint64_t{mem[4]} << 32), id);

  // The serial area, whole, somewhere else.
  EXPECT_EQ(pc.command(makeBlock(sim::Code::EepromRead, 1, {0, 0, 0x21000000, 0, 0, 0, 0x4000})),
            std::make_pair(0xA0, 0xA0));
  const auto serial = unit.readMemory(0x21000000, 11);
  EXPECT_EQ(std::string(serial.begin(), serial.begin() + 10), sim::rigSerialText(0));
  EXPECT_EQ(serial[10], 0);

  // Past the end of the EEPROM or of memory: accepted, then failed.
  EXPECT_EQ(pc.command(makeBlock(sim::Code::EepromRead, 1, {0, 0, 0x20000000, 0, 0, 0x3FF0, 64})),
            std::make_pair(0xA0, 0xA1));
  EXPECT_EQ(pc.command(makeBlock(sim::Code::EepromRead, 1, {0, 0, 0x23FFFFF0, 0, 0, 0, 64})),
            std::make_pair(0xA0, 0xA1));
}

TEST_F(OneUnit, BlankEepromReadsAllFF) {
  unit.blankEeprom();
  pc.command(makeBlock(sim::Code::EepromRead, 1, {0, 0, 0x20000000, 0, 0, 0, 16}));
  unit.writeMemory(0x20000000, std::vector<std::uint8_t>(16, 0));
  pc.command(makeBlock(sim::Code::EepromRead, 1, {0, 0, 0x20000000, 0, 0, 0, 16}));
  EXPECT_EQ(unit.readMemory(0x20000000, 16), std::vector<std::uint8_t>(16, 0xFF));
}

TEST_F(OneUnit, BulkOutStoresEveryChunkAndAcknowledgesIt) {
  const std::uint32_t chunk = 0x10000;
  const auto data = pattern(3 * chunk, 5);
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkOut, 1, {chunk, 3, 0x23D60000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pc.write(data.data() + i * chunk, chunk), static_cast<int>(chunk));
    EXPECT_EQ(pc.replyByte(), 0xA0) << "chunk " << i;
  }
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Idle);
  EXPECT_EQ(unit.readMemory(0x23D60000, data.size()), data);
  const auto rec = unit.record();
  ASSERT_EQ(rec.writes.size(), 4u);
  EXPECT_EQ(rec.writes[1].kind, sim::WriteKind::Chunk);
  EXPECT_EQ(rec.writes[2].address, 0x23D60000u + chunk);
  EXPECT_TRUE(rec.writes[2].bytes.empty());  // large chunks live in memory only
  EXPECT_EQ(rec.bytesWritten, 1024u + data.size());
  // Afterwards the unit takes commands again.
  EXPECT_EQ(pc.command(makeBlock(sim::Code::ConnectNotice, 0)).second, 0xA0);
}

TEST_F(OneUnit, BulkOutOutsideMemoryOrOfWrongChunkSizeIsRejected) {
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkOut, 1, {0x100000, 2, 0x23F00000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA1);
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkOut, 1, {1024, 0, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA1);

  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkOut, 1, {1024, 2, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  std::vector<std::uint8_t> wrong(512, 1);
  EXPECT_EQ(pc.write(wrong), 512);
  EXPECT_EQ(pc.replyByte(), 0xA1);
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Idle);
  EXPECT_EQ(unit.record().protocolErrors.size(), 3u);
}

TEST_F(OneUnit, BulkInSendsChunksEachAfterThePcAcknowledgement) {
  const auto data = pattern(2048, 9);
  unit.writeMemory(0x20000000, data);
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkIn, 1, {1024, 2, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  std::vector<std::uint8_t> got(2048);
  simtest::Block ack;
  ack.fill(0xFF);
  ack[0] = 0xA0;
  EXPECT_EQ(pc.read(got.data(), 1024), 1024);
  // The second chunk waits for the acknowledgement of the first.
  EXPECT_EQ(pc.read(got.data() + 1024, 1024, 20), -110);
  EXPECT_EQ(pc.write(ack), 1024);
  EXPECT_EQ(pc.read(got.data() + 1024, 1024), 1024);
  EXPECT_EQ(pc.write(ack), 1024);
  EXPECT_EQ(got, data);
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Idle);
  const auto rec = unit.record();
  ASSERT_EQ(rec.writes.size(), 3u);
  EXPECT_EQ(rec.writes[1].kind, sim::WriteKind::PcAck);
  EXPECT_EQ(rec.writes[2].bytes[0], 0xA0);
}

TEST_F(OneUnit, BulkInUnwrittenMemoryReadsFFAndShortReadsKeepTheRest) {
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkIn, 1, {1024, 1, 0x22000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  std::vector<std::uint8_t> got(1024, 0);
  EXPECT_EQ(pc.read(got.data(), 512), 512);
  EXPECT_EQ(pc.read(got.data() + 512, 4096), 512);  // the rest, as a short packet
  EXPECT_EQ(got, std::vector<std::uint8_t>(1024, 0xFF));
}

TEST_F(OneUnit, PcAcknowledgementOtherThanPassEndsTheTransfer) {
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkIn, 1, {1024, 3, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  std::vector<std::uint8_t> got(1024);
  EXPECT_EQ(pc.read(got.data(), 1024), 1024);
  simtest::Block stop;
  stop.fill(0xFF);
  stop[0] = 0xA1;
  EXPECT_EQ(pc.write(stop), 1024);
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Idle);
  EXPECT_EQ(pc.read(got.data(), 1024, 20), -110);
}

TEST_F(OneUnit, DataStreamAcceptsRawChunksUntilTheExpectedBytes) {
  const auto data = pattern(3 * 1024 * 1024, 3);
  unit.enterDataStream(2 * 1024 * 1024 + 1500);  // three 1 MiB chunks cover it
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(unit.phase(), sim::UnitPhase::DataStream);
    EXPECT_EQ(pc.write(data.data() + i * 0x100000, 0x100000), 0x100000);
    EXPECT_EQ(pc.replyByte(), 0xA0);
  }
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Idle);
  EXPECT_EQ(unit.streamedBytes(), data.size());
  EXPECT_EQ(unit.readMemory(sim::UnitAddress::DataBuffer, data.size()), data);
  EXPECT_EQ(unit.record().writes.back().kind, sim::WriteKind::Stream);
}

TEST_F(OneUnit, OpenEndedStreamWrapsInsideTheDataBuffer) {
  unit.enterDataStream(0, 0x23F00000);  // 1 MiB before the end of the 64 MiB
  const auto first = pattern(0x100000, 1);
  const auto second = pattern(0x100000, 2);
  EXPECT_EQ(pc.write(first), 0x100000);
  EXPECT_EQ(pc.write(second), 0x100000);  // wraps back to 0x23F00000
  EXPECT_EQ(pc.replyByte(), 0xA0);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  EXPECT_EQ(unit.readMemory(0x23F00000, 0x100000), second);
  EXPECT_EQ(unit.phase(), sim::UnitPhase::DataStream);
  unit.leaveDataStream();
  EXPECT_EQ(pc.command(makeBlock(sim::Code::ConnectNotice, 0)).second, 0xA0);
}

TEST_F(OneUnit, DiscardedDataIsAcknowledgedButNotStored) {
  unit.setDiscardData(true);
  unit.enterDataStream(1024);
  EXPECT_EQ(pc.write(std::vector<std::uint8_t>(1024, 0x11)), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  EXPECT_EQ(unit.readMemory(sim::UnitAddress::DataBuffer, 1)[0], 0xFF);
}

TEST_F(OneUnit, RegisteredHandlersExtendTheFirmware) {
  // A later command family: accepted, a transfer of its own, then a completion with data.
  unit.registerCommand(0x4242, [](sim::CommandContext& ctx) {
    ctx.state<sim::ConnectionState>().connects += 10;
    ctx.receiveChunks(0x20000000, 1024, 1, [](sim::CommandContext& done) {
      auto reply = sim::makeReply(0xA0);
      reply[20] = done.memory().readVector(0x20000000, 1)[0];
      reply[21] = static_cast<std::uint8_t>(done.state<sim::ConnectionState>().connects);
      done.complete(reply);
    });
  });
  ASSERT_EQ(pc.write(makeBlock(0x4242)), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  EXPECT_EQ(pc.write(std::vector<std::uint8_t>(1024, 0x77)), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);  // chunk acknowledgement
  std::array<std::uint8_t, 512> r{};
  ASSERT_EQ(pc.read(r.data(), r.size()), 512);
  EXPECT_EQ(r[20], 0x77);
  EXPECT_EQ(r[21], 10);
}

TEST(SimTiming, CompletionWaitsForTheCommandDuration) {
  sim::RigOptions options;
  options.units = 1;
  options.timing = true;
  options.model.commandDurations[sim::Code::ConnectNotice] = std::chrono::milliseconds(60);
  auto rig = sim::makeSimRig(options);
  Pc pc(*rig.bus);
  // Only lower bounds measured from before the command: a stall of the test thread can make
  // the wait look shorter from any later point, never from this one.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(pc.write(makeBlock(sim::Code::ConnectNotice, 0)), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  std::array<std::uint8_t, 512> r{};
  EXPECT_EQ(pc.read(r.data(), r.size(), 0), 512);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));

  // Line time: 1 MiB at 53 MB/s takes about 20 ms.
  rig.units[0]->enterDataStream(0x100000);
  const std::vector<std::uint8_t> chunk(0x100000, 1);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(pc.write(chunk), 0x100000);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(18));
}

}  // namespace
