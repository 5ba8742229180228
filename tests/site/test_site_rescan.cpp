// The unit rescan on simulated units: binding in bus order, the greeting queue 1, 36, the
// order by date-time identifier, lost units, and the panels it leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "site/command.h"
#include "site/rescan.h"
#include "tests/site/site_test_rig.h"

namespace {

// The bus's device record of unit k (plug order = the list order after the root hub).
struct usb_device* DeviceOfUnit(sim::SimBus& bus, int k) {
  usb_bus* first = bus.get_busses();
  if (first == nullptr) return nullptr;
  int index = -1;  // the root hub comes first
  for (struct usb_device* device = first->devices; device != nullptr; device = device->next) {
    if (device == first->root_dev) continue;
    if (++index == k) return device;
  }
  return nullptr;
}

unsigned WorkersStarted(SiteRig& rig) {
  return rig.system.Engine().StartedCount();
}

TEST(RescanTest, NoUnitFindsNothingAndStartsNoWorker) {
  SiteRig rig(0);
  EXPECT_FALSE(RescanUnits(rig.system));
  for (int site = 0; site < kSiteCount; ++site) {
    EXPECT_EQ(rig.panels.Status(site), siNone);
    EXPECT_FALSE(rig.system.Link(site).HasHandle());
  }
  EXPECT_EQ(WorkersStarted(rig), 0u);
  // The site group is greyed for the scan and given back at the end.
  const std::vector<PanelEvent> calls = rig.host.EventsFor(-1);
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front().kind, PanelEvent::Kind::SiteGroupEnabled);
  EXPECT_EQ(calls.front().value, 0u);
  EXPECT_EQ(calls.back().value, 1u);
  EXPECT_TRUE(rig.panels.SiteGroupEnabled());
}

TEST(RescanTest, UnitsAreBoundInBusOrderWhenTheirKeysAreEqual) {
  SiteRig rig(2);
  rig.Unit(0).setDateTimeId(7);
  rig.Unit(1).setDateTimeId(7);
  ASSERT_TRUE(RescanUnits(rig.system));
  EXPECT_EQ(rig.system.Link(0).DeviceOfHandle(), DeviceOfUnit(*rig.rig.bus, 0));
  EXPECT_EQ(rig.system.Link(1).DeviceOfHandle(), DeviceOfUnit(*rig.rig.bus, 1));
  EXPECT_EQ(WorkersStarted(rig), 2u);
}

TEST(RescanTest, SitesAreOrderedByIdentifierWithAnUnreadOneLast) {
  SiteRig rig(3);
  rig.Unit(0).setDateTimeId(0x0000000300000000ULL);
  rig.Unit(1).setDateTimeId(0x0000000100000005ULL);
  rig.Unit(2).armFault(sim::Fault::fail().onCode(sim::Code::EepromRead));  // never identified
  ASSERT_TRUE(RescanUnits(rig.system));

  EXPECT_EQ(rig.system.Link(0).DeviceOfHandle(), DeviceOfUnit(*rig.rig.bus, 1));
  EXPECT_EQ(rig.system.Link(0).GetOrderKey(), 0x0000000100000005ULL);
  EXPECT_EQ(rig.system.Link(1).DeviceOfHandle(), DeviceOfUnit(*rig.rig.bus, 0));
  EXPECT_EQ(rig.system.Link(2).DeviceOfHandle(), DeviceOfUnit(*rig.rig.bus, 2));
  EXPECT_EQ(rig.system.Link(2).GetOrderKey(), ZvUsb::kUnknownKey);
  for (int site = 0; site < 3; ++site) EXPECT_EQ(rig.panels.Status(site), siReady) << site;
  for (int site = 3; site < kSiteCount; ++site) EXPECT_EQ(rig.panels.Status(site), siNone);
  // Unit 2 was greeted on site index 2 before the sort.
  EXPECT_TRUE(rig.captured.Has("Site #3 - EEPROM Read Fail!", LogColour::Red));
}

TEST(RescanTest, GreetingEndsReadyEvenWhenItsStepsFail) {
  SiteRig rig(2);
  rig.Unit(0).armFault(sim::Fault::refuse().onCode(sim::Code::ConnectNotice));
  rig.Unit(1).armFault(sim::Fault::refuse().onCode(sim::Code::BulkIn));
  ASSERT_TRUE(RescanUnits(rig.system));
  EXPECT_EQ(rig.panels.Status(0), siReady);
  EXPECT_EQ(rig.panels.Status(1), siReady);
  EXPECT_TRUE(rig.panels.Checked(0));
  // The refused greeting stopped its queue: unit 0 was never asked for its identifier.
  EXPECT_TRUE(rig.Unit(0).record().commandsWithCode(sim::Code::EepromRead).empty());
  EXPECT_TRUE(rig.captured.Has("Site #2 - Get DateTime ID Fail!", LogColour::Red));
  // Both keys unknown: the bus order stays.
  EXPECT_EQ(rig.system.Link(0).DeviceOfHandle(), DeviceOfUnit(*rig.rig.bus, 0));
}

