// Chunk policies, the judgement of a bus list, the ordering of the links and the settings
// words. No threads.
#include <gtest/gtest.h>

#include "link/bulk_exchange.h"
#include "tests/link/fake_usb.h"
#include "tests/link/link_test_support.h"

namespace {

void ExpectPlan(const ChunkPlan& plan, std::uint32_t length, std::uint32_t count) {
  EXPECT_EQ(plan.Length, length);
  EXPECT_EQ(plan.Count, count);
}

TEST(ChunkPolicyTest, SendBuffer) {
  ExpectPlan(SendBufferPlan(512), 1024, 1);
  ExpectPlan(SendBufferPlan(1024), 1024, 1);
  ExpectPlan(SendBufferPlan(1025), 1025, 1);
  ExpectPlan(SendBufferPlan(65536), 65536, 1);
  ExpectPlan(SendBufferPlan(1048575), 1048575, 1);
  ExpectPlan(SendBufferPlan(1048576), 1048576, 1);
  ExpectPlan(SendBufferPlan(3 * 1048576), 1048576, 3);
  ExpectPlan(SendBufferPlan(3 * 1048576 + 1), 1048576, 4);
  ExpectPlan(SendBufferPlan(0), 1024, 0);
}

TEST(ChunkPolicyTest, ReceiveBuffer) {
  ExpectPlan(ReceiveBufferPlan(1024), 1024, 1);
  ExpectPlan(ReceiveBufferPlan(100), 100, 1);
  ExpectPlan(ReceiveBufferPlan(1048575), 1048575, 1);
  ExpectPlan(ReceiveBufferPlan(1048576), 1048576, 1);
  ExpectPlan(ReceiveBufferPlan(2 * 1048576 + 5), 1048576, 3);
  EXPECT_EQ(ReceiveBufferPlan(0).Count, 0u);  // no division by a zero chunk length
}

TEST(ChunkPolicyTest, FixedPoliciesAndFileRange) {
  ExpectPlan(SendBufferFixedPlan(1000), 1024, 1);
  ExpectPlan(SendBufferFixedPlan(1024), 1024, 1);
  ExpectPlan(SendBufferFixedPlan(65536), 1048576, 1);
  ExpectPlan(ReceiveBufferFixedPlan(0x100000), 1048576, 1);
  ExpectPlan(ReceiveBufferFixedPlan(1025), 1048576, 1);
  ExpectPlan(ReceiveBufferFixedPlan(64), 1024, 1);
  ExpectPlan(SendFileRangePlan(1500), 1048576, 1);
  ExpectPlan(SendFileRangePlan(1024), 1024, 1);
  ExpectPlan(SendFileRangePlan(std::uint64_t{5} << 30), 1048576, 5120);
  EXPECT_EQ(SendFileRangePlan(std::uint64_t{1} << 60).Count, 0u);  // beyond 2^32 chunks
}

TEST(BusScanTest, AttachedByChildrenOrByListedDevices) {
  FakeUsb usb(2);
  UnitScan scan = ScanBusList(usb.get_busses());
  EXPECT_TRUE(scan.Attached);
  ASSERT_EQ(scan.Units.size(), 2u);
  EXPECT_EQ(scan.Units[0], usb.Unit(0));  // bus order

  // The real library leaves the child counts at 0 for non-root users: the listed units
  // still count as attached.
  usb.SetRootChildren(0);
  scan = ScanBusList(usb.get_busses());
  EXPECT_TRUE(scan.Attached);
  EXPECT_EQ(scan.Units.size(), 2u);

  usb.Pull(0);
  usb.Pull(1);
  scan = ScanBusList(usb.get_busses());
  EXPECT_FALSE(scan.Attached);
  EXPECT_TRUE(scan.Units.empty());
  EXPECT_FALSE(ScanBusList(nullptr).Attached);
}

TEST(BusScanTest, ForeignDeviceIsAttachedButNoUnit) {
  struct usb_bus bus {};
  struct usb_device root {};
  struct usb_device mouse {};
  mouse.descriptor.idVendor = 0x046D;
  mouse.descriptor.idProduct = UnitUsb::ProductId;
  root.next = &mouse;
  bus.devices = &root;
  bus.root_dev = &root;
  const UnitScan scan = ScanBusList(&bus);
  EXPECT_TRUE(scan.Attached);
  EXPECT_TRUE(scan.Units.empty());
}

TEST(LinkTableTest, PowerLedWordAndModeByteFromSettings) {
  FakeUsb usb(0);
  TestSystem system(usb);
  EXPECT_EQ(system.Table.Link(0).PowerLedWord.load(), 0x0204u);
  S_SystemPara settings;
  settings.PowerLed_RetryCount = 7;
  settings.PowerLed_RetryDelayMS = 300;
  settings.ModeByte = 0xA5;
  system.Table.ApplySettings(settings);
  for (int site = 0; site < kSiteCount; ++site) {
    EXPECT_EQ(system.Table.Link(site).PowerLedWord.load(), 7u | 300u << 8);
    EXPECT_EQ(system.Table.Link(site).ModeByte.load(), 0xA5);
  }
  const Packet head = *system.Table.Link(3).MakeOrdinaryCommandPacket(1);
  EXPECT_EQ(head[18], 0xA5);
  EXPECT_EQ(head[28], 7);
  EXPECT_EQ(head[29], 0x2C);  // 300 = 0x12C
  EXPECT_EQ(head[30], 0x01);
}

TEST(LinkTableTest, SortByKeyPutsUnreadKeysLastAndKeepsEqualKeysInOrder) {
  FakeUsb usb(0);
  TestSystem system(usb);
  const std::uint64_t keys[kSiteCount] = {
      50, ZvUsb::kUnknownKey, 10, 30, ZvUsb::kUnknownKey, 30, 20, (std::uint64_t{1} << 63)};
  ZvUsb* before[kSiteCount];
  for (int site = 0; site < kSiteCount; ++site) {
    system.Table.Link(site).SetOrderKey(keys[site]);
    before[site] = &system.Table.Link(site);
  }
  system.Table.SortLinksByKey();
  ZvUsb* const order[kSiteCount] = {before[2], before[6], before[3], before[5],
                                    before[0], before[7], before[1], before[4]};
  for (int site = 0; site < kSiteCount; ++site) {
    EXPECT_EQ(&system.Table.Link(site), order[site]) << site;
    EXPECT_EQ(system.Table.Link(site).SiteIndex(), site);
  }
}

TEST(LinkTableTest, PresenceAndFreeDevice) {
  FakeUsb usb(2);
  TestSystem system(usb);
  EXPECT_FALSE(system.Table.IsUnitPresent(0));  // no handle
  EXPECT_EQ(system.Table.FindFreeDevice(), usb.Unit(0));
  ASSERT_TRUE(system.Table.Link(0).OpenDevice(usb.Unit(0)));
  EXPECT_TRUE(system.Table.IsUnitPresent(0));
  EXPECT_EQ(system.Table.FindFreeDevice(), usb.Unit(1));
  ASSERT_TRUE(system.Table.Link(1).OpenDevice(usb.Unit(1)));
  EXPECT_EQ(system.Table.FindFreeDevice(), nullptr);
  usb.Pull(0);
  EXPECT_FALSE(system.Table.IsUnitPresent(0));
  EXPECT_TRUE(system.Table.IsUnitPresent(1));
  EXPECT_FALSE(system.Table.IsUnitPresent(8));
}

TEST(LinkTableTest, OpenRefusesARecordNoLongerListed) {
  FakeUsb usb(1);
  TestSystem system(usb);
  struct usb_device* unit = usb.Unit(0);
  usb.Pull(0);
  EXPECT_FALSE(system.Table.Link(0).OpenDevice(unit));
  EXPECT_TRUE(usb.Calls().empty());  // the library was not asked to open it
  EXPECT_EQ(system.Table.Link(0).IsOpened(), 0);
}

}  // namespace
