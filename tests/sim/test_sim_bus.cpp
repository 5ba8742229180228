// The simulated bus as the link sees it: the libusb-0.1 lists, record and handle lifetime,
// claims, plug and pull from other threads, notices, and reads released by pulls and closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "sim/sim_factory.h"
#include "tests/sim/sim_test_pc.h"

namespace {

using simtest::makeBlock;
using simtest::Pc;

std::vector<struct usb_device*> unitRecords(UsbLibrary& usb) {
  std::vector<struct usb_device*> out;
  for (usb_bus* bus = usb.get_busses(); bus; bus = bus->next) {
    for (struct usb_device* d = bus->devices; d; d = d->next) {
      if (d->descriptor.idVendor == UnitUsb::VendorId &&
          d->descriptor.idProduct == UnitUsb::ProductId) {
        out.push_back(d);
      }
    }
  }
  return out;
}

TEST(SimBusList, BehavesAsTheLibraryBuildsIt) {
  sim::SimBus bus;
  EXPECT_EQ(bus.get_busses(), nullptr);  // nothing before the bus search
  EXPECT_EQ(bus.find_busses(), 1);
  EXPECT_EQ(bus.find_busses(), 0);
  EXPECT_EQ(bus.find_devices(), 0);
  usb_bus* b = bus.get_busses();
  ASSERT_NE(b, nullptr);
  ASSERT_NE(b->root_dev, nullptr);
  EXPECT_EQ(b->root_dev->num_children, 0);
  EXPECT_EQ(b->devices, b->root_dev);  // the hub is listed too
  EXPECT_EQ(b->next, nullptr);

  auto a = std::make_shared<sim::SimUnit>();
  auto c = std::make_shared<sim::SimUnit>();
  const int foreign = bus.plugForeign(0x1234, 0x5678);
  ASSERT_TRUE(bus.plug(a));
  ASSERT_TRUE(bus.plug(c));
  EXPECT_FALSE(bus.plug(a));              // already plugged
  EXPECT_TRUE(unitRecords(bus).empty());  // the list changes only with find_devices
  EXPECT_EQ(bus.find_devices(), 3);
  EXPECT_EQ(b->root_dev->num_children, 3);
  const auto records = unitRecords(bus);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->bus, b);
  EXPECT_EQ(records[0]->config->bConfigurationValue, UnitUsb::Configuration);
  const auto& alt = records[0]->config->interface->altsetting[0];
  ASSERT_EQ(alt.bNumEndpoints, 2);
  EXPECT_EQ(alt.endpoint[0].bEndpointAddress, UnitUsb::EndpointOut);
  EXPECT_EQ(alt.endpoint[1].bEndpointAddress, UnitUsb::EndpointIn);
  EXPECT_EQ(b->root_dev->children[1], records[0]);
  EXPECT_NE(std::string(records[0]->filename), std::string(records[1]->filename));

  // A pulled unit stays listed, with its record, until the next find_devices.
  ASSERT_TRUE(bus.pull(*a));
  EXPECT_EQ(unitRecords(bus), records);
  EXPECT_EQ(bus.open(records[0]), nullptr);  // but it cannot be opened
  EXPECT_EQ(bus.find_devices(), 1);
  EXPECT_EQ(unitRecords(bus), std::vector<struct usb_device*>{records[1]});
  EXPECT_TRUE(bus.pullForeign(foreign));
  bus.find_devices();
  EXPECT_EQ(b->root_dev->num_children, 1);

  // Plugged again: a new record, the old one stays valid memory and stays dead.
  ASSERT_TRUE(bus.plug(a));
  bus.find_devices();
  const auto again = unitRecords(bus);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[0], records[1]);
  EXPECT_NE(again[1], records[0]);
  EXPECT_EQ(records[0]->descriptor.idVendor, UnitUsb::VendorId);
  EXPECT_EQ(bus.open(records[0]), nullptr);
  EXPECT_NE(bus.open(again[1]), nullptr);
}

TEST(SimBusList, ForeignDevicesAreListedButNotOpened) {
  sim::SimBus bus;
  bus.find_busses();
  bus.plugForeign(0x046D, 0xC077);
  bus.find_devices();
  struct usb_device* d = bus.get_busses()->root_dev->children[0];
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->descriptor.idVendor, 0x046D);
  EXPECT_EQ(bus.open(d), nullptr);
  EXPECT_TRUE(unitRecords(bus).empty());
  EXPECT_STRNE(bus.strerror(), "no error");
}

