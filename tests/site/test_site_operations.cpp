// The unit greeting and leave-taking, the EEPROM read and the date-time identifier against
// simulated units: what goes on the wire, what is logged, and how faults end them.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "site/command.h"
#include "site/ops/card_commands.h"
#include "site/ops/eeprom_ops.h"
#include "site/ops/identity_ops.h"
#include "site/ops/unit_notice_ops.h"
#include "site/rescan.h"
#include "site/site_wait.h"
#include "site/system_startup.h"
#include "tests/site/site_test_rig.h"
#include "tests/site/site_waits.h"

namespace {

class OperationsTest : public ::testing::Test {
 protected:
  OperationsTest() : rig(1) {
    EXPECT_TRUE(RescanUnits(rig.system));
    rig.captured.Clear();
    Unit().clearRecord();
  }

  sim::SimUnit& Unit() { return rig.Unit(0); }
  ZvUsb& Link() { return rig.system.Link(0); }
  std::vector<std::string> Lines() { return rig.captured.TextsOf(0); }

  // Waits until the unit has received a command with `code` and the PC has read its
  // acceptance, so the PC is waiting for the completion reply. Call before the command goes.
  void ExpectCompletionWait() { repliesBefore = Unit().record().repliesSent; }
  bool Received(std::uint16_t code) {
    return WaitUntil([&] {
      const sim::UnitRecord record = Unit().record();
      return !record.commandsWithCode(code).empty() && record.repliesSent > repliesBefore;
    });
  }

  std::uint64_t repliesBefore = 0;

