// Each injected fault, aimed by code, by command number and by chunk, and the recovery from
// failed writes.
#include <gtest/gtest.h>

#include <thread>

#include "sim/sim_factory.h"
#include "tests/sim/sim_test_pc.h"

namespace {

using sim::Code::ConnectNotice;
using sim::Code::EepromRead;
using simtest::makeBlock;
using simtest::Pc;

struct Faulty : ::testing::Test {
  sim::SimRig rig = sim::makeSimRig(1);
  sim::SimUnit& unit = *rig.units[0];
  Pc pc{*rig.bus};
  simtest::Block eeprom = makeBlock(EepromRead, 1, {0, 0, 0x20000000, 0, 0, 320, 64});
  simtest::Block connect = makeBlock(ConnectNotice, 0);
};

TEST_F(Faulty, RefuseFailAndGarbageHitOnlyTheirAim) {
  unit.armFault(sim::Fault::refuse().onCode(EepromRead));
  unit.armFault(sim::Fault::fail().atCommand(3));
  unit.armFault(sim::Fault::garbage(0x5A).onCode(ConnectNotice).atCommand(4));
  EXPECT_EQ(pc.command(connect), std::make_pair(0xA0, 0xA0));  // 1: not aimed at
  EXPECT_EQ(pc.command(eeprom).first, 0xA1);                   // 2: refused
  EXPECT_EQ(unit.readMemory(0x20000000, 1)[0], 0xFF);          // and not carried out
  EXPECT_EQ(pc.command(eeprom), std::make_pair(0xA0, 0xA1));   // 3: failed
  EXPECT_EQ(pc.command(connect), std::make_pair(0xA0, 0x5A));  // 4: garbage
  EXPECT_EQ(pc.command(eeprom), std::make_pair(0xA0, 0xA0));   // every fault fired once
  const auto rec = unit.record();
  EXPECT_TRUE(rec.commands[1].refused);
  EXPECT_FALSE(rec.commands[2].refused);
}

TEST_F(Faulty, RepeatingFaultAndGarbageAcceptance) {
  unit.armFault(sim::Fault::fail().onCode(ConnectNotice).times(0));
  unit.armFault(sim::Fault::garbage(0x33, sim::ReplyStage::Acceptance).onCode(EepromRead));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pc.command(connect).second, 0xA1);
  EXPECT_EQ(pc.command(eeprom).first, 0x33);
  unit.clearFaults();
  EXPECT_EQ(pc.command(connect).second, 0xA0);
}

TEST_F(Faulty, ShortReplies) {
  unit.armFault(sim::Fault::shortReply(100).onCode(ConnectNotice));
  unit.armFault(sim::Fault::shortReply(8, sim::ReplyStage::Acceptance).onCode(EepromRead));
  ASSERT_EQ(pc.write(connect), 1024);
  std::array<std::uint8_t, 512> r{};
  EXPECT_EQ(pc.read(r.data(), r.size()), 512);
  EXPECT_EQ(pc.read(r.data(), r.size()), 100);
  ASSERT_EQ(pc.write(eeprom), 1024);
  EXPECT_EQ(pc.read(r.data(), r.size()), 8);
}

TEST_F(Faulty, NeverAnswerUntilPulled) {
  unit.armFault(sim::Fault::neverAnswer().onCode(EepromRead));
  ASSERT_EQ(pc.write(eeprom), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);  // accepted, then silence
  EXPECT_EQ(pc.replyByte(30), -110);
  EXPECT_EQ(pc.write(connect), 1024);  // still taken, still unanswered
  EXPECT_EQ(pc.replyByte(30), -110);
  EXPECT_EQ(unit.phase(), sim::UnitPhase::Hung);
  EXPECT_EQ(unit.record().commandCount, 2u);

  std::thread puller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    rig.bus->pull(unit);
  });
  EXPECT_EQ(pc.replyByte(0), -19);  // without time limit, released by the pull
  puller.join();
  // Plugged again, the unit is idle and answers.
  ASSERT_TRUE(rig.bus->plug(rig.units[0]));
  Pc again(*rig.bus);
  EXPECT_EQ(again.command(connect), std::make_pair(0xA0, 0xA0));
}