TEST(SimBusHandles, OneClaimPerUnitAndDeadHandlesAfterAPull) {
  auto rig = sim::makeSimRig(1);
  UsbLibrary& usb = *rig.bus;
  usb.find_devices();
  struct usb_device* d = unitRecords(usb).at(0);
  usb_dev_handle* first = usb.open(d);
  usb_dev_handle* second = usb.open(d);  // opening twice is allowed
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(usb.device(first), d);
  EXPECT_EQ(usb.set_configuration(first, 1), 0);
  EXPECT_EQ(usb.set_configuration(first, 2), -22);
  EXPECT_EQ(usb.claim_interface(first, 0), 0);
  EXPECT_EQ(usb.claim_interface(first, 0), 0);  // again by the holder: fine
  EXPECT_EQ(usb.claim_interface(second, 0), -16);
  EXPECT_EQ(usb.claim_interface(first, 1), -22);
  auto block = makeBlock(sim::Code::ConnectNotice, 0);
  char* bytes = reinterpret_cast<char*>(block.data());
  EXPECT_EQ(usb.bulk_write(second, 0x01, bytes, 1024, 100), -16);
  EXPECT_EQ(usb.bulk_write(first, 0x02, bytes, 1024, 100), -22);
  EXPECT_EQ(rig.bus->openHandleCount(), 2u);

  // Closing the holder frees the claim for the other handle.
  EXPECT_EQ(usb.close(first), 0);
  EXPECT_EQ(usb.close(first), -9);
  EXPECT_EQ(usb.bulk_write(first, 0x01, bytes, 1024, 100), -19);
  EXPECT_EQ(usb.claim_interface(second, 0), 0);
  EXPECT_EQ(usb.bulk_write(second, 0x01, bytes, 1024, 100), 1024);

  // After a pull every call on the handle fails with -19; its record is still answered.
  rig.bus->pull(*rig.units[0]);
  char reply[512];
  EXPECT_EQ(usb.bulk_write(second, 0x01, bytes, 1024, 100), -19);
  EXPECT_EQ(usb.bulk_read(second, 0x82, reply, 512, 100), -19);
  EXPECT_EQ(usb.clear_halt(second, 0x01), -19);
  EXPECT_EQ(usb.reset(second), -19);
  EXPECT_EQ(usb.device(second), d);
  EXPECT_EQ(usb.release_interface(second, 0), 0);
  EXPECT_EQ(usb.close(second), 0);

  // A new attachment has a free claim again.
  rig.bus->plug(rig.units[0]);
  Pc pc(usb);
  ASSERT_NE(pc.handle, nullptr);
  EXPECT_EQ(pc.command(block), std::make_pair(0xA0, 0xA0));
}