TEST(RescanTest, ARescanKeepsBoundUnitsAndDropsLostOnes) {
  SiteRig rig(2);
  rig.Unit(0).setDateTimeId(1);
  rig.Unit(1).setDateTimeId(2);
  ASSERT_TRUE(RescanUnits(rig.system));
  rig.panels.SetBigStatus(0, siPass);
  rig.panels.SetStatus(1, siFail);
  const unsigned greeted = WorkersStarted(rig);

  ASSERT_TRUE(RescanUnits(rig.system));  // nothing changed: nobody is greeted again
  EXPECT_EQ(WorkersStarted(rig), greeted);
  EXPECT_EQ(rig.panels.BigStatus(0), 0);
  EXPECT_EQ(rig.panels.Status(1), siReady);

  rig.rig.bus->pull(rig.Unit(0));  // the unit on site index 0
  ASSERT_TRUE(RescanUnits(rig.system));
  EXPECT_EQ(WorkersStarted(rig), greeted);
  // The lost unit's link lost its key and sorts last; the other unit moves up.
  EXPECT_EQ(rig.system.Link(0).GetOrderKey(), 2u);
  EXPECT_EQ(rig.panels.Status(0), siReady);
  EXPECT_EQ(rig.panels.Status(1), siNone);
  EXPECT_FALSE(rig.system.Link(1).HasHandle());
  EXPECT_EQ(rig.system.Link(1).GetOrderKey(), ZvUsb::kUnknownKey);

  rig.rig.bus->pull(rig.Unit(1));
  EXPECT_FALSE(RescanUnits(rig.system));
  for (int site = 0; site < kSiteCount; ++site) EXPECT_EQ(rig.panels.Status(site), siNone);
  EXPECT_EQ(rig.rig.bus->openHandleCount(), 0u);
}

TEST(RescanTest, AReturningUnitIsGreetedAgain) {
  SiteRig rig(1);
  ASSERT_TRUE(RescanUnits(rig.system));
  rig.rig.bus->pull(rig.Unit(0));
  EXPECT_FALSE(RescanUnits(rig.system));
  ASSERT_TRUE(rig.rig.bus->plug(rig.rig.units[0]));
  const unsigned before = WorkersStarted(rig);
  ASSERT_TRUE(RescanUnits(rig.system));
  EXPECT_EQ(WorkersStarted(rig), before + 1);
  EXPECT_EQ(rig.panels.Status(0), siReady);
  EXPECT_EQ(rig.system.Link(0).GetOrderKey(), sim::rigDateTimeId(0, 1));
}

TEST(RescanTest, ARescanWhileASiteWorksLeavesThatSiteAlone) {
  SiteRig rig(2);
  rig.Unit(0).setDateTimeId(1);
  rig.Unit(1).setDateTimeId(2);
  ASSERT_TRUE(RescanUnits(rig.system));
  // Site index 0 runs a long operation; it is not selected, so the rescan's own wait for
  // the greetings does not wait for it.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  rig.system.Opcodes().Register(9, [released](SiteContext&, const OperationTexts&) {
    WaitReleased(released);
    return SiteResultCode::Pass;
  });
  rig.panels.SetChecked(0, false);
  OpcodeQueue queue = MakeQueue({9});
  ASSERT_TRUE(Command(rig.system, 0, queue).Started());
  const unsigned before = WorkersStarted(rig);

  // Its unit leaves and comes back while the operation runs.
  rig.rig.bus->pull(rig.Unit(0));
  ASSERT_TRUE(rig.rig.bus->plug(rig.rig.units[0]));
  rig.captured.Clear();
  ASSERT_TRUE(RescanUnits(rig.system));

  // The working site kept its state and took no unit; the next free site took it and greeted
  // it, and the links were not reordered under the running worker.
  EXPECT_EQ(rig.panels.Status(0), siWorking);
  EXPECT_FALSE(rig.system.Link(0).HasHandle());
  EXPECT_EQ(rig.system.Link(1).GetOrderKey(), 2u);  // the other unit stays where it was
  EXPECT_EQ(rig.system.Link(2).GetOrderKey(), 1u);
  EXPECT_TRUE(rig.system.Link(2).HasHandle());
  EXPECT_EQ(rig.panels.Status(2), siReady);
  EXPECT_EQ(WorkersStarted(rig), before + 1);
  EXPECT_TRUE(rig.captured.TextsOf(0).empty());

  release.set_value();
  ASSERT_TRUE(WaitUntil([&] { return !rig.system.Engine().IsRunning(0); }));
  EXPECT_EQ(rig.panels.Status(0), siNone);  // its own unit is gone
}