TEST_F(Faulty, LeaveTheBusWhileTheCompletionIsAwaited) {
  std::vector<sim::DeviceNotice> notices;
  std::mutex m;
  rig.bus->setNoticeCallback([&](const sim::DeviceNotice& n) {
    std::lock_guard lock(m);
    notices.push_back(n);
  });
  unit.armFault(sim::Fault::leaveBus().onCode(EepromRead));
  ASSERT_EQ(pc.write(eeprom), 1024);
  EXPECT_TRUE(rig.bus->isPlugged(unit));
  EXPECT_EQ(pc.replyByte(), 0xA0);  // accepted; it leaves once that was read
  EXPECT_EQ(pc.replyByte(0), -19);
  EXPECT_FALSE(rig.bus->isPlugged(unit));
  EXPECT_EQ(pc.write(connect), -19);
  rig.bus->waitForNotices();
  std::lock_guard lock(m);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].kind, sim::DeviceNotice::Kind::Removal);
}

TEST_F(Faulty, LeaveTheBusInsteadOfTheAcceptance) {
  unit.armFault(sim::Fault::leaveBus(sim::ReplyStage::Acceptance).atCommand(1));
  ASSERT_EQ(pc.write(connect), 1024);
  EXPECT_EQ(pc.replyByte(0), -19);
  EXPECT_FALSE(rig.bus->isPlugged(unit));
}

