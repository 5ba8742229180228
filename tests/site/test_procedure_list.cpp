// The procedure list of RUN ALL from fixed inputs: which steps, how many data chunks, where the
// verify pass streams from, the NAND chunk length and the group-define pieces with their block.
#include <gtest/gtest.h>

#include <vector>

#include "project/driver_slots.h"
#include "site/ops/procedure_list.h"
#include "site/ops/run_all_ops.h"
#include "site/ops/run_step_loop.h"

namespace {

constexpr std::uint16_t D = 0xB14E, P = 0x13EC, V = 0x14EB, E = 0x12ED, U = 0x22DD, I = 0x17E8,
                        ID = 0x18E7, B = 0x11EE, S = 0x25DA, PR = 0x15EA;
constexpr std::uint64_t kChunk = 0x3C00000;

struct ListCase {
  const char* name;
  std::uint64_t dataLength;
  std::array<std::uint8_t, 7> steps;  // pinscan, id, erase, blank, program, verify, protect
  std::vector<std::pair<std::size_t, std::uint32_t>> slots;
  std::vector<std::uint16_t> codes;
};

TEST(ProcedureListTest, StepsFollowTheSelectionAndTheDriver) {
  const std::vector<ListCase> cases = {
      {"program and verify, one chunk", 4096, {0, 0, 0, 0, 1, 1, 0}, {}, {D, P, V}},
      {"two chunks restart for verify",
       kChunk + 1,
       {0, 0, 0, 0, 1, 1, 0},
       {},
       {D, P, D, P, D, V, D, V}},
      {"verify only, one chunk", 4096, {0, 0, 0, 0, 0, 1, 0}, {}, {D, V}},
      {"verify only, two chunks", 2 * kChunk, {0, 0, 0, 0, 0, 1, 0}, {}, {D, V, D, V}},
      {"program only, exact two chunks", 2 * kChunk, {0, 0, 0, 0, 1, 0, 0}, {}, {D, P, D, P}},
      {"everything with detection, ID, unprotect",
       100,
       {1, 1, 1, 1, 1, 1, 1},
       {{DriverSlot::InsertDetectSupport, 1},
        {DriverSlot::IDCheckSupport, 1},
        {DriverSlot::UnProtectNeeded, 1}},
       {I, ID, U, E, B, U, D, P, V, PR}},
      {"unprotect before program skipped by slot 74",
       100,
       {0, 0, 1, 0, 1, 0, 0},
       {{DriverSlot::UnProtectNeeded, 1}, {DriverSlot::ProgramNoUnProtect, 1}},
       {U, E, D, P}},
      {"ID check needs the driver's support", 100, {0, 1, 0, 0, 0, 0, 0}, {}, {}},
      {"nothing to program", 0, {0, 0, 0, 0, 1, 1, 0}, {}, {}},
  };
  for (const ListCase& c : cases) {
    ZV_Driver_INI driver;
    for (auto [slot, value] : c.slots) driver.Values[slot] = value;
    S_ProjectValue value;
    value.Step = c.steps;
    const ProcedureList list =
        BuildProcedureList(ProcedureInputs{value, driver, c.dataLength, 0, false, {}});
    EXPECT_TRUE(list.Ok()) << c.name;
    EXPECT_EQ(list.Codes, c.codes) << c.name;
    EXPECT_EQ(list.PinscanOn, c.steps[0] != 0) << c.name;
  }
}

TEST(ProcedureListTest, DataChunksCoverTheImageAndRestartAtVerify) {
  S_ProjectValue value;
  value.Step = {0, 0, 0, 0, 1, 1, 0};
  ZV_Driver_INI driver;
  const std::uint64_t length = kChunk + 4096;
  const ProcedureList list =
      BuildProcedureList(ProcedureInputs{value, driver, length, 0, false, {}});
  const DataRegion first = DataChunkRegion(list, length, 0);
  const DataRegion second = DataChunkRegion(list, length, 1);
  EXPECT_EQ(first.Offset, 0u);
  EXPECT_EQ(first.Length, kChunk);
  EXPECT_EQ(second.Offset, kChunk);
  EXPECT_EQ(second.Length, 4096u);  // the last chunk is only the rest
  EXPECT_EQ(DataChunkRegion(list, length, 2).Length, 0u);
}

TEST(ProcedureListTest, NandChunksAreWholeBlocks) {
  struct Case {
    std::uint32_t blockLength;
    std::uint64_t blocks;
    std::uint32_t chunk;
  };
  const std::vector<Case> cases = {
      {2048, 100, 204800},                               // the whole fits
      {0x21000, 1000, (0x3C00000 / 0x21000) * 0x21000},  // the most whole blocks that fit
      {0x3C00000, 3, 0x3C00000},                         // one block is the limit itself
      {0x3C00001, 3, 0},                                 // not one block fits
      {0, 10, 0},                                        // no block length
      {2048, 0, 0x3C00000},                              // nothing to send
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NandChunkLength(c.blockLength, c.blocks), c.chunk) << c.blockLength;
  }