  SiteRig rig;
};

TEST_F(OperationsTest, NoticesSendTheirCodeAndLogNothingOnTheirWay) {
  EXPECT_EQ(ConnectNotice(rig.Site(0)), SiteResultCode::Pass);
  EXPECT_EQ(CloseNotice(rig.Site(0)), SiteResultCode::Pass);
  EXPECT_EQ(Unit().record().codes(),
            (std::vector<std::uint16_t>{sim::Code::ConnectNotice, sim::Code::CloseNotice}));
  const sim::DecodedBlock block = Unit().record().commands.front().block;
  EXPECT_EQ(block.frameType, 0xA0);
  EXPECT_EQ(block.commandByte, 0);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(Link().IsBusy(), 0);
}

TEST_F(OperationsTest, CloseNoticesAtExitGoOnlyToSitesThatShowAUnit) {
  SendCloseNotices(rig.system);
  EXPECT_EQ(Unit().record().codes(), (std::vector<std::uint16_t>{sim::Code::CloseNotice}));
  rig.panels.SetStatus(0, siNone);
  SendCloseNotices(rig.system);
  EXPECT_EQ(Unit().record().commandCount, 1u);
}

TEST_F(OperationsTest, NoticeAnswersOtherThanPassFailSilently) {
  for (const sim::Fault& fault :
       {sim::Fault::refuse(), sim::Fault::fail(), sim::Fault::garbage(0x5A)}) {
    Unit().armFault(sim::Fault(fault).onCode(sim::Code::ConnectNotice));
    EXPECT_EQ(ConnectNotice(rig.Site(0)), SiteResultCode::Fail);
    EXPECT_EQ(Link().IsBusy(), 0);
    EXPECT_TRUE(Link().HasHandle());
  }
  EXPECT_TRUE(Lines().empty());
}

TEST_F(OperationsTest, ABusyLinkRefusesWithoutSending) {
  // A frame without answer leaves the link busy, as the input/output mode command does.
  CommandParts parts;
  parts.Command =
      Link().MakeCommandPacket({.Frame = FrameType::IoMode, .CodeCount = 0, .Command = 1});
  ASSERT_TRUE(Link().SendCommand(std::move(parts)));
  ASSERT_EQ(Link().IsBusy(), 1);
  const std::uint64_t sent = Unit().record().commandCount;

  EXPECT_EQ(ConnectNotice(rig.Site(0)), SiteResultCode::Fail);
  EXPECT_EQ(GetDateTimeId(rig.Site(0)), SiteResultCode::Fail);
  // The card commands: the same refusal, not the card's own " Ack Error!,".
  EXPECT_EQ(SdCardDetect(rig.Site(0)), SiteResultCode::Fail);
  EXPECT_EQ(SdDeleteDirectory(rig.Site(0), "Proj0", false), SiteResultCode::Fail);
  EXPECT_EQ(Lines(), (std::vector<std::string>(4, "Site #1 - USB Busy!")));
  EXPECT_EQ(Unit().record().commandCount, sent);
  EXPECT_EQ(Link().IsBusy(), 1);  // the refusal leaves the flag alone
}

TEST_F(OperationsTest, DateTimeIdReadsTheEepromBlockIntoTheOrderKey) {
  // The block 01 00 00 00 02 00 00 00: low word 1, high word 2.
  Unit().setDateTimeId(0x0000000200000001ULL);
  EXPECT_EQ(GetDateTimeId(rig.Site(0)), SiteResultCode::Pass);
  EXPECT_EQ(Link().GetOrderKey(), 0x0000000200000001ULL);
  EXPECT_EQ(Lines(),
            (std::vector<std::string>{"Site #1 - EEPROM Read", "Site #1 - EEPROM Read Pass",
                                      "Site #1 - Get DateTime ID Pass"}));
  EXPECT_TRUE(rig.captured.Has("Site #1 - EEPROM Read", LogColour::Start));
  EXPECT_TRUE(rig.captured.Has("Site #1 - Get DateTime ID Pass", LogColour::Green));

  const sim::UnitRecord record = Unit().record();
  ASSERT_EQ(record.codes(), (std::vector<std::uint16_t>{sim::Code::EepromRead, sim::Code::BulkIn}));
  const sim::DecodedBlock& eeprom = record.commands[0].block;
  EXPECT_EQ(eeprom.commandByte, 1);
  EXPECT_EQ(eeprom.p(3), UnitAddress::Settings);
  EXPECT_EQ(eeprom.p(6), 320u);
  EXPECT_EQ(eeprom.p(7), 64u);
  const sim::DecodedBlock& bulkIn = record.commands[1].block;
  EXPECT_EQ(bulkIn.p(1), 1024u);  // one whole 1 KiB chunk for 64 wanted bytes
  EXPECT_EQ(bulkIn.p(2), 1u);
  EXPECT_EQ(bulkIn.p(3), UnitAddress::Settings);
  EXPECT_EQ(Link().IsBusy(), 0);
}

TEST_F(OperationsTest, EepromFailuresAreReportedOnceWithTheirOwnTexts) {
  Link().SetOrderKey(42);
  struct Case {
    sim::Fault fault;
    const char* line;
  };
  const std::vector<Case> cases = {
      {sim::Fault::refuse(), "Site #1 - EEPROM Read Command Error!"},
      {sim::Fault::fail(), "Site #1 - EEPROM Read Fail!"},
      {sim::Fault::garbage(0x5A), "Site #1 - EEPROM Read Get Ack Error!"},
  };
  for (const Case& c : cases) {
    rig.captured.Clear();
    Unit().armFault(sim::Fault(c.fault).onCode(sim::Code::EepromRead));
    EXPECT_EQ(GetDateTimeId(rig.Site(0)), SiteResultCode::Fail) << c.line;
    // The EEPROM lines say it all: no identifier line follows.
    EXPECT_EQ(Lines(), (std::vector<std::string>{"Site #1 - EEPROM Read", c.line}));
    EXPECT_TRUE(rig.captured.Has(c.line, LogColour::Red));
    EXPECT_EQ(Link().GetOrderKey(), 42u);
  }
}

TEST_F(OperationsTest, AFailedReadBackLeavesTheKeyAlone) {
  Link().SetOrderKey(42);
  Unit().armFault(sim::Fault::refuse().onCode(sim::Code::BulkIn));
  EXPECT_EQ(GetDateTimeId(rig.Site(0)), SiteResultCode::Fail);
  EXPECT_EQ(Lines(), (std::vector<std::string>{
                         "Site #1 - EEPROM Read", "Site #1 - EEPROM Read Pass",
                         "Site #1 - BulkIn Command Error!", "Site #1 - Get DateTime ID Fail!"}));
  EXPECT_TRUE(rig.captured.Has("Site #1 - Get DateTime ID Fail!", LogColour::Red));
  EXPECT_EQ(Link().GetOrderKey(), 42u);
}

TEST_F(OperationsTest, PullingTheUnitWhileItsReplyIsAwaitedEndsWithAnAckError) {
  Unit().armFault(sim::Fault::neverAnswer().onCode(sim::Code::EepromRead));
  ExpectCompletionWait();
  std::future<SiteResult> result =
      std::async(std::launch::async, [this] { return GetDateTimeId(rig.Site(0)); });
  ASSERT_TRUE(Received(sim::Code::EepromRead));
  rig.rig.bus->pull(Unit());
  EXPECT_FALSE(RescanUnits(rig.system));  // the removal notice's rescan closes the link
  ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(result.get(), SiteResultCode::Fail);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Site #1 - EEPROM Read",
                                               "Site #1 - EEPROM Read Get Ack Error!"}));
  EXPECT_FALSE(Link().HasHandle());
  EXPECT_EQ(Link().IsOpened(), 0);
}