TEST(SimBusReads, BlockedReadIsReleasedByAPullAndByAClose) {
  auto rig = sim::makeSimRig(2);
  Pc a(*rig.bus, 0);
  Pc b(*rig.bus, 1);
  ASSERT_NE(a.handle, nullptr);
  ASSERT_NE(b.handle, nullptr);
  std::atomic<int> resultA{0};
  std::atomic<int> resultB{0};
  std::thread readerA([&] { resultA = a.replyByte(0); });
  std::thread readerB([&] { resultB = b.replyByte(0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(resultA.load(), 0);  // both still waiting
  rig.bus->pull(*rig.units[0]);
  readerA.join();
  EXPECT_EQ(resultA.load(), -19);
  EXPECT_EQ(resultB.load(), 0);
  rig.bus->close(b.handle);
  readerB.join();
  EXPECT_EQ(resultB.load(), -19);
}

TEST(SimBusReads, TimeoutsAndReadsWithoutLimit) {
  auto rig = sim::makeSimRig(1);
  Pc pc(*rig.bus);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pc.replyByte(40), -110);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(35));
  // Without limit, a read waits for the reply that another thread's write brings.
  std::atomic<int> got{0};
  std::thread reader([&] { got = pc.replyByte(0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(pc.write(makeBlock(sim::Code::ConnectNotice, 0)), 1024);
  reader.join();
  EXPECT_EQ(got.load(), 0xA0);
}

TEST(SimBusNotices, ArrivalAndRemovalInOrderOnTheNoticeThread) {
  sim::SimBus bus;
  std::mutex m;
  std::vector<std::pair<sim::DeviceNotice::Kind, std::string>> seen;
  std::set<std::thread::id> threads;
  bus.setNoticeCallback([&](const sim::DeviceNotice& n) {
    std::lock_guard lock(m);
    seen.emplace_back(n.kind, n.name);
    threads.insert(std::this_thread::get_id());
  });
  sim::UnitConfig config;
  config.name = "left";
  auto left = std::make_shared<sim::SimUnit>(config);
  config.name = "right";
  auto right = std::make_shared<sim::SimUnit>(config);
  std::thread plugger([&] {
    bus.plug(left);
    bus.plug(right);
    bus.pull(*left);
  });
  plugger.join();
  bus.waitForNotices();
  bus.setNoticeCallback(nullptr);
  bus.pull(*right);  // nobody listens any more
  bus.waitForNotices();
  std::lock_guard lock(m);
  using K = sim::DeviceNotice::Kind;
  EXPECT_EQ(seen, (std::vector<std::pair<K, std::string>>{
                      {K::Arrival, "left"}, {K::Arrival, "right"}, {K::Removal, "left"}}));
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST(SimBusNotices, CallbackMayRescanTheBus) {
  // The notice thread is not the plugging thread, so a rescan from the notice is safe even
  // when the unit left the bus inside a bulk write.
  auto rig = sim::makeSimRig(1);
  std::atomic<int> listed{-1};
  rig.bus->setNoticeCallback([&](const sim::DeviceNotice&) {
    rig.bus->find_devices();
    listed = static_cast<int>(unitRecords(*rig.bus).size());
  });
  Pc pc(*rig.bus);
  rig.units[0]->armFault(sim::Fault::leaveBus(sim::ReplyStage::Acceptance));
  EXPECT_EQ(pc.write(makeBlock(sim::Code::ConnectNotice, 0)), 1024);
  rig.bus->waitForNotices();
  EXPECT_EQ(listed.load(), 0);
  rig.bus->setNoticeCallback(nullptr);
}

TEST(SimRigFactory, UnitsDifferAndAreNotInIdentifierOrder) {
  auto rig = sim::makeSimRig(8);
  ASSERT_EQ(rig.units.size(), 8u);
  EXPECT_EQ(rig.bus->pluggedUnits(), rig.units);
  std::set<std::uint64_t> ids;
  std::set<std::string> serials;
  std::vector<int> ranks;
  for (int k = 0; k < 8; ++k) {
    const auto e = rig.units[static_cast<std::size_t>(k)]->eepromBytes();
    std::uint64_t id = 0;
    for (int i = 7; i >= 0; --i) id = (id << 8) | e[320 + static_cast<std::size_t>(i)];
    EXPECT_EQ(id, sim::rigDateTimeId(k, 8));
    ids.insert(id);
    serials.insert(std::string(reinterpret_cast<const char*>(e.data())));
    ranks.push_back(sim::rigOrderRank(k, 8));
  }
  EXPECT_EQ(ids.size(), 8u);
  EXPECT_EQ(serials.size(), 8u);
  std::vector<int> sorted = ranks;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_FALSE(std::is_sorted(ranks.begin(), ranks.end()));
  EXPECT_NE(ranks, (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(sim::rigOrderRank(0, 2), 1);  // two units: the first sorts second
  EXPECT_EQ(sim::rigOrderRank(0, 1), 0);
}

TEST(SimBusConcurrency, EightUnitsWithWritersReadersAndPulls) {
  // The link's pattern on every unit: a worker writes commands while a read thread awaits
  // replies; a unit is pulled in the middle. Nothing hangs, and TSan sees no race.
  auto rig = sim::makeSimRig(8);
  std::vector<std::unique_ptr<Pc>> pcs;
  for (int k = 0; k < 8; ++k) pcs.push_back(std::make_unique<Pc>(*rig.bus, k));
  std::vector<std::thread> threads;
  std::atomic<int> answered{0};
  for (int k = 0; k < 8; ++k) {
    threads.emplace_back([&, k] {
      Pc& pc = *pcs[static_cast<std::size_t>(k)];
      auto block = makeBlock(sim::Code::EepromRead, 1, {0, 0, 0x20000000, 0, 0, 320, 64});
      for (int i = 0; i < 50; ++i) {
        std::atomic<int> completion{0};
        if (pc.write(block) != 1024 || pc.replyByte(0) != 0xA0) return;
        std::thread reader([&] { completion = pc.replyByte(0); });
        reader.join();
        if (completion.load() != 0xA0) return;
        ++answered;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  rig.bus->pull(*rig.units[3]);
  for (auto& t : threads) t.join();
  EXPECT_GE(answered.load(), 7 * 50);
  EXPECT_LT(answered.load(), 8 * 50 + 1);
}

}  // namespace