  ZV_Driver_INI driver;
  driver.Values[DriverSlot::BlockOrganised] = 1;
  driver.Values[DriverSlot::BlockLength] = 0x3C00001;
  S_ProjectValue value;
  value.Step = {0, 0, 0, 0, 1, 0, 0};
  const ProcedureList bad =
      BuildProcedureList(ProcedureInputs{value, driver, 0x3C00001, 1, false, {}});
  EXPECT_FALSE(bad.Ok());  // a run that could not send a block must not start

  driver.Values[DriverSlot::BlockLength] = 0x21000;
  const std::uint64_t length = std::uint64_t{1000} * 0x21000;
  const ProcedureList nand =
      BuildProcedureList(ProcedureInputs{value, driver, length, 1000, false, {}});
  EXPECT_EQ(nand.BlockCount, 1000u);
  EXPECT_EQ(nand.Codes.front(), S);          // bad block scan first
  EXPECT_EQ(nand.Codes.size(), 1 + 2 * 3u);  // 465 + 465 + 70 blocks
}

TEST(ProcedureListTest, GroupDefinePiecesAndTheirBlock) {
  ZV_Driver_INI driver;
  driver.Values[DriverSlot::BlockOrganised] = 1;
  driver.Values[DriverSlot::BlockLength] = 0x20000;  // 128 KiB blocks: 480 fit in a chunk
  S_ProjectValue value;
  value.Step = {0, 0, 0, 0, 1, 1, 0};
  const std::vector<GroupDefineEntry> table = {
      {/*Parameter*/ 7, /*Start*/ 10, /*End*/ 20, /*Size*/ 4},
      {/*Parameter*/ 9, /*Start*/ 1000, /*End*/ 2000, /*Size*/ 500},
  };
  ProcedureInputs in{value, driver, 0, 0, true, table};
  const ProcedureList list = BuildProcedureList(in);
  ASSERT_TRUE(list.Ok());
  EXPECT_EQ(list.BlockCount, 504u);
  EXPECT_EQ(list.ChunkLength, 480u * 0x20000);
  ASSERT_TRUE(list.Pieces.has_value());
  const GroupDefinePieces& p = *list.Pieces;
  ASSERT_EQ(p.Count(), 3u);  // 4 blocks; 500 blocks in 480 + 20
  EXPECT_EQ(p.Offset, (std::vector<std::uint64_t>{10u * 0x20000, 1000u * 0x20000,
                                                  1000u * 0x20000 + 480u * 0x20000}));
  EXPECT_EQ(p.Length, (std::vector<std::uint64_t>{4u * 0x20000, 480u * 0x20000, 20u * 0x20000}));
  EXPECT_EQ(p.StartBlock, (std::vector<std::uint32_t>{10, 1000, 1480}));
  EXPECT_EQ(p.BlockCount, (std::vector<std::uint32_t>{4, 480, 20}));
  EXPECT_EQ(p.End, (std::vector<std::uint32_t>{20, 2000, 2000}));
  EXPECT_EQ(p.Parameter, (std::vector<std::uint32_t>{7, 9, 9}));
  // Every piece is streamed for Program and again for Verify, even a single one.
  EXPECT_EQ(list.Codes, (std::vector<std::uint16_t>{S, D, P, D, P, D, P, D, V, D, V, D, V}));
  EXPECT_EQ(DataChunkRegion(list, 0, 2).Offset, 1480u * 0x20000);

  std::vector<std::uint8_t> head(0x50000, 0xEE);
  const std::vector<std::uint8_t> block = GroupDefineBlock(head, p);
  ASSERT_EQ(block.size(), 0x100000u);
  EXPECT_EQ(block[0x3FFFF], 0xEE);  // the file's first 256 KiB stay
  EXPECT_EQ(GetLe32(&block[GroupDefineBlockOffset::StartBlock + 4]), 1000u);
  EXPECT_EQ(GetLe32(&block[GroupDefineBlockOffset::StartBlock + 12]), 0u);  // past the pieces
  EXPECT_EQ(GetLe32(&block[GroupDefineBlockOffset::End + 8]), 2000u);
  EXPECT_EQ(GetLe32(&block[GroupDefineBlockOffset::BlockCount + 8]), 20u);
  EXPECT_EQ(GetLe32(&block[GroupDefineBlockOffset::Parameter]), 7u);
  EXPECT_EQ(block[0xFFFFF], 0);
}

TEST(ProcedureListTest, TheListImageIsLittleEndianAndFilled) {
  const std::vector<std::uint16_t> codes = {D, P};
  const std::vector<std::uint8_t> image = ProcedureListImage(codes);
  ASSERT_EQ(image.size(), 65536u);
  EXPECT_EQ(image[0], 0x4E);
  EXPECT_EQ(image[1], 0xB1);
  EXPECT_EQ(image[2], 0xEC);
  EXPECT_EQ(image[4], 0xFF);
  EXPECT_EQ(image.back(), 0xFF);
}

}  // namespace