TEST_F(OperationsTest, AWorkerWhoseUnitIsPulledEndsWithNoneAndAClosedLink) {
  Unit().armFault(sim::Fault::neverAnswer().onCode(sim::Code::EepromRead));
  ExpectCompletionWait();
  OpcodeQueue queue = MakeQueue({Opcodes::GetDateTimeId, Opcodes::ConnectNotice});
  Command command(rig.system, 0, queue);
  ASSERT_TRUE(Received(sim::Code::EepromRead));
  rig.rig.bus->pull(Unit());
  EXPECT_FALSE(RescanUnits(rig.system));
  WaitForSitesOrFail(rig.system);
  ASSERT_TRUE(WaitUntil([&] { return !rig.system.Engine().IsRunning(0); }));
  EXPECT_EQ(rig.panels.Status(0), siNone);
  EXPECT_FALSE(Link().HasHandle());
  EXPECT_TRUE(Unit().record().commandsWithCode(sim::Code::ConnectNotice).empty());
}

TEST_F(OperationsTest, CloseNoticeEndsWhenTheUnitLeavesWithoutARescan) {
  // At program close the notice runs on the UI thread: nothing else would close the link.
  Unit().armFault(sim::Fault::neverAnswer().onCode(sim::Code::CloseNotice));
  ExpectCompletionWait();
  std::future<SiteResult> result =
      std::async(std::launch::async, [this] { return CloseNotice(rig.Site(0)); });
  ASSERT_TRUE(Received(sim::Code::CloseNotice));
  rig.rig.bus->pull(Unit());
  ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(result.get(), SiteResultCode::Fail);
  EXPECT_FALSE(Link().HasHandle());
  EXPECT_TRUE(Lines().empty());
}

TEST_F(OperationsTest, ConnectNoticeEndsWhenARescanClosesTheLinkOfAPresentUnit) {
  Unit().armFault(sim::Fault::neverAnswer().onCode(sim::Code::ConnectNotice));
  ExpectCompletionWait();
  std::future<SiteResult> result =
      std::async(std::launch::async, [this] { return ConnectNotice(rig.Site(0)); });
  ASSERT_TRUE(Received(sim::Code::ConnectNotice));
  Link().CloseDevice();  // what a rescan does to a link it drops; the unit stays on the bus
  ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(result.get(), SiteResultCode::Fail);
  EXPECT_EQ(Link().IsOpened(), 0);
  EXPECT_EQ(Link().IsBusy(), 0);
  EXPECT_EQ(rig.rig.bus->openHandleCount(), 0u);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(OperationsTest, OperationsOnASiteWithoutUnitFail) {
  EXPECT_EQ(ConnectNotice(rig.Site(3)), SiteResultCode::Fail);
  EXPECT_FALSE(EepromRead(rig.Site(3), UnitAddress::Settings, 320, 64));
  EXPECT_EQ(Link().IsBusy(), 0);
}

}  // namespace

namespace {

// Without its resource pack the system can neither prepare nor run a unit: it says so once
// and asks its front end to end.
TEST(ResourcePackTest, AMissingPackEndsTheProgram) {
  SiteRig rig(0);
  SystemPaths paths;
  paths.BaseDir = "/nonexistent-zv-base/";
  rig.system.SetPaths(paths);
  EXPECT_FALSE(rig.system.Pack().Load());
  EXPECT_EQ(rig.host.MessageTexts(), (std::vector<std::string>{"ERROR: Plus.dll Does Not Exist!"}));
  EXPECT_TRUE(rig.host.ExitRequested());
}

}  // namespace
