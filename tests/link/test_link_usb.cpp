// The link against the scripted fake bus: what SendCommand writes and reads, the write
// recovery, the synchronous read without a handle, and the asynchronous read when the link
// is closed under it.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/link/fake_usb.h"
#include "tests/link/link_test_support.h"

namespace {

class LinkUsbTest : public ::testing::Test {
 protected:
  LinkUsbTest() : usb(2), system(usb), link(system.Table.Link(0)) {}
  void SetUp() override { ASSERT_TRUE(link.OpenDevice(usb.Unit(0))); }

  bool Send(std::uint8_t frameType, std::uint8_t codeCount = 1) {
    return link.SendCommand(
        link.MakeCommandPacket({.Frame = frameType, .CodeCount = codeCount, .Command = 1}), nullptr,
        nullptr, 0, nullptr, link.MakeCodeWord(0x56A9), nullptr, nullptr);
  }

  FakeUsb usb;
  TestSystem system;
  ZvUsb& link;
};

TEST_F(LinkUsbTest, FramesWithoutAnswerAreNotRead) {
  EXPECT_TRUE(Send(FrameType::NoAnswer));
  EXPECT_TRUE(Send(FrameType::IoMode, 0));
  EXPECT_EQ(usb.ReadCount(), 0);
  ASSERT_EQ(usb.Writes().size(), 2u);
  EXPECT_EQ(usb.Writes()[0].Bytes.size(), 1024u);
  EXPECT_EQ(usb.Writes()[0].Endpoint, UnitUsb::EndpointOut);
  EXPECT_EQ(link.IsBusy(), 1);  // left for the operation to clear
}

TEST_F(LinkUsbTest, AcceptanceOtherThanA0OrShortFailsTheSend) {
  usb.QueueReplyByte(0xA0);
  EXPECT_TRUE(Send(FrameType::Command));
  usb.QueueReplyByte(0xA1);
  EXPECT_FALSE(Send(FrameType::Command));
  usb.QueueReplyByte(0x5A);
  EXPECT_FALSE(Send(FrameType::Command));
  usb.QueueReplyByte(0xA0, 100);  // short acceptance
  EXPECT_FALSE(Send(FrameType::Command));
  usb.QueueReadError(-110);
  EXPECT_FALSE(Send(FrameType::Command));
  const auto block = usb.Writes().back().Bytes;
  EXPECT_EQ(block[196], 0x85);  // the stamp of the fixed clock
  EXPECT_EQ(block[200], 0x57);
}

TEST_F(LinkUsbTest, FailedWriteRecoversAndWritesTheBlockAgainFromItsStart) {
  usb.FailNextWrites(1, 7);  // 7 of 1024 bytes
  usb.QueueReplyByte(0xA0);
  EXPECT_TRUE(Send(FrameType::Command));
  const auto writes = usb.Writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].Bytes, writes[1].Bytes);
  const std::vector<std::string> recovery = {"open",    "clear_halt", "resetep", "reset",
                                             "release", "close",      "open"};
  EXPECT_EQ(usb.Calls(), recovery);
  EXPECT_EQ(system.Sleeps.Count(100), 1u);
  EXPECT_EQ(system.Sleeps.Count(500), 0u);
  EXPECT_EQ(link.IsOpened(), 1);
  EXPECT_EQ(usb.OpenHandles(), 1);
}

TEST_F(LinkUsbTest, WriteFailingTwiceGivesUpAfterTwoAttempts) {
  usb.FailNextWrites(3);
  EXPECT_FALSE(Send(FrameType::Command));
  EXPECT_EQ(usb.Writes().size(), 2u);
  EXPECT_EQ(usb.ReadCount(), 0);
}

TEST_F(LinkUsbTest, FailedReopenFallsBackToAFreeUnit) {
  usb.Pull(0);  // the write fails, the reopen of unit 0 fails, unit 1 is free
  EXPECT_TRUE(link.BulkWrite(std::vector<std::uint8_t>(1024, 0x11).data(), 1024));
  EXPECT_EQ(system.Sleeps.Count(500), 1u);
  EXPECT_EQ(link.DeviceOfHandle(), usb.Unit(1));
}

