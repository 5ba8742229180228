// The SD card project store on simulated units: the list file, the 20-project limit, storing,
// refreshing, deleting, filtering, copying between cards and formatting, and each failure path
// through the card's and the unit's faults while other sites go on.
#include <gtest/gtest.h>

#include "sim/faults.h"
#include "site/loaded_project.h"
#include "tests/site/card_queues.h"
#include "tests/site/card_rig.h"

namespace {

std::vector<Opcode> StoreFetched() {
  return {Opcodes::SdFilter, Opcodes::SdStoreFetched, Opcodes::SdProjectList};
}

TEST(CardList, UsedSlotsNewestFirstAndFreeSlots) {
  CardList list;
  list.LoadText(ListText(3, 2, {{4, "20240101000000"}, {0, "20250101000000"}, {2, "2023"}}) +
                "Proj9=NoDate\r\nProj7=P7\r\nProjDate7=2026\r\n");
  std::vector<sSDCardProjList> used = list.Used();  // stops after ProjCount used slots
  ASSERT_EQ(used.size(), 3u);
  EXPECT_EQ(used[2].Slot, 4);
  SortNewestFirst(used);
  EXPECT_EQ(used.front().Name, "P0");
  EXPECT_EQ(used.back().Name, "P2");
  EXPECT_EQ(list.Find("P4"), 4);
  EXPECT_FALSE(list.Find("P7"));  // past the count
  EXPECT_FALSE(list.Find("NoDate"));
  EXPECT_EQ(list.FirstFree(), 1);
  list.Remove(0);
  EXPECT_EQ(list.FirstFree(), 0);
  EXPECT_EQ(list.RunSlot(-1), 2);
}

// Also when the oldest project's folder is gone from the card already.
TEST(CardStore, TheTwentyFirstProjectReplacesTheOldestInTheLowestFreeSlot) {
  for (const bool oldestGone : {false, true}) {
    SCOPED_TRACE(oldestGone ? "oldest folder gone" : "oldest folder there");
    CardRig rig(1);
    std::vector<std::pair<int, std::string>> slots;
    for (int slot = 0; slot <= 20; ++slot) {
      if (slot == 10) continue;
      slots.push_back(
          {slot, slot == 15 ? "20200101000000" : "2024010100" + std::to_string(1000 + slot)});
      rig.StoreOnCardFolder(0, slot);
    }
    if (oldestGone) fs::remove_all(rig.Card(0) / "Proj15");
    rig.WriteList(0, ListText(20, 3, slots));
    rig.WriteFetchedSet();
    const CardStoreOutcome outcome = RunCardQueue(rig.system, {0}, StoreFetched(), {}, "NEW");
    ASSERT_EQ(outcome.Passed, std::vector<int>{0});
    EXPECT_EQ(StoreLines(rig.captured), std::vector<std::string>{});
    const CardList list = rig.ListOf(0);
    EXPECT_EQ(list.Count(), 20);
    EXPECT_EQ(list.Find("NEW"), 10);
    EXPECT_EQ(list.RunSlot(-1), 10);
    EXPECT_FALSE(list.Find("P15"));
    EXPECT_FALSE(fs::exists(rig.Card(0) / "Proj15"));
    EXPECT_EQ(ReadFile(rig.Card(0) / "Proj10" / "Temp"), std::string(5000, '\x5A'));
    // The view shows the new project on top.
    EXPECT_EQ(rig.system.CardView().Rows(0).at(1), "NEW");
    EXPECT_EQ(rig.system.CardView().Rows(0).front(), "Project Path");
  }
}

// The set a project load prepares: five files in the temp folder, the driver and FPGA files of
// the database, the data image in "Temp".
void PrepareSet(CardRig& rig) {
  std::unique_ptr<LoadedProject> project = rig.system.NewProject();
  ZV_Driver_INI& driver = project->Records().DriverIni[0];
  driver.UserWav = "DRV.BIN";
  driver.FPGAFile = "FPGA.BIN";
  ASSERT_TRUE(rig.system.ReplaceProject(std::move(project)));
  const std::string base = rig.system.Paths().BaseDir;
  WriteFile(base + "DataBase/Driver/DRV.BIN", "driver");
  WriteFile(base + "DataBase/FPGA/FPGA.BIN", "fpga");
  WriteFile(base + "Temp/Temp.BIN", std::string(70000, '\x33'));
  for (const char* name : {"INI", "Option", "Menu", "Info.meg", "Hardware", "Checksum"}) {
    WriteFile(rig.Temp() + name, name);
  }
}

TEST(CardStore, AddingFromThePcSendsTheNineFilesOfThePreparedSet) {
  CardRig rig(1);
  PrepareSet(rig);
  const CardStoreOutcome outcome = RunCardQueue(
      rig.system, {0}, {Opcodes::SdFilter, Opcodes::SdStoreProject, Opcodes::SdProjectList},
      "/projects/My Part.zvprj");
  ASSERT_TRUE(outcome.AllPassed());
  EXPECT_TRUE(rig.Logged(0, " - Get List File Fail!"));  // a blank card: the store starts a list
  const CardList list = rig.ListOf(0);
  EXPECT_EQ(list.Find("My Part"), 0);
  EXPECT_EQ(list.Count(), 1);
  const auto files =
      SdProjectSetFiles(rig.system.Paths(), rig.system.Project().Records().DriverIni[0]);
  for (const SdSetFile& file : files) {
    EXPECT_EQ(ReadFile(rig.Card(0) / "Proj0" / file.Label), ReadFile(file.Path)) << file.Label;
  }

  // A file of the set missing: nothing is listed and the queue stops.
  fs::remove(rig.Temp() + "Menu");
  rig.captured.Clear();
  EXPECT_FALSE(
      RunCardQueue(rig.system, {0}, {Opcodes::SdStoreProject}, "/p/Other.zvprj").AllPassed());
  EXPECT_TRUE(rig.Logged(0, " - Menu File Not Exists!"));
  EXPECT_FALSE(rig.ListOf(0).Find("Other"));
}

TEST(CardStore, StoringTheSameProjectAgainOnlyMakesItTheRunProject) {
  CardRig rig(1);
  const std::string info = "[ProjectInfo]\r\nName=Same\r\n";
  rig.StoreOnCardFolder(0, 0, info);
  rig.StoreOnCardFolder(0, 1);
  rig.WriteList(0, ListText(2, 1, {{0, "20200101000000"}, {1, "20210101000000"}}));
  rig.WriteFetchedSet(info);
  rig.Unit(0).clearRecord();
  ASSERT_TRUE(RunCardQueue(rig.system, {0}, StoreFetched(), {}, "P0").AllPassed());
  // Only the list went back to the card (after the filter and after the store).
  const auto writes = rig.Unit(0).record().commandsWithCode(sim::Code::SdWriteData);
  ASSERT_EQ(writes.size(), 2u);
  for (const auto& write : writes) EXPECT_EQ(write.block.name.text2, "List");
  EXPECT_TRUE(rig.Logged(0, " - Project File Already Exists!", LogColour::Orange));
  const CardList list = rig.ListOf(0);
  EXPECT_EQ(list.RunSlot(-1), 0);
  EXPECT_GT(list.Used().front().Date, "20210101000000");
  EXPECT_EQ(rig.system.CardView().Rows(0).at(1), "P0");

  // A different information text sends the whole set again.
  rig.WriteFetchedSet("[ProjectInfo]\r\nName=Changed\r\n");
  rig.Unit(0).clearRecord();
  ASSERT_TRUE(RunCardQueue(rig.system, {0}, StoreFetched(), {}, "P0").AllPassed());
  EXPECT_EQ(rig.Unit(0).record().commandsWithCode(sim::Code::SdWriteData).size(), 11u);
  EXPECT_EQ(ReadFile(rig.Card(0) / "Proj0" / "Info"), "[ProjectInfo]\r\nName=Changed\r\n");
}

TEST(CardStore, DeletingRewritesTheListAndKeepsEverythingElse) {
  CardRig rig(1);
  for (int slot : {0, 1, 2}) rig.StoreOnCardFolder(0, slot);
  rig.WriteList(
      0, ListText(3, 1, {{0, "20200101000000"}, {1, "20230101000000"}, {2, "20220101000000"}}) +
             "Owner=Line kept\r\n[Other]\r\nKey=Value\r\n");
  ASSERT_TRUE(ListCardProjects(rig.system, 0));
  const CardStoreOutcome outcome = DeleteProjectFromCard(rig.system, 0, "P1");
  ASSERT_TRUE(outcome.AllPassed());
  EXPECT_FALSE(fs::exists(rig.Card(0) / "Proj1"));
  const std::string text = ReadFile(rig.Card(0) / "List");
  EXPECT_NE(text.find("Owner=Line kept"), std::string::npos);
  EXPECT_NE(text.find("[Other]\r\nKey=Value"), std::string::npos);
  const CardList list = rig.ListOf(0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_FALSE(list.HasName(1));
  EXPECT_EQ(list.RunSlot(-1), 2);  // the newest remaining one runs now
  EXPECT_EQ(rig.system.CardView().Rows(0), (std::vector<std::string>{"Project Path", "P2", "P0"}));

  // An empty selected row: nothing to do.
  rig.system.CardView().Select(0, 5);
  EXPECT_TRUE(RunCardQueue(rig.system, {0}, {Opcodes::SdDeleteProject}).AllPassed());
  EXPECT_TRUE(rig.Logged(0, " - Field is empty!", LogColour::Black));
}

TEST(CardStore, FilterCutsTheListToTwentyAndRemovesStrayDirectories) {
  CardRig rig(1);
  std::vector<std::pair<int, std::string>> slots;
  for (int slot = 0; slot < 22; ++slot) {
    slots.push_back({slot, "2099" + std::to_string(slot)});
    rig.StoreOnCardFolder(0, slot);
  }
  rig.StoreOnCardFolder(0, 25);  // on the card, not on the list
  rig.WriteList(0, ListText(22, 0, slots));
  ASSERT_TRUE(FilterCards(rig.system, {0}).AllPassed());
  const CardList list = rig.ListOf(0);
  EXPECT_EQ(list.Count(), 20);
  EXPECT_FALSE(list.HasName(0));
  EXPECT_FALSE(list.HasName(1));
  EXPECT_TRUE(list.HasName(2));
  for (int gone : {0, 1, 25}) EXPECT_FALSE(fs::exists(rig.Card(0) / CardSlotDirectory(gone)));
  EXPECT_TRUE(fs::exists(rig.Card(0) / "Proj21"));

  // A card without a list has nothing to filter and the queue goes on.
  fs::remove(rig.Card(0) / "List");
  EXPECT_TRUE(FilterCards(rig.system, {0}).AllPassed());
  EXPECT_TRUE(rig.Logged(0, " - Get List File Fail!"));
}

// The source card is one of the cards: the copied project becomes its run project too.
TEST(CardStore, ACopyGoesFromOneCardToAllWithItsSumsChecked) {
  CardRig rig(3);
  rig.StoreOnCardFolder(0, 4, "[ProjectInfo]\r\nName=Copied\r\n");
  rig.StoreOnCardFolder(0, 1);
  rig.WriteList(0, ListText(2, 1, {{4, "20240101000000"}, {1, "20250101000000"}}));
  ASSERT_TRUE(ListCardProjects(rig.system, 0));
  const CardStoreOutcome outcome = CopyProjectBetweenCards(rig.system, 0, "P4", {0, 1, 2});
  ASSERT_EQ(outcome.Passed, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(rig.ListOf(0).RunSlot(-1), 4);
  EXPECT_EQ(rig.system.CardView().Rows(0), (std::vector<std::string>{"Project Path", "P4", "P1"}));
  for (int site : {1, 2}) {
    const CardList list = rig.ListOf(site);
    ASSERT_EQ(list.Find("P4"), 0);
    for (const char* label : {"INI", "Temp", "Checksum", "Info"}) {
      EXPECT_EQ(ReadFile(rig.Card(site) / "Proj0" / label),
                ReadFile(rig.Card(0) / "Proj4" / label));
    }
  }
  EXPECT_FALSE(fs::exists(CardFetchFolder(rig.system.Paths())));

  // A damaged data image on the source card is caught by its sum.
  WriteFile(rig.Card(0) / "Proj4" / "Temp", std::string(100, '\x5B'));
  EXPECT_EQ(CopyProjectBetweenCards(rig.system, 0, "P4", {0, 1}).Failed, std::vector<int>{0});
  EXPECT_TRUE(rig.Logged(0, " - Compare Temp Checksum Fail!"));
}

TEST(CardStore, InformationOfTheSelectedProjectAndQuickFormat) {
  CardRig rig(1);
  rig.StoreOnCardFolder(0, 3, "[ProjectInfo]\r\nManufacturer=Acme\r\n");
  rig.WriteList(0, ListText(1, 3, {{3, "20240101000000"}}));
  rig.system.CardView().Select(0, 1);
  ASSERT_TRUE(
      RunCardQueue(rig.system, {0}, {Opcodes::SdProjectList, Opcodes::SdProjectInfo}).AllPassed());
  EXPECT_NE(rig.system.CardView().InfoText().find("Acme"), std::string::npos);
  EXPECT_EQ(rig.system.CardView().RunRow(0), 1);
  EXPECT_FALSE(fs::exists(CardInfoCopy(rig.system.Paths(), 0)));

  ASSERT_TRUE(FormatCards(rig.system, {0}).AllPassed());
  EXPECT_TRUE(fs::is_empty(rig.Card(0)));
  EXPECT_FALSE(ListCardProjects(rig.system, 0));
  EXPECT_TRUE(rig.Logged(0, " - Not Find List File!"));
}

// Each failure path: site 0 meets the fault, site 1 stores the project all the same.
TEST(CardStore, EachFailureStopsItsSiteAndTheOthersGoOn) {
  struct Row {
    const char* name;
    std::function<void(CardRig&)> arm;
    std::string line;
  };
  const Row rows[] = {
      {"no card", [](CardRig& r) { r.Card(0, [](auto& s) { s.missing = true; }); },
       " - SDCard Create Directory Fail!, SD card detection not available"},
      {"full card", [](CardRig& r) { r.Card(0, [](auto& s) { s.full = true; }); },
       " - Not enough file space!"},
      {"write-protected card",
       [](CardRig& r) { r.Card(0, [](auto& s) { s.writeProtected = true; }); },
       " - SDCard Create Directory Fail!, Any write mode action against write-protected media"},
      {"card pulled during a piece",
       [](CardRig& r) { r.Card(0, [](auto& s) { s.pullAtPiece = 3; }); },
       " - SDCard Write Data Fail!, The disk drive cannot work due to incorrect medium removal or "
       "disk_initialize function failed"},
      {"unit pulled during a piece",
       [](CardRig& r) {
         r.Unit(0).armFault(sim::Fault::leaveAfterChunks(0).onCode(sim::Code::BulkOut));
       },
       " - Send INI File Fail!"},
      {"refused command",
       [](CardRig& r) { r.Unit(0).armFault(sim::Fault::refuse().onCode(sim::Code::SdWriteData)); },
       " - SDCard Write Data Command Error!"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CardRig rig(2);
    rig.WriteFetchedSet("[ProjectInfo]\r\n", 3u << 20);
    row.arm(rig);
    const CardStoreOutcome outcome =
        RunCardQueue(rig.system, {0, 1}, {Opcodes::SdStoreFetched}, {}, "NEW");
    EXPECT_EQ(outcome.Failed, std::vector<int>{0});
    EXPECT_EQ(outcome.Passed, std::vector<int>{1});
    EXPECT_TRUE(rig.Logged(0, row.line)) << row.line;
    EXPECT_EQ(rig.ListOf(1).Find("NEW"), 0);
    EXPECT_FALSE(rig.ListOf(0).Find("NEW"));
  }
}

}  // namespace
