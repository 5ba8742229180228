// The standard exchange and the bulk transfers against simulated units, with faults: the
// message tails and colours, the busy rule, the presence check, the write recovery as the
// unit sees it, the chunking as the unit receives it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "sim/sim_factory.h"
#include "tests/link/link_test_support.h"
#include "tests/support/hang_guard.h"

namespace {

sim::SimRig Rig(int units) {
  sim::RigOptions options;
  options.units = units;
  return sim::makeSimRig(options);
}

constexpr std::uint32_t kData = UnitAddress::Settings;

class ExchangeTest : public ::testing::Test {
 protected:
  ExchangeTest() : rig(Rig(2)), system(*rig.bus) {}

  void SetUp() override {
    const UnitScan scan = system.Table.EnumerateUnits();
    ASSERT_EQ(scan.Units.size(), 2u);
    for (int site = 0; site < 2; ++site) {
      ASSERT_TRUE(system.Table.Link(site).OpenDevice(scan.Units[static_cast<std::size_t>(site)]));
    }
  }

  ZvUsb& Link(int site = 0) { return system.Table.Link(site); }
  sim::SimUnit& Unit(int site = 0) { return *rig.units[static_cast<std::size_t>(site)]; }

  // An EEPROM read: a command the unit completes with a second reply.
  ExchangeOutcome Eeprom(const ExchangeOptions& options = {}, int site = 0) {
    CommandParts parts;
    parts.Parameter =
        Link(site).MakeParameterPacket({.Address = kData, .Offset = 320, .Length = 64});
    return StandardCommand(system.Table.Link(site), system.Log, "EEPROM Read",
                           CommandCode::EepromRead, 1, std::move(parts), options);
  }

  std::vector<std::string> Texts() { return system.Log.Texts(); }

  sim::SimRig rig;
  TestSystem system;
};

TEST_F(ExchangeTest, PassGivesStartAndPassLinesAndClearsBusy) {
  const ExchangeOutcome outcome = Eeprom();
  EXPECT_EQ(outcome.Result, 0xA0);
  const auto lines = system.Log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Text, "Site #1 - EEPROM Read");
  EXPECT_EQ(lines[0].Colour, 0xFF0000u);
  EXPECT_EQ(lines[1].Text, "Site #1 - EEPROM Read Pass");
  EXPECT_EQ(lines[1].Colour, 0x008000u);
  EXPECT_EQ(lines[1].Ignored, 1);
  EXPECT_EQ(lines[1].Essential, 0);
  EXPECT_EQ(Link().IsBusy(), 0);
}

TEST_F(ExchangeTest, BusyLinkRefusesWithoutSending) {
  ASSERT_TRUE(Link(1).SendCommand(
      Link(1).MakeCommandPacket({.Frame = FrameType::IoMode, .CodeCount = 0, .Command = 1}),
      nullptr, nullptr, 0, nullptr, std::nullopt, nullptr, nullptr));
  const auto before = Unit(1).record().writeCount;
  const ExchangeOutcome outcome = Eeprom({}, 1);
  EXPECT_EQ(outcome.Result, 0xA1);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Site #2 - USB Busy!"});
  EXPECT_EQ(system.Log.Lines()[0].Colour, 0x0000FFu);
  EXPECT_EQ(Unit(1).record().writeCount, before);
  EXPECT_EQ(Link(1).IsBusy(), 1);  // stays set
  std::vector<std::uint8_t> buffer(1024);
  EXPECT_EQ(SendBuffer(system.Table.Link(1), system.Log, buffer, 1024, kData), 0xA1);
  EXPECT_EQ(Texts().back(), "Site #2 - USB Busy!");
}

