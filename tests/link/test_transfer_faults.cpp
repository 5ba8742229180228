// The acknowledgement rules of the bulk transfers against the scripted bus: which lost or
// failing acknowledgement stops a transfer and which lets it go on, the chunk that fails,
// what a file stream puts into its chunks, and the write recovery when no unit is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "tests/link/fake_usb.h"
#include "tests/link/link_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr std::uint32_t kMiB = 1048576;
constexpr std::uint32_t kThreeChunks = 2 * kMiB + 1;  // three 1 MiB chunks
constexpr std::uint32_t kAddress = UnitAddress::Settings;

// One scripted read: `size` bytes starting with `first`, or a failed read.
struct ScriptedRead {
  std::uint8_t First = 0xA0;
  std::size_t Size = kReplySize;
  bool Error = false;
};
ScriptedRead Ack(std::uint8_t first) {
  return {first, kReplySize, false};
}
ScriptedRead ShortAck(std::uint8_t first) {
  return {first, 100, false};
}
ScriptedRead Lost() {
  return {0, 0, true};
}

void Queue(FakeUsb& usb, const std::vector<ScriptedRead>& reads) {
  for (const ScriptedRead& read : reads) {
    if (read.Error) {
      usb.QueueReadError(-5);
    } else {
      usb.QueueReplyByte(read.First, read.Size);
    }
  }
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::size_t WritesOfSize(FakeUsb& usb, std::size_t size) {
  std::size_t count = 0;
  for (const FakeUsb::Write& write : usb.Writes()) count += write.Bytes.size() == size ? 1 : 0;
  return count;
}

// A fresh bus with one unit opened on site index 0, for each case.
struct Bench {
  Bench() : usb(1), system(usb) { EXPECT_TRUE(system.Table.Link(0).OpenDevice(usb.Unit(0))); }
  std::vector<std::string> Texts() { return system.Log.Texts(); }
  FakeUsb usb;
  TestSystem system;
};

struct SendAckCase {
  const char* Name;
  std::vector<ScriptedRead> Acks;  // one per chunk, as far as the transfer gets
  SiteResult Result;
  std::size_t ChunksSent;
  std::vector<std::string> Lines;
};

TEST(SendBufferAckTest, AFailedAckStopsOnlyWhenTheLastByteSeenIsNoPass) {
  const std::vector<SendAckCase> cases = {
      {"all pass", {Ack(0xA0), Ack(0xA0), Ack(0xA0)}, 0xA0, 3, {}},
      {"a1 in the middle goes on", {Ack(0xA0), Ack(0xA1), Ack(0xA0)}, 0xA0, 3, {}},
      {"first ack lost: the buffer starts at a0", {Lost(), Ack(0xA0), Ack(0xA0)}, 0xA0, 3, {}},
      {"lost after a pass goes on", {Ack(0xA0), Lost(), Ack(0xA0)}, 0xA0, 3, {}},
      {"lost last ack after a pass", {Ack(0xA0), Ack(0xA0), Lost()}, 0xA0, 3, {}},
      {"last ack a1 is the silent result", {Ack(0xA0), Ack(0xA0), Ack(0xA1)}, 0xA1, 3, {}},
      {"lost after a1 stops", {Ack(0xA1), Lost()}, 0xA1, 2, {"Site #1 - Send Ack Fail!"}},
      {"short a1 stops at once", {ShortAck(0xA1)}, 0xA1, 1, {"Site #1 - Send Ack Fail!"}},
      {"short a0 goes on", {ShortAck(0xA0), Ack(0xA0), Ack(0xA0)}, 0xA0, 3, {}},
  };
  const std::vector<std::uint8_t> data(3 * kMiB, 0x5C);
  for (const SendAckCase& c : cases) {
    Bench bench;
    Queue(bench.usb, {Ack(0xA0)});  // the acceptance of the announcement
    Queue(bench.usb, c.Acks);
    Queue(bench.usb, {Ack(0xA0), Ack(0xA0), Ack(0xA0)});  // spare: a wrong loop cannot hang
    EXPECT_EQ(
        SendBuffer(bench.system.Table.Link(0), bench.system.Log, data, kThreeChunks, kAddress),
        c.Result)
        << c.Name;
    EXPECT_EQ(WritesOfSize(bench.usb, kMiB), c.ChunksSent) << c.Name;
    EXPECT_EQ(bench.usb.ReadCount(), static_cast<int>(1 + c.ChunksSent)) << c.Name;
    EXPECT_EQ(bench.Texts(), c.Lines) << c.Name;
    EXPECT_EQ(bench.system.Table.Link(0).IsBusy(), 0) << c.Name;
    EXPECT_EQ(bench.system.Table.Link(0).IsOpened(), 1) << c.Name;
  }
}

TEST(SendBufferAckTest, FailedChunkWriteIsGetDataFail) {
  Bench bench;
  bench.usb.FailWritesAfter(2, 2);  // the announcement and chunk 0 pass; chunk 1 fails twice
  Queue(bench.usb, {Ack(0xA0), Ack(0xA0), Ack(0xA0)});
  const std::vector<std::uint8_t> data(3 * kMiB, 1);
  EXPECT_EQ(SendBuffer(bench.system.Table.Link(0), bench.system.Log, data, kThreeChunks, kAddress),
            0xA1);
  EXPECT_EQ(bench.Texts(), std::vector<std::string>{"Site #1 - Get Data Fail!"});
  EXPECT_EQ(bench.usb.ReadCount(), 2);  // acceptance and the first chunk's ack only
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + seed);
  return bytes;
}