TEST(RescanTest, MoreUnitsThanSitesFillEverySite) {
  SiteRig rig(9);
  ASSERT_TRUE(RescanUnits(rig.system));
  for (int site = 0; site < kSiteCount; ++site) EXPECT_EQ(rig.panels.Status(site), siReady);
  for (int site = 1; site < kSiteCount; ++site) {
    EXPECT_LE(rig.system.Link(site - 1).GetOrderKey(), rig.system.Link(site).GetOrderKey());
  }
  EXPECT_EQ(WorkersStarted(rig), 8u);
}

// A unit whose device node the user may not open (the open refused, or a read-only handle
// whose first request is refused) is named in the log with the udev rule, binds to no site, and
// does not keep the other unit from its site. Every device notice rescans: the line comes once
// per unit until its state changes (gone and back, or opened), then once again.
TEST(RescanTest, UnitWithoutPermissionIsReportedOncePerStateAndBindsWhenAllowed) {
  for (const sim::DeviceAccess access : {sim::DeviceAccess::None, sim::DeviceAccess::ReadOnly}) {
    SCOPED_TRACE(static_cast<int>(access));
    SiteRig rig(2);
    rig.rig.bus->setAccess(rig.Unit(0), access);
    const auto texts = [&rig] {
      std::vector<std::string> all;
      for (const LoggedLine& line : rig.captured.Lines()) all.push_back(line.text);
      rig.captured.Clear();
      return all;
    };
    // The refused unit is the device that site 1 did not bind.
    const auto deniedLine = [&rig] {
      const struct usb_device* bound = rig.system.Link(0).DeviceOfHandle();
      const struct usb_device* refused = DeviceOfUnit(*rig.rig.bus, 0);
      if (refused == bound) refused = DeviceOfUnit(*rig.rig.bus, 1);
      const std::string device =
          refused == nullptr ? "?" : std::string(refused->bus->dirname) + "/" + refused->filename;
      return "USB Unit " + device + " Cannot Be Opened: Permission Denied! Install the udev rule " +
             std::string(UnitUsb::UdevRuleFile) +
             " (in /etc/udev/rules.d or /usr/lib/udev/rules.d), join the group plugdev and "
             "replug the unit.";
    };
    ASSERT_TRUE(RescanUnits(rig.system));
    const std::vector<std::string> first = texts();
    EXPECT_EQ(std::count(first.begin(), first.end(), deniedLine()), 1) << first.size();
    for (const std::string& line : first) {
      if (line != deniedLine()) {
        EXPECT_EQ(line.find("Permission"), std::string::npos) << line;
      }
    }
    EXPECT_EQ(rig.system.Link(0).DeviceOfHandle(), DeviceOfUnit(*rig.rig.bus, 1));
    for (int site = 1; site < kSiteCount; ++site) EXPECT_EQ(rig.panels.Status(site), siNone);
    EXPECT_EQ(rig.rig.bus->openHandleCount(), 1u);  // the refused handle was closed

    ASSERT_TRUE(RescanUnits(rig.system));
    ASSERT_TRUE(RescanUnits(rig.system));
    EXPECT_EQ(texts(), std::vector<std::string>{});

    // Gone and plugged back, still refused: named again, once.
    const std::shared_ptr<sim::SimUnit> unit = rig.rig.units[0];
    ASSERT_TRUE(rig.rig.bus->pull(*unit));
    ASSERT_TRUE(RescanUnits(rig.system));
    EXPECT_EQ(texts(), std::vector<std::string>{});
    ASSERT_TRUE(rig.rig.bus->plug(unit));
    rig.rig.bus->setAccess(*unit, access);
    ASSERT_TRUE(RescanUnits(rig.system));
    ASSERT_TRUE(RescanUnits(rig.system));
    EXPECT_EQ(texts(), std::vector<std::string>{deniedLine()});

    // Allowed: bound at the next rescan without the line; refused once more: named again.
    rig.rig.bus->setAccess(*unit, sim::DeviceAccess::Full);
    ASSERT_TRUE(RescanUnits(rig.system));
    EXPECT_TRUE(rig.system.Link(0).HasHandle() && rig.system.Link(1).HasHandle());
    for (const std::string& line : texts()) {
      EXPECT_EQ(line.find("Permission Denied"), std::string::npos) << line;
    }
  }
}

}  // namespace