TEST_F(ExchangeTest, RefusedCommandIsACommandError) {
  Unit().armFault(sim::Fault::refuse().onCode(CommandCode::EepromRead));
  EXPECT_EQ(Eeprom().Result, 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - EEPROM Read Command Error!");
  EXPECT_EQ(Link().IsBusy(), 0);
  EXPECT_EQ(Link().IsOpened(), 1);
}

TEST_F(ExchangeTest, FailAndGarbageCompletionReplies) {
  Unit().armFault(sim::Fault::fail());
  EXPECT_EQ(Eeprom().Result, 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - EEPROM Read Fail!");
  Unit().armFault(sim::Fault::garbage(0x5A));
  const ExchangeOutcome outcome = Eeprom();
  EXPECT_EQ(outcome.Result, 0xA1);
  EXPECT_EQ(outcome.Answer, 0x5A);
  EXPECT_EQ(Texts().back(), "Site #1 - EEPROM Read Ack Error!");
}

TEST_F(ExchangeTest, UnitPulledWhileAwaitedIsAnAckErrorAndClosesTheLink) {
  Unit().armFault(sim::Fault::leaveBus(sim::ReplyStage::Completion));
  const ExchangeOutcome outcome = Eeprom();
  EXPECT_EQ(outcome.Answer, 0xFF);
  EXPECT_EQ(outcome.Result, 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - EEPROM Read Ack Error!");
  EXPECT_EQ(Link().IsOpened(), 0);
  EXPECT_FALSE(Link().HasHandle());
}

TEST_F(ExchangeTest, HandleOnlyPresenceLeavesTheLinkOfAPulledUnitToTheRescan) {
  Unit().armFault(sim::Fault::leaveBus(sim::ReplyStage::Completion));
  ExchangeOptions options;
  options.Presence = PresenceCheck::HandleOnly;
  EXPECT_EQ(Eeprom(options).Result, 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - EEPROM Read Ack Error!");
  EXPECT_EQ(Link().IsOpened(), 1);  // the handle is still held; the rescan will close it
  EXPECT_EQ(Link().IsBusy(), 0);
}

TEST_F(ExchangeTest, LinkClosedByARescanWhileAwaited) {
  Unit().armFault(sim::Fault::neverAnswer());
  std::thread rescan([&] {
    // Once the acceptance was read the completion is awaited (or about to be).
    EXPECT_TRUE(WaitUntil([&] { return Unit().record().repliesSent != 0; }));
    Link().CloseDevice();
  });
  const ExchangeOutcome outcome = Eeprom();
  rescan.join();
  EXPECT_EQ(outcome.Answer, 0xFF);
  EXPECT_EQ(outcome.Result, 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - EEPROM Read Ack Error!");
  EXPECT_EQ(rig.bus->openHandleCount(), 1u);  // only site 2's handle is left
}

TEST_F(ExchangeTest, WriteFailingOnceIsRecoveredAndTwiceIsTheOperationsError) {
  Unit().armFault(sim::Fault::failWrites(1).onCode(CommandCode::EepromRead));
  EXPECT_EQ(Eeprom().Result, 0xA0);
  sim::UnitRecord record = Unit().record();
  EXPECT_EQ(record.failedWriteCount, 1u);
  EXPECT_EQ(record.clearHaltCalls, 1u);
  EXPECT_EQ(record.resetCalls, 1u);
  ASSERT_GE(record.writes.size(), 2u);
  EXPECT_EQ(record.writes[0].bytes, record.writes[1].bytes);  // again from its start

  Unit().clearRecord();
  Unit().armFault(sim::Fault::failWrites(2).onCode(CommandCode::EepromRead));
  EXPECT_EQ(Eeprom().Result, 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - EEPROM Read Command Error!");
  EXPECT_EQ(Unit().record().failedWriteCount, 2u);
  EXPECT_EQ(Unit().record().writeCount, 2u);  // two attempts, no more
}

TEST_F(ExchangeTest, OptionsOwnAnswersNoStartNoPauseNoPresence) {
  Unit().armFault(sim::Fault::garbage(0xA2));
  ExchangeOptions options;
  options.LogStart = false;
  options.PausePolls = false;
  options.Presence = PresenceCheck::None;
  options.OwnAnswers = {0xA2};
  options.AnswerLine = [](std::uint8_t answer) -> std::optional<ExchangeOptions::Line> {
    if (answer == 0xA2) return ExchangeOptions::Line{" - Self Test Fail!", LogColour::Red};
    return std::nullopt;
  };
  const auto pausesBefore = system.Sleeps.Count(10);
  const ExchangeOutcome outcome = Eeprom(options);
  EXPECT_EQ(outcome.Result, 0xA2);  // returned as received
  EXPECT_EQ(Texts(), std::vector<std::string>{"Site #1 - Self Test Fail!"});
  EXPECT_EQ(system.Sleeps.Count(10), pausesBefore);
}

TEST_F(ExchangeTest, OnPassMayTurnAPassIntoAFailure) {
  ExchangeOptions options;
  options.OnPass = [&](const Reply& reply) {
    LogSite(system.Log, 0, " - Invalid BIOS Number!", LogColour::Red);
    return reply[0] == 0xA0 ? SiteResultCode::Fail : SiteResultCode::Pass;
  };
  EXPECT_EQ(Eeprom(options).Result, 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - Invalid BIOS Number!");
}

TEST_F(ExchangeTest, SendBufferChunksAsTheUnitReceivesThem) {
  std::vector<std::uint8_t> data(3 * 1048576);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_EQ(SendBuffer(system.Table.Link(0), system.Log, data, 65536, kData), 0xA0);
  EXPECT_EQ(SendBuffer(system.Table.Link(0), system.Log, data, 3 * 1048576, kData), 0xA0);
  const std::vector<std::uint8_t> small(512, 0x42);  // a 512-byte buffer: 1024 bytes go out
  EXPECT_EQ(SendBuffer(system.Table.Link(0), system.Log, small, 512, kData + 0x400000), 0xA0);
  std::vector<std::uint32_t> chunkSizes;
  for (const sim::WriteRecord& write : Unit().record().writes) {
    if (write.kind == sim::WriteKind::Chunk) chunkSizes.push_back(write.size);
  }
  EXPECT_EQ(chunkSizes, (std::vector<std::uint32_t>{65536, 1048576, 1048576, 1048576, 1024}));
  EXPECT_EQ(Unit().readMemory(kData, data.size()), data);
  const auto tail = Unit().readMemory(kData + 0x400000, 1024);
  EXPECT_EQ(tail[511], 0x42);
  EXPECT_EQ(tail[512], 0xFF);  // past the caller's buffer: padding, not foreign memory
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(system.Sleeps.Count(10), 5u);  // one pause before each chunk
  EXPECT_EQ(Link().IsBusy(), 0);
}

TEST_F(ExchangeTest, SendBufferWhoseLastAckFailsReturnsA1Silently) {
  Unit().armFault(sim::Fault::failChunkAck(sim::kLastChunk));
  std::vector<std::uint8_t> data(2 * 1048576, 1);
  EXPECT_EQ(SendBuffer(system.Table.Link(0), system.Log, data, 2 * 1048576, kData), 0xA1);
  EXPECT_TRUE(Texts().empty());
}

TEST_F(ExchangeTest, AnnouncementRefusedAndUnitGoneDuringTransfer) {
  Unit().armFault(sim::Fault::refuse().onCode(CommandCode::BulkOut));
  std::vector<std::uint8_t> data(1024);
  EXPECT_EQ(SendBufferFixed(system.Table.Link(0), system.Log, data, 1000, kData), 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - BulkOut Command Error!");
  Unit().armFault(sim::Fault::refuse().onCode(CommandCode::BulkIn));
  EXPECT_EQ(ReceiveBuffer(system.Table.Link(0), system.Log, data, 1024, kData), 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - BulkIn Command Error!");

  Unit().armFault(sim::Fault::leaveAfterChunks(1));
  std::vector<std::uint8_t> big(3 * 1048576);
  EXPECT_EQ(SendBuffer(system.Table.Link(0), system.Log, big, 3 * 1048576, kData), 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - Get Data Fail!");
  EXPECT_EQ(Link().IsOpened(), 0);  // the presence check closed the link
}

TEST_F(ExchangeTest, SendBufferFixedOf64KiBGoesOutAsOne1MiBChunk) {
  std::vector<std::uint8_t> data(65536);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 5 + 1);
  EXPECT_EQ(SendBufferFixed(system.Table.Link(0), system.Log, data, 65536, kData), 0xA0);
  std::vector<std::uint32_t> chunkSizes;
  for (const sim::WriteRecord& write : Unit().record().writes) {
    if (write.kind == sim::WriteKind::Chunk) chunkSizes.push_back(write.size);
  }
  EXPECT_EQ(chunkSizes, std::vector<std::uint32_t>{1048576});
  const auto memory = Unit().readMemory(kData, 1048576);
  EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + 65536), data);
  EXPECT_EQ(memory[65536], 0xFF);  // the rest of the chunk is padding
  EXPECT_EQ(memory[1048575], 0xFF);
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(Link().IsBusy(), 0);
}

// A unit that leaves right after acknowledging the only chunk: the presence check of
// SendBuffer closes its link, SendBufferFixed has none and leaves the link to the rescan.
TEST(PresenceAfterTransferTest, OnlySendBufferAsksWhetherTheUnitIsStillThere) {
  using Transfer =
      SiteResult (*)(ZvUsb&, LogSink&, std::span<const std::uint8_t>, std::uint32_t, std::uint32_t);
  struct Case {
    const char* Name;
    Transfer Send;
    SiteResult Result;
    std::uint8_t OpenedAfter;
  };
  const Case cases[] = {{"SendBuffer", SendBuffer, 0xA1, 0},
                        {"SendBufferFixed", SendBufferFixed, 0xA0, 1}};
  for (const Case& c : cases) {
    sim::SimRig rig = Rig(1);
    TestSystem system(*rig.bus);
    const UnitScan scan = system.Table.EnumerateUnits();
    ASSERT_EQ(scan.Units.size(), 1u);
    ZvUsb& link = system.Table.Link(0);
    ASSERT_TRUE(link.OpenDevice(scan.Units[0]));
    rig.units[0]->armFault(sim::Fault::leaveAfterChunks(1));
    const std::vector<std::uint8_t> data(65536, 0x77);
    EXPECT_EQ(c.Send(link, system.Log, data, 65536, kData), c.Result) << c.Name;
    EXPECT_EQ(link.IsOpened(), c.OpenedAfter) << c.Name;
    EXPECT_EQ(link.IsBusy(), 0) << c.Name;
    EXPECT_TRUE(system.Log.Texts().empty()) << c.Name;
  }
}

TEST_F(ExchangeTest, ReceiveBufferReadsAndAcknowledgesEachChunk) {
  std::vector<std::uint8_t> pattern(1024);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(Unit().writeMemory(kData, pattern));
  std::vector<std::uint8_t> buffer(1024, 0);
  EXPECT_EQ(ReceiveBuffer(system.Table.Link(0), system.Log, buffer, 1024, kData), 0xA0);
  EXPECT_EQ(buffer, pattern);
  std::vector<sim::WriteRecord> acks;
  for (const sim::WriteRecord& write : Unit().record().writes) {
    if (write.kind == sim::WriteKind::PcAck) acks.push_back(write);
  }
  ASSERT_EQ(acks.size(), 1u);
  EXPECT_EQ(acks[0].size, 1024u);
  EXPECT_EQ(acks[0].bytes[0], 0xA0);

  // A 1 MiB read-back into a smaller buffer fills only what fits.
  std::vector<std::uint8_t> shortBuffer(100, 0);
  EXPECT_EQ(ReceiveBufferFixed(system.Table.Link(0), system.Log, shortBuffer, 0x100000, kData),
            0xA0);
  EXPECT_EQ(shortBuffer[99], 99);
}

class FileRangeTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    path = std::filesystem::temp_directory_path() /
           ("link_range_" + std::to_string(::getpid()) + ".bin");
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 3000; ++i) out.put(static_cast<char>(i % 251));
  }
  void TearDown() override { std::filesystem::remove(path); }
  std::filesystem::path path;
};

TEST_F(FileRangeTest, RegionOf1500BytesGoesAsOne1MiBChunkPaddedWithFf) {
  Unit().enterDataStream(0, kData);
  EXPECT_EQ(SendFileRange(system.Table.Link(0), system.Log, path, 2000, 1500), 0xA0);
  const sim::UnitRecord record = Unit().record();
  std::vector<std::uint32_t> streamed;
  for (const sim::WriteRecord& write : record.writes) {
    if (write.kind == sim::WriteKind::Stream) streamed.push_back(write.size);
  }
  EXPECT_EQ(streamed, std::vector<std::uint32_t>{1048576});
  const auto memory = Unit().readMemory(kData, 1048576);
  EXPECT_EQ(memory[0], 2000 % 251);
  EXPECT_EQ(memory[999], 2999 % 251);  // the file ends 1000 bytes into the region
  EXPECT_EQ(memory[1000], 0xFF);
  EXPECT_EQ(memory[1048575], 0xFF);
  EXPECT_EQ(Link().IsBusy(), 0);  // no busy flag was set
}

TEST_F(FileRangeTest, AckA1StopsTheStreamAndMissingFileFails) {
  Unit().enterDataStream(0, kData);
  Unit().armFault(sim::Fault::failChunkAck(0).onCode(CommandCode::BulkOut));
  EXPECT_EQ(SendFileRange(system.Table.Link(0), system.Log, path, 0, 3 * 1048576), 0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - Get BulkOut Ack Fail!");
  EXPECT_EQ(Unit().streamedBytes(), 1048576u);  // stopped after the first chunk

  EXPECT_EQ(SendFileRange(system.Table.Link(0), system.Log, path.string() + ".missing", 0, 10),
            0xA1);
  EXPECT_EQ(Texts().back(), "Site #1 - Open File Fail!");
}

TEST(EightSitesTest, ParallelTransfersWithTraceOn) {
  sim::SimRig rig = Rig(8);
  TestSystem system(*rig.bus);
  const UnitScan scan = system.Table.EnumerateUnits();
  ASSERT_EQ(scan.Units.size(), 8u);
  const auto tracePath = std::filesystem::temp_directory_path() /
                         ("link_eight_sites_" + std::to_string(::getpid()) + ".trace");
  ASSERT_TRUE(system.Table.Trace().Start(tracePath.string()));
  for (int site = 0; site < 8; ++site) {
    ASSERT_TRUE(system.Table.Link(site).OpenDevice(scan.Units[static_cast<std::size_t>(site)]));
  }
  std::vector<std::thread> workers;
  std::array<SiteResult, 8> results{};
  for (int site = 0; site < 8; ++site) {
    workers.emplace_back([&, site] {
      std::vector<std::uint8_t> data(200000, static_cast<std::uint8_t>(site));
      results[static_cast<std::size_t>(site)] =
          SendBuffer(system.Table.Link(site), system.Log, data, 200000, kData);
    });
  }
  for (std::thread& worker : workers) worker.join();
  system.Table.Trace().Stop();
  for (int site = 0; site < 8; ++site) {
    EXPECT_EQ(results[static_cast<std::size_t>(site)], 0xA0) << site;
    EXPECT_EQ(rig.units[static_cast<std::size_t>(site)]->readMemory(kData + 199999, 1)[0], site);
  }
  std::ifstream in(tracePath);
  std::string line;
  int lines = 0;
  std::array<int, 8> perSite{};
  while (std::getline(in, line)) {
    ++lines;
    const auto s = line.find(" S");
    ASSERT_NE(s, std::string::npos) << line;
    const int site = line[s + 2] - '1';
    ASSERT_TRUE(site >= 0 && site < 8) << line;
    ++perSite[static_cast<std::size_t>(site)];
  }
  // Per site: block out, acceptance in, chunk out, chunk ack in.
  EXPECT_EQ(lines, 32);
  for (int count : perSite) EXPECT_EQ(count, 4);
  std::filesystem::remove(tracePath);
}

}  // namespace
