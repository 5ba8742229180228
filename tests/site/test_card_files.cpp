// The card commands, their one result decoder, and whole files moved in pieces between the PC
// and a simulated unit's card.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "site/ops/card_commands.h"
#include "site/ops/card_files.h"
#include "site/ops/card_result.h"
#include "tests/site/card_rig.h"

namespace {

constexpr std::uint32_t kPiece = kCardPieceLength;

TEST(CardResult, EveryCodeHasItsTextColourAndResult) {
  struct Row {
    std::uint8_t code;
    const char* text;
    std::uint8_t result;
  };
  const Row rows[] = {
      {0xA0, " Pass", 0xA0},
      {0xA1, " Fail!, SD card detection not available", 0xA1},
      {0xA2,
       " Fail!, The disk drive cannot work due to incorrect medium removal or disk_initialize "
       "function failed",
       0xA2},
      {0xA3, " Fail!, Could not find the file", 0xA3},
      {0xA4, " Fail!, Could not find the path", 0xA4},
      {0xA5, " Fail!, The given string is invalid as the path name", 0xA5},
      {0xA6, " Fail!, Invalid drive number is specified", 0xA6},
      {0xA7, " Fail!, The required access was denied", 0xA7},
      {0xA8, " Fail!, Any object that has the same name is already existing", 0xA8},
      {0xA9, " Fail!, The function failed due to a disk error an internal error", 0xA9},
      {0xAA, " Fail!, Any write mode action against write-protected media", 0xAA},
      {0xAB, " Fail!, Work area for the logical drive has not been registered by f_mount function",
       0xAB},
      {0xAC, " Fail!, There is no valid FAT volume on the drive", 0xAC},
      {0xAD, " Fail!, The given file/directory object structure is invalid", 0xAD},
      {0xAE, " Fail!, The f_mkfs function aborted before start in format", 0xAE},
      {0xB5, " Ack Error!,", 0xA1},
      {0x00, " Ack Error!,", 0xA1},
      {0xFF, " Ack Error!,", 0xA1},
  };
  CardRig rig(1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    rig.captured.Clear();
    rig.Card(0, [&](sim::SdCardState& s) { s.forcedResult = row.code; });
    // Through the unit and the worker: the queue stops at the card's code.
    const CardStoreOutcome outcome = RunCardQueue(rig.system, {0}, {Opcodes::SdDetect});
    EXPECT_EQ(outcome.Passed.size(), row.code == 0xA0 ? 1u : 0u);
    const std::uint32_t colour = row.code == 0xA0 ? LogColour::Green : LogColour::Red;
    EXPECT_TRUE(rig.Logged(0, std::string(" - SDCard Detect") + row.text, colour));
    // The start line and exactly one result line, whatever the code.
    EXPECT_EQ(rig.captured.TextsOf(0),
              (std::vector<std::string>{rig.Line(0, " - SDCard Detect"),
                                        rig.Line(0, std::string(" - SDCard Detect") + row.text)}));
    std::uint8_t code = row.code;
    CapturingLog quiet;
    ReportCardResult(quiet, 0, code, "X");
    EXPECT_EQ(code, row.result);
  }
  EXPECT_EQ(CardResultTexts().size(), 15u);
}

TEST(CardPieces, SixtyMebibytePiecesWithTheirOpenModes) {
  struct Row {
    std::uint64_t size;
    std::vector<CardPiece> pieces;
  };
  const Row rows[] = {
      {0, {{0, 0, 8}}},
      {1, {{0, 1, 8}}},
      {kPiece, {{0, kPiece, 8}}},
      {kPiece + 1ULL, {{0, kPiece, 8}, {kPiece, 1, 16}}},
      {100ULL << 20, {{0, kPiece, 8}, {kPiece, 41943040, 16}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    EXPECT_EQ(CardPieces(row.size), row.pieces);
  }
  const auto last = CardPieces(kCardFileLimit - 1);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->back().Offset + std::uint64_t{last->back().Length}, kCardFileLimit - 1);
  EXPECT_FALSE(CardPieces(kCardFileLimit));  // 4 GiB does not fit the 32-bit fields
}

TEST(CardFiles, AFileOneByteOverSixtyMebibytesTakesTwoPieces) {
  CardRig rig(1);
  const std::string pc = rig.folder.Base() + "big.bin";
  {
    std::ofstream out(pc, std::ios::binary);
    out.seekp(kPiece);
    out.put('\x7E');  // a sparse file: zeros up to the last byte
  }
  ASSERT_EQ(SdCreateDirectory(rig.Site(0), "D"), 0xA0);
  rig.Unit(0).clearRecord();
  ASSERT_EQ(PutFileToCard(rig.Site(0), pc, "0:D", "BIG"), 0xA0);
  const auto writes = rig.Unit(0).record().commandsWithCode(sim::Code::SdWriteData);
  ASSERT_EQ(writes.size(), 2u);
  const std::uint32_t expected[2][4] = {{0, kPiece, 8, 0}, {kPiece, 1, 16, 0x7E}};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(writes[i].block.params[5], expected[i][0]);  // p6: offset
    EXPECT_EQ(writes[i].block.params[6], expected[i][1]);  // p7: length
    EXPECT_EQ(writes[i].block.name.byteArg, expected[i][2]);
    EXPECT_EQ(writes[i].block.argument1, expected[i][3]);  // byte sum
    EXPECT_EQ(writes[i].block.params[2], kCardPieceAddress);
  }
  EXPECT_EQ(fs::file_size(rig.Card(0) / "D" / "BIG"), kPiece + 1ULL);

  // And back: the same bytes in two pieces.
  const std::string back = rig.folder.Base() + "back.bin";
  ASSERT_EQ(GetFileFromCard(rig.Site(0), back, "D", "BIG"), 0xA0);
  std::uint32_t sumBack = 0;
  ASSERT_EQ(FileByteSum(back, 0, kPiece + 1ULL, sumBack), ByteSumResult::Ok);
  EXPECT_EQ(fs::file_size(back), kPiece + 1ULL);
  EXPECT_EQ(sumBack, 0x7Eu);
  EXPECT_EQ(rig.Unit(0).record().commandsWithCode(sim::Code::SdReadData).size(), 2u);
}

TEST(CardFiles, SmallAndEmptyFilesRoundTripAndSizesAreReported) {
  CardRig rig(1);
  ASSERT_EQ(SdCreateDirectory(rig.Site(0), "0:D"), 0xA0);
  for (const std::string& bytes : {std::string(), std::string("x"), std::string(3000, 'q')}) {
    SCOPED_TRACE(bytes.size());
    const std::string pc = rig.folder.Base() + "f.bin";
    WriteFile(pc, bytes);
    ASSERT_EQ(PutFileToCard(rig.Site(0), pc, "0:D", "F"), 0xA0);
    std::uint32_t size = 99;
    EXPECT_EQ(SdGetFileSize(rig.Site(0), "D", "F", size), 0xA0);
    EXPECT_EQ(size, bytes.size());
    const std::string back = rig.folder.Base() + "g.bin";
    ASSERT_EQ(GetFileFromCard(rig.Site(0), back, "D", "F"), 0xA0);
    EXPECT_EQ(ReadFile(back), bytes);
  }
}

TEST(CardFiles, NamesOverEightCharactersAreRefusedBeforeAnythingIsSent) {
  CardRig rig(1);
  const std::string pc = rig.folder.Base() + "f.bin";
  WriteFile(pc, "abc");
  std::uint32_t size = 0;
  const std::string nine = "ABCDEFGHI";
  const std::function<SiteResult()> calls[] = {
      [&] { return SdCreateDirectory(rig.Site(0), nine); },
      [&] { return SdDeleteDirectory(rig.Site(0), nine, true); },
      [&] { return SdGetFileSize(rig.Site(0), "0:", nine, size); },
      [&] { return SdReadData(rig.Site(0), nine, "F", kCardPieceAddress, 0, 1); },
      [&] { return SdWriteData(rig.Site(0), "0:", nine, kCardPieceAddress, 0, 1, 8, 0); },
  };
  const std::uint64_t before = rig.Unit(0).record().commandCount;
  for (const auto& call : calls) EXPECT_EQ(call(), 0xA5);
  // The whole-file transfer refuses at the card write, after the free space and the piece.
  EXPECT_NE(PutFileToCard(rig.Site(0), pc, "0:", nine), 0xA0);
  const auto record = rig.Unit(0).record();
  EXPECT_EQ(record.commandsWithCode(sim::Code::SdWriteData).size(), 0u);
  EXPECT_EQ(record.commandsWithCode(sim::Code::SdCreateDirectory).size(), 0u);
  EXPECT_EQ(record.commandsWithCode(sim::Code::SdGetFileSize).size(), 0u);
  EXPECT_GT(record.commandCount, before);  // only the free space and the piece went out
  EXPECT_TRUE(rig.Logged(
      0, " - SDCard Create Directory Fail!, The given string is invalid as the path name"));
  EXPECT_FALSE(FitsCardName(""));
  EXPECT_TRUE(FitsCardName("0:Proj30"));
}

TEST(CardFiles, AFileOfFourGibibytesIsRefusedBeforeAnythingIsSent) {
  CardRig rig(1);
  const std::string pc = rig.folder.Base() + "huge.bin";
  {
    std::ofstream out(pc, std::ios::binary);  // sparse: no disk space taken
    out.seekp(static_cast<std::streamoff>(kCardFileLimit - 1));
    out.put('\0');
  }
  ASSERT_EQ(fs::file_size(pc), kCardFileLimit);
  const std::uint64_t before = rig.Unit(0).record().commandCount;
  EXPECT_EQ(PutFileToCard(rig.Site(0), pc, "0:", "HUGE"), 0xA1);
  EXPECT_TRUE(rig.Logged(0, " - Target's File Is 4GBytes Or Bigger!"));
  EXPECT_EQ(rig.Unit(0).record().commandCount, before);
  EXPECT_EQ(PutFileToCard(rig.Site(0), rig.folder.Base() + "none.bin", "0:", "F"), 0xA1);
  EXPECT_TRUE(rig.Logged(0, " - Not Find Taget,s File!"));
}

// A piece that cannot be taken from or put into its PC file: one red line, nothing sent.
TEST(CardFiles, PiecesThatThePcFileCannotGiveOrTake) {
  CardRig rig(1);
  const std::string small = rig.folder.Base() + "small.bin";
  WriteFile(small, std::string(10, 'a'));
  const std::string pipe = rig.folder.Base() + "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);  // opened for update without blocking; no seek
  struct Row {
    const char* name;
    std::function<bool()> move;
    const char* line;
  };
  const Row rows[] = {
      {"a piece over 60 MiB", [&] { return LoadFilePiece(rig.Site(0), small, 0, kPiece + 1); },
       " - Target's File Bigger Then 60MBytes!"},
      {"a piece over 60 MiB into the PC file",
       [&] { return SaveFilePiece(rig.Site(0), small, 0, kPiece + 1, false); },
       " - Target's File Bigger Then 60MBytes!"},
      {"past the file's end", [&] { return LoadFilePiece(rig.Site(0), small, 4, 7); },
       " - Read Data From File is Fail!"},
      {"a file without a place to seek",
       [&] { return SaveFilePiece(rig.Site(0), pipe, kPiece, 1, false); }, " - File Seek Fail!"},
      {"no file", [&] { return LoadFilePiece(rig.Site(0), small + ".none", 0, 1); },
       " - Not Find Taget,s File!"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    rig.captured.Clear();
    const std::uint64_t before = rig.Unit(0).record().commandCount;
    EXPECT_FALSE(row.move());
    EXPECT_EQ(rig.captured.TextsOf(0), std::vector<std::string>{rig.Line(0, row.line)});
    EXPECT_TRUE(rig.Logged(0, row.line));
    EXPECT_EQ(rig.Unit(0).record().commandCount, before);
  }
}

TEST(CardFiles, TheCardRejectsAPieceWhoseByteSumIsWrong) {
  CardRig rig(1);
  ASSERT_EQ(SdCreateDirectory(rig.Site(0), "D"), 0xA0);
  const std::vector<std::uint8_t> bytes{1, 2, 3};
  rig.Unit(0).writeMemory(kCardPieceAddress, bytes);
  EXPECT_EQ(SdWriteData(rig.Site(0), "D", "F", kCardPieceAddress, 0, 3, 8, 7), 0xA9);
  EXPECT_TRUE(rig.Logged(
      0, " - SDCard Write Data Fail!, The function failed due to a disk error an internal error"));
  EXPECT_EQ(SdWriteData(rig.Site(0), "D", "F", kCardPieceAddress, 0, 3, 8, 6), 0xA0);
}

TEST(CardFiles, FreeSpaceDecidesWhetherAFileGoes) {
  struct Row {
    std::uint32_t freeKBytes;
    std::size_t fileBytes;
    SiteResult result;
  };
  const Row rows[] = {
      {4194304, 1 << 20, 0xA0},  // 4 GiB free: no 32-bit overflow of the byte count
      {1, 1024, 0xA0},
      {1, 1025, 0xA1},
      {0, 1, 0xA1},
  };
  CardRig rig(1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fileBytes);
    rig.captured.Clear();
    rig.Card(0, [&](sim::SdCardState& s) { s.freeKBytes = row.freeKBytes; });
    const std::string pc = rig.folder.Base() + "f.bin";
    WriteFile(pc, std::string(row.fileBytes, 'a'));
    EXPECT_EQ(PutFileToCard(rig.Site(0), pc, "0:", "F"), row.result);
    EXPECT_EQ(rig.system.CmdData(0).SdFreeKBytes, row.freeKBytes);
    EXPECT_TRUE(
        rig.Logged(0, " - SDCard Free Space Size = " + std::to_string(row.freeKBytes) + " KBytes",
                   LogColour::Black));
    EXPECT_EQ(rig.Logged(0, " - Not enough file space!"), row.result != 0xA0);
  }
}

TEST(CardFiles, DeletingWithoutReportLogsNothingAndReturnsTheCardsCode) {
  CardRig rig(1);
  EXPECT_EQ(SdDeleteDirectory(rig.Site(0), "NONE", false), 0xA4);
  EXPECT_TRUE(rig.captured.Lines().empty());
  EXPECT_EQ(SdDeleteDirectory(rig.Site(0), "NONE", true), 0xA4);
  EXPECT_TRUE(rig.Logged(0, " - SDCard Delete Directory", LogColour::Start));
  EXPECT_TRUE(rig.Logged(0, " - SDCard Delete Directory Fail!, Could not find the path"));
}

}  // namespace