TEST_F(LinkUsbTest, SynchronousReadWithoutHandleIsFalse) {
  link.CloseDevice();
  std::uint8_t buffer[512];
  EXPECT_FALSE(link.BulkRead(buffer, 512, false));
  EXPECT_FALSE(link.BulkWrite(buffer, 512));
  EXPECT_EQ(usb.ReadCount(), 0);
}

TEST_F(LinkUsbTest, AsynchronousReplyIsDeliveredWhenDone) {
  Reply reply;
  reply.fill(0);
  reply[0] = 0xA1;
  ASSERT_TRUE(link.BulkRead(reply.data(), 512, true));
  std::vector<std::uint8_t> bytes(512, 0x33);
  bytes[0] = 0xA0;
  usb.QueueReply(bytes);
  EXPECT_EQ(link.AwaitReply(reply.data()), 0xA0);
  EXPECT_EQ(reply[511], 0x33);
}

TEST_F(LinkUsbTest, FailedAsynchronousReadCountsAsNoAnswer) {
  Reply reply;
  reply[0] = 0xA1;
  ASSERT_TRUE(link.BulkRead(reply.data(), 512, true));
  usb.QueueReadError(-5);
  EXPECT_EQ(link.AwaitReply(reply.data()), 0xFF);
}

TEST_F(LinkUsbTest, ClosingUnderAWaitingReadGives0xFfAndNoLateWrite) {
  auto reply = std::make_unique<Reply>();
  (*reply)[0] = 0xA1;
  ASSERT_TRUE(link.BulkRead(reply->data(), 512, true));
  ASSERT_TRUE(usb.WaitForBlockedRead());
  std::thread closer([&] { link.CloseDevice(); });
  EXPECT_EQ(link.AwaitReply(reply->data()), 0xFF);
  closer.join();
  reply.reset();  // the caller's buffer goes; the read thread has ended with CloseDevice
  usb.QueueReplyByte(0xA0);
  EXPECT_EQ(link.IsReadDone(), 1);
  EXPECT_EQ(link.IsOpened(), 0);
  EXPECT_EQ(usb.OpenHandles(), 0);
}

TEST(LinkLifetimeTest, DestroyingTheTableEndsAPendingRead) {
  FakeUsb usb(1);
  Reply reply;
  {
    TestSystem system(usb);
    ZvUsb& link = system.Table.Link(0);
    ASSERT_TRUE(link.OpenDevice(usb.Unit(0)));
    ASSERT_TRUE(link.BulkRead(reply.data(), 512, true));
    ASSERT_TRUE(usb.WaitForBlockedRead());
  }  // joins the read thread
  EXPECT_EQ(usb.OpenHandles(), 0);
}

TEST(LinkLifetimeTest, OpenIsRefusedOnceAndTrueWhileOpen) {
  FakeUsb usb(1);
  TestSystem system(usb);
  usb.FailOpen(true);
  EXPECT_FALSE(system.Table.Link(0).OpenDevice(usb.Unit(0)));
  EXPECT_EQ(system.Table.Link(0).IsOpened(), 0);
  usb.FailOpen(false);
  EXPECT_TRUE(system.Table.Link(0).OpenDevice(usb.Unit(0)));
  EXPECT_TRUE(system.Table.Link(0).OpenDevice(nullptr));  // already open
  system.Table.Link(0).CloseDevice();
  EXPECT_EQ(system.Table.Link(0).IsOpened(), 0);
  EXPECT_EQ(system.Table.Link(0).IsBusy(), 0);
}

TEST(LinkLifetimeTest, OpenWaitsForTheUnitLock) {
  FakeUsb usb(1);
  TestSystem system(usb);
  std::future<bool> opened;
  {
    NamedLockGuard held(system.Table.UnitLock());
    opened = std::async(std::launch::async,
                        [&] { return system.Table.Link(0).OpenDevice(usb.Unit(0)); });
    // However long the other thread runs meanwhile, it opens nothing while the lock is held.
    EXPECT_EQ(opened.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    EXPECT_TRUE(usb.Calls().empty());
  }
  EXPECT_TRUE(opened.get());
  EXPECT_EQ(usb.Calls(), std::vector<std::string>{"open"});
}

}  // namespace