struct ReceiveCase {
  const char* Name;
  std::vector<ScriptedRead> Chunks;  // Size 0: a whole chunk of data
  int OkWritesBeforeFailure;         // -1: no write fails
  SiteResult Result;
  std::size_t AcksWritten;
  std::vector<std::string> Lines;
};

TEST(ReceiveBufferTest, ChunkReadsAndAcknowledgementWrites) {
  const ScriptedRead whole{0, 0, false};
  const std::vector<ReceiveCase> cases = {
      {"all chunks", {whole, whole, whole}, -1, 0xA0, 3, {}},
      {"second chunk lost", {whole, Lost()}, -1, 0xA1, 1, {"Site #1 - Get Data Fail!"}},
      {"second chunk short", {whole, ShortAck(0xA0)}, -1, 0xA1, 1, {"Site #1 - Get Data Fail!"}},
      // The announcement passes; the first acknowledgement fails twice (with the recovery
      // between) and the transfer still reads the rest.
      {"failed ack write goes on", {whole, whole, whole}, 1, 0xA0, 2, {}},
  };
  for (const ReceiveCase& c : cases) {
    Bench bench;
    if (c.OkWritesBeforeFailure >= 0) bench.usb.FailWritesAfter(c.OkWritesBeforeFailure, 2);
    Queue(bench.usb, {Ack(0xA0)});
    for (std::size_t i = 0; i < c.Chunks.size(); ++i) {
      if (c.Chunks[i].Error || c.Chunks[i].Size != 0) {
        Queue(bench.usb, {c.Chunks[i]});
      } else {
        bench.usb.QueueReply(Pattern(kMiB, static_cast<std::uint8_t>(i)));
      }
    }
    std::vector<std::uint8_t> buffer(3 * kMiB, 0);
    EXPECT_EQ(
        ReceiveBuffer(bench.system.Table.Link(0), bench.system.Log, buffer, kThreeChunks, kAddress),
        c.Result)
        << c.Name;
    std::size_t acks = 0;
    for (const FakeUsb::Write& write : bench.usb.Writes()) {
      if (write.Bytes.size() == kCommandBlockSize && write.Bytes[0] == 0xA0 &&
          write.Bytes[1] == kFill) {
        ++acks;  // an acknowledgement block, not the announcement
      }
    }
    EXPECT_EQ(acks - (c.OkWritesBeforeFailure >= 0 ? 2 : 0), c.AcksWritten) << c.Name;
    EXPECT_EQ(bench.Texts(), c.Lines) << c.Name;
    if (c.Result == 0xA0) {
      EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + kMiB, buffer.begin() + 2 * kMiB),
                Pattern(kMiB, 1))
          << c.Name;
    }
    EXPECT_EQ(bench.system.Table.Link(0).IsBusy(), 0) << c.Name;
  }
}

TEST(ReceiveBufferTest, FixedOfExactly1024BytesIsOneSmallChunk) {
  Bench bench;
  Queue(bench.usb, {Ack(0xA0)});
  bench.usb.QueueReply(Pattern(1024, 3));
  bench.usb.QueueReply(Pattern(1024, 4));  // spare
  std::vector<std::uint8_t> buffer(1024, 0);
  EXPECT_EQ(
      ReceiveBufferFixed(bench.system.Table.Link(0), bench.system.Log, buffer, 1024, kAddress),
      0xA0);
  EXPECT_EQ(buffer, Pattern(1024, 3));
  EXPECT_EQ(bench.usb.ReadCount(), 2);
  const std::vector<FakeUsb::Write> writes = bench.usb.Writes();
  ASSERT_EQ(writes.size(), 2u);  // the announcement and one acknowledgement
  EXPECT_EQ(Le32(writes[0].Bytes, BlockOffset::ParameterPacket), 1024u);   // chunk length
  EXPECT_EQ(Le32(writes[0].Bytes, BlockOffset::ParameterPacket + 4), 1u);  // count
  EXPECT_EQ(Le32(writes[0].Bytes, BlockOffset::ParameterPacket + 8), kAddress);
  EXPECT_EQ(writes[0].Bytes[BlockOffset::CodeList], 0x2D);  // 0xB22D, unit to PC
  EXPECT_EQ(writes[0].Bytes[BlockOffset::CodeList + 1], 0xB2);
  EXPECT_EQ(writes[1].Bytes.size(), 1024u);
  EXPECT_EQ(writes[1].Bytes[0], 0xA0);
}

class SendFileRangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string content;
    for (int i = 0; i < 3000; ++i) content.push_back(static_cast<char>(i % 251));
    path = folder.Write("image.bin", content);
  }
  SiteResult Stream(std::uint64_t offset, std::uint64_t length) {
    return SendFileRange(bench.system.Table.Link(0), bench.system.Log, path, offset, length);
  }
  TempFolder folder;
  std::string path;
  Bench bench;
};

TEST_F(SendFileRangeTest, AckRulesOfTheStream) {
  struct Case {
    const char* Name;
    std::vector<ScriptedRead> Acks;
    SiteResult Result;
    std::size_t Chunks;
    std::vector<std::string> Lines;
  };
  // A region of 1 MiB + 1 byte: two chunks.
  const std::vector<Case> cases = {
      {"lost ack goes on", {Lost(), Ack(0xA0)}, 0xA0, 2, {}},
      {"a1 stops", {Ack(0xA1)}, 0xA1, 1, {"Site #1 - Get BulkOut Ack Fail!"}},
      {"lost last ack keeps the last byte seen", {Ack(0xA0), Lost()}, 0xA0, 2, {}},
      // The acknowledgement buffer starts at 0xA1: nothing was acknowledged.
      {"every ack lost", {Lost(), Lost()}, 0xA1, 2, {}},
  };
  for (const Case& c : cases) {
    Bench fresh;
    Queue(fresh.usb, c.Acks);
    Queue(fresh.usb, {Ack(0xA0), Ack(0xA0)});  // spare
    EXPECT_EQ(SendFileRange(fresh.system.Table.Link(0), fresh.system.Log, path, 0, kMiB + 1),
              c.Result)
        << c.Name;
    EXPECT_EQ(WritesOfSize(fresh.usb, kMiB), c.Chunks) << c.Name;
    EXPECT_EQ(fresh.system.Log.Texts(), c.Lines) << c.Name;
  }
}

TEST_F(SendFileRangeTest, FailedWriteIsSendDataFail) {
  bench.usb.FailNextWrites(2);
  Queue(bench.usb, {Ack(0xA0)});
  EXPECT_EQ(Stream(0, 100), 0xA1);
  EXPECT_EQ(bench.Texts(), std::vector<std::string>{"Site #1 - Send Data Fail!"});
  EXPECT_EQ(bench.usb.ReadCount(), 0);
}

TEST_F(SendFileRangeTest, ChunkCarriesTheFileBytesAfterTheRegion) {
  Queue(bench.usb, {Ack(0xA0)});
  EXPECT_EQ(Stream(100, 10), 0xA0);
  const std::vector<FakeUsb::Write> writes = bench.usb.Writes();
  ASSERT_EQ(writes.size(), 1u);
  ASSERT_EQ(writes[0].Bytes.size(), 1024u);
  for (std::size_t i = 0; i < 1024; ++i) {
    ASSERT_EQ(writes[0].Bytes[i], (100 + i) % 251) << i;  // not 0xFF past the 10 bytes
  }
  EXPECT_TRUE(bench.Texts().empty());
}

TEST_F(SendFileRangeTest, ZeroLengthRegionSendsNothing) {
  Queue(bench.usb, {Ack(0xA0)});
  // No chunk, so no acknowledgement: the result is the buffer's starting byte.
  EXPECT_EQ(Stream(0, 0), 0xA1);
  EXPECT_TRUE(bench.usb.Writes().empty());
  EXPECT_EQ(bench.usb.ReadCount(), 0);
  EXPECT_TRUE(bench.Texts().empty());
}

TEST(WriteRecoveryTest, NoFreeUnitGivesUpAfterResettingTheOutEndpoint) {
  Bench bench;
  ZvUsb& link = bench.system.Table.Link(0);
  bench.usb.Pull(0);  // the write fails, the reopen fails, no other unit is on the bus
  const std::vector<std::uint8_t> block(1024, 0x11);
  EXPECT_FALSE(link.BulkWrite(block.data(), 1024));
  EXPECT_EQ(bench.usb.ResetEndpoints(),
            (std::vector<unsigned>{UnitUsb::EndpointOut, UnitUsb::EndpointOut}));
  EXPECT_EQ(bench.system.Sleeps.Count(100), 1u);
  EXPECT_EQ(bench.system.Sleeps.Count(500), 1u);
  EXPECT_EQ(link.IsOpened(), 0);
  EXPECT_FALSE(link.HasHandle());
  EXPECT_EQ(bench.usb.OpenHandles(), 0);
  const std::vector<std::string> calls = bench.usb.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "reset"), 1);
}

}  // namespace