TEST_F(Faulty, LeaveAfterChunksOfABulkOut) {
  unit.armFault(sim::Fault::leaveAfterChunks(2).onCode(sim::Code::BulkOut));
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkOut, 1, {1024, 4, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  const std::vector<std::uint8_t> chunk(1024, 0x42);
  EXPECT_EQ(pc.write(chunk), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  EXPECT_EQ(pc.write(chunk), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);  // the second acknowledgement is still read
  EXPECT_EQ(pc.write(chunk), -19);  // then the unit is gone
  EXPECT_FALSE(rig.bus->isPlugged(unit));
  EXPECT_EQ(unit.record().writes.size(), 3u);
}

TEST_F(Faulty, LeaveAfterChunksOfABulkInAndRightAfterAcceptance) {
  unit.armFault(sim::Fault::leaveAfterChunks(1).onCode(sim::Code::BulkIn));
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkIn, 1, {1024, 3, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  std::vector<std::uint8_t> got(1024);
  EXPECT_EQ(pc.read(got.data(), 1024), 1024);
  simtest::Block ack;
  ack.fill(0xFF);
  ack[0] = 0xA0;
  EXPECT_EQ(pc.write(ack), 1024);
  EXPECT_EQ(pc.read(got.data(), 1024, 0), -19);

  ASSERT_TRUE(rig.bus->plug(rig.units[0]));
  Pc again(*rig.bus);
  unit.armFault(sim::Fault::leaveAfterChunks(0));
  ASSERT_EQ(again.write(makeBlock(sim::Code::BulkOut, 1, {1024, 1, 0x20000000})), 1024);
  EXPECT_EQ(again.replyByte(), 0xA0);
  EXPECT_EQ(again.write(ack), -19);
}

TEST_F(Faulty, ChunkAcknowledgementFaults) {
  // The last acknowledgement of a bulk out carries 0xA1; a stream chunk answers garbage.
  unit.armFault(sim::Fault::failChunkAck(sim::kLastChunk).onCode(sim::Code::BulkOut));
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkOut, 1, {1024, 3, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  const std::vector<std::uint8_t> chunk(1024, 1);
  std::vector<int> acks;
  for (int i = 0; i < 3; ++i) {
    pc.write(chunk);
    acks.push_back(pc.replyByte());
  }
  EXPECT_EQ(acks, (std::vector<int>{0xA0, 0xA0, 0xA1}));

  unit.armFault(sim::Fault::failChunkAck(1, 0x5A).onCode(sim::Code::BulkOut));
  unit.enterDataStream(3 * 1024);
  acks.clear();
  for (int i = 0; i < 3; ++i) {
    pc.write(chunk);
    acks.push_back(pc.replyByte());
  }
  EXPECT_EQ(acks, (std::vector<int>{0xA0, 0x5A, 0xA0}));
}

TEST_F(Faulty, FailedWriteStallsUntilRecoveredAndIsResentWhole) {
  unit.armFault(sim::Fault::failWrites(1).onCode(EepromRead));
  EXPECT_EQ(pc.command(connect).second, 0xA0);  // not aimed at
  EXPECT_EQ(pc.write(eeprom), -5);
  EXPECT_EQ(pc.write(eeprom), -5);  // stalled: nothing gets through without recovery
  EXPECT_EQ(pc.usb.clear_halt(pc.handle, 0x01), 0);
  EXPECT_EQ(pc.usb.resetep(pc.handle, 0x01), 0);
  EXPECT_EQ(pc.usb.reset(pc.handle), 0);
  EXPECT_EQ(pc.command(eeprom), std::make_pair(0xA0, 0xA0));

  const auto rec = unit.record();
  EXPECT_EQ(rec.commandCount, 2u);  // the failed attempts delivered nothing
  EXPECT_EQ(rec.failedWriteCount, 2u);
  EXPECT_EQ(rec.clearHaltCalls, 1u);
  EXPECT_EQ(rec.resetEndpointCalls, 1u);
  EXPECT_EQ(rec.resetCalls, 1u);
  ASSERT_EQ(rec.writes.size(), 4u);
  EXPECT_TRUE(rec.writes[1].failed());
  EXPECT_EQ(rec.writes[3].bytes, std::vector<std::uint8_t>(eeprom.begin(), eeprom.end()));
  EXPECT_EQ(rec.writes[1].bytes, rec.writes[3].bytes);
}

TEST_F(Faulty, TwoFailedWritesAndRecoveryByReopen) {
  unit.armFault(sim::Fault::failWrites(2));
  EXPECT_EQ(pc.write(connect), -5);
  EXPECT_EQ(pc.usb.clear_halt(pc.handle, 0x01), 0);
  EXPECT_EQ(pc.write(connect), -5);  // the second failure
  // Close and reopen the same device record: set_configuration clears the stall.
  struct usb_device* record = pc.usb.device(pc.handle);
  pc.usb.release_interface(pc.handle, 0);
  pc.usb.close(pc.handle);
  pc.handle = pc.usb.open(record);
  ASSERT_NE(pc.handle, nullptr);
  EXPECT_EQ(pc.usb.set_configuration(pc.handle, 1), 0);
  EXPECT_EQ(pc.usb.claim_interface(pc.handle, 0), 0);
  EXPECT_EQ(pc.command(connect), std::make_pair(0xA0, 0xA0));
}

TEST_F(Faulty, AFailedDataWriteIsNotStored) {
  ASSERT_EQ(pc.write(makeBlock(sim::Code::BulkOut, 1, {1024, 1, 0x20000000})), 1024);
  EXPECT_EQ(pc.replyByte(), 0xA0);
  unit.armFault(sim::Fault::failWrites(1));
  const std::vector<std::uint8_t> chunk(1024, 0x5C);
  EXPECT_EQ(pc.write(chunk), -5);
  EXPECT_EQ(unit.readMemory(0x20000000, 1)[0], 0xFF);
  pc.usb.clear_halt(pc.handle, 0x01);
  EXPECT_EQ(pc.write(chunk), 1024);  // the unit still waits for the same chunk
  EXPECT_EQ(pc.replyByte(), 0xA0);
  EXPECT_EQ(unit.readMemory(0x20000000, 1)[0], 0x5C);
  EXPECT_EQ(unit.record().writes[1].kind, sim::WriteKind::Chunk);
}

}  // namespace
