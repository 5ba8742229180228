#include "site/ops/card_store_ops.h"

#include <filesystem>

#include "link/standard_exchange.h"
#include "project/cproject.h"
#include "project/project_info.h"
#include "site/card_list.h"
#include "site/opcode_table.h"
#include "site/ops/card_commands.h"
#include "site/ops/card_files.h"
#include "site/ops/card_store_set.h"
#include "site/site_system.h"
#include "support/ini_file.h"

namespace {

namespace fs = std::filesystem;

void Log(SiteSystem& system, int site, std::string_view tail,
         std::uint32_t colour = LogColour::Red) {
  LogSite(system.Log(), site, tail, colour);
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The working list as the card has it now. A copy left by earlier work must not stand in for
// a card that cannot be read.
void FetchList(SiteSystem& system, int site, const std::string& workList) {
  RemoveWorkFile(workList);
  GetFileFromCard(system, site, workList, kCardRoot, kCardListFile);
}

// Loads the working list; none (logged) when it is missing.
std::optional<CardList> WorkingList(SiteSystem& system, int site) {
  CardList list;
  if (!Exists(CardWorkingList(system, site)) || !list.Load(CardWorkingList(system, site))) {
    Log(system, site, " - Not Find List File!");
    return std::nullopt;
  }
  return list;
}

std::optional<int> FindOnList(SiteSystem& system, int site, const CardList& list,
                              const std::string& name) {
  const std::optional<int> slot = list.Find(name);
  if (!slot) Log(system, site, " - Not Find Project File on List!");
  return slot;
}

// The grid rows that show the run project's name.
void MarkRunRow(SiteSystem& system, int site, const CardList& list) {
  const std::string runName = list.NameOf(list.RunSlot(0));
  const std::vector<std::string> rows = system.CardView().Rows(site);
  for (int row = 1; row <= list.Count() && static_cast<std::size_t>(row) < rows.size(); ++row) {
    if (rows[static_cast<std::size_t>(row)] == runName) system.CardView().SetRunRow(site, row);
  }
}

// Writes the changed working list back to the card; logged when that fails.
bool SendList(SiteSystem& system, int site, const CardList& list, const std::string& workList) {
  const bool sent = list.SaveAs(workList) && PutFileToCard(system, site, workList, kCardRoot,
                                                           kCardListFile) == SiteResultCode::Pass;
  if (!sent) Log(system, site, " - Send List File Fail!");
  return sent;
}

}  // namespace

std::optional<std::string> SelectedCardName(SiteSystem& system, int site) {
  const std::string name(TrimIniBlanks(system.CardView().SelectedText(site)));
  if (name.empty()) {
    Log(system, site, " - Field is empty!", LogColour::Black);
    return std::nullopt;
  }
  return name;
}

std::string CardWorkingList(const SiteSystem& system, int site) {
  return system.Paths().TempDir + kCardListFile + std::to_string(site);
}
std::string CardInfoCopy(const SiteSystem& system, int site) {
  return system.Paths().TempDir + "Info" + std::to_string(site);
}
std::string CardFetchFolder(const SiteSystem& system) {
  return system.Paths().TempDir + CardListKey::Name + "/";
}

SiteResult ShowCardList(SiteSystem& system, int site) {
  FetchList(system, site, CardWorkingList(system, site));
  const std::optional<CardList> list = WorkingList(system, site);
  if (!list) {
    system.CardView().ReplaceList(site, {});  // an unreadable card lists nothing
    return SiteResultCode::Fail;
  }
  std::vector<sSDCardProjList> entries = list->Used();
  SortNewestFirst(entries);
  system.CardView().ReplaceList(site, entries);
  return SiteResultCode::Pass;
}

SiteResult ShowCardProjectInfo(SiteSystem& system, int site) {
  // Every checked site runs this after a change; the one the page shows answers it.
  if (site != system.CardView().SelectedSite()) return SiteResultCode::Pass;
  const std::optional<std::string> name = SelectedCardName(system, site);
  if (!name) return SiteResultCode::Pass;
  const std::optional<CardList> list = WorkingList(system, site);
  if (!list) return SiteResultCode::Fail;
  const std::optional<int> slot = FindOnList(system, site, *list, *name);
  if (!slot) return SiteResultCode::Fail;
  MarkRunRow(system, site, *list);
  const std::string info = CardInfoCopy(system, site);
  RemoveWorkFile(info);
  GetFileFromCard(system, site, info, CardSlotDirectory(*slot), SdSetLabel::Info);
  if (!Exists(info)) {
    Log(system, site, " - Not Find Info File!");
    system.CardView().SetInfoText(ProjectInfoMessage::FileMissing);
    return SiteResultCode::Fail;
  }
  system.CardView().SetInfoText(ProjectInfoTextOfFile(*name, info));
  RemoveWorkFile(info);
  return SiteResultCode::Pass;
}

SiteResult DeleteCardProject(SiteSystem& system, int site) {
  const std::optional<std::string> name = SelectedCardName(system, site);
  if (!name) return SiteResultCode::Pass;
  std::optional<CardList> list = WorkingList(system, site);
  if (!list) return SiteResultCode::Fail;
  const std::optional<int> slot = FindOnList(system, site, *list, *name);
  if (!slot) return SiteResultCode::Fail;
  SiteResult result = SdDeleteDirectory(system, site, CardSlotDirectory(*slot), true);
  if (result != SiteResultCode::Pass) Log(system, site, " - Delete Project Fail!");
  system.CardView().ClearSelectedCell(site);
  RemoveFromList(*list, *slot);
  const std::string workList = CardWorkingList(system, site);
  if (!SendList(system, site, *list, workList)) result = SiteResultCode::Fail;
  RemoveWorkFile(workList);
  return result;
}

SiteResult StoreProjectOnCard(SiteSystem& system, int site, const std::string& projectPath) {
  StoreSource source;
  source.WorkList = CardWorkingList(system, site);
  source.Detect = true;
  source.Name = fs::path(projectPath).stem().string();
  source.Files = PreparedSetFiles(system);
  source.Info = system.Paths().TempDir + kInfoMember;
  return StoreOnCard(system, site, source);
}

SiteResult StoreFetchedProject(SiteSystem& system, int site, const std::string& name) {
  StoreSource source;
  // Each site keeps its own working list: the sites store the fetched set at the same time.
  source.WorkList = CardWorkingList(system, site);
  source.Detect = false;
  source.Name = name;
  source.Files = FetchedSetFiles(system);
  source.Info = CardFetchFolder(system) + SdSetLabel::Info;
  return StoreOnCard(system, site, source);
}

SiteResult FetchCardProject(SiteSystem& system, int site, const std::string& name) {
  const std::optional<CardList> list = WorkingList(system, site);
  if (!list) return SiteResultCode::Fail;
  if (SdCardDetect(system, site) != SiteResultCode::Pass) return SiteResultCode::Fail;
  const std::optional<int> slot = FindOnList(system, site, *list, name);
  if (!slot) return SiteResultCode::Fail;
  std::error_code error;
  fs::create_directories(CardFetchFolder(system), error);
  if (error) {
    Log(system, site, " - Create Directory Fail!");
    return SiteResultCode::Fail;
  }
  return FetchAndVerifySet(system, site, CardSlotPath(*slot), CardFetchFolder(system));
}

SiteResult FilterCardList(SiteSystem& system, int site) {
  const std::string workList = CardWorkingList(system, site);
  RemoveWorkFile(workList);
  if (GetFileFromCard(system, site, workList, kCardRoot, kCardListFile) != SiteResultCode::Pass) {
    Log(system, site, " - Get List File Fail!");
    return SiteResultCode::Pass;  // a card without a list yet has nothing to filter
  }
  CardList list;
  if (!Exists(workList) || !list.Load(workList)) {
    Log(system, site, " - List File not Exists!");
    return SiteResultCode::Fail;
  }
  for (int slot = 0; slot < kCardSlotCount; ++slot) {
    if (!list.HasName(slot)) {
      SdDeleteDirectory(system, site, CardSlotDirectory(slot), false);
    } else if (list.Count() > kCardProjectLimit) {
      SdDeleteDirectory(system, site, CardSlotDirectory(slot), false);
      list.Remove(slot);
      list.SetCount(list.Count() - 1);
      list.Save();
    }
  }
  if (PutFileToCard(system, site, workList, kCardRoot, kCardListFile) == SiteResultCode::Pass) {
    return SiteResultCode::Pass;
  }
  RemoveWorkFile(workList);
  return SiteResultCode::Fail;
}

SiteResult QuickFormatCard(SiteSystem& system, int site) {
  return SdDeleteDirectory(system, site, kCardRoot, true);
}

void RegisterCardOperations(OpcodeTable& table) {
  table.Register(Opcodes::SdDetect, [](SiteSystem& s, int site, const OperationTexts&) {
    return SdCardDetect(s, site);
  });
  table.Register(Opcodes::SdTest, [](SiteSystem& s, int site, const OperationTexts&) {
    return SdCardTest(s, site);
  });
  table.Register(Opcodes::SdFreeSpace, [](SiteSystem& s, int site, const OperationTexts&) {
    return SdCardGetFreeSpace(s, site);
  });
  table.Register(Opcodes::SdProjectList, [](SiteSystem& s, int site, const OperationTexts&) {
    return ShowCardList(s, site);
  });
  table.Register(Opcodes::SdProjectInfo, [](SiteSystem& s, int site, const OperationTexts&) {
    return ShowCardProjectInfo(s, site);
  });
  table.Register(Opcodes::SdDeleteProject, [](SiteSystem& s, int site, const OperationTexts&) {
    return DeleteCardProject(s, site);
  });
  table.Register(Opcodes::SdStoreProject, [](SiteSystem& s, int site, const OperationTexts& t) {
    return StoreProjectOnCard(s, site, t.Text1);
  });
  table.Register(Opcodes::SdFetchProject, [](SiteSystem& s, int site, const OperationTexts& t) {
    return FetchCardProject(s, site, t.Text2);
  });
  table.Register(Opcodes::SdStoreFetched, [](SiteSystem& s, int site, const OperationTexts& t) {
    return StoreFetchedProject(s, site, t.Text2);
  });
  table.Register(Opcodes::SdFilter, [](SiteSystem& s, int site, const OperationTexts&) {
    return FilterCardList(s, site);
  });
  table.Register(Opcodes::SdQuickFormat, [](SiteSystem& s, int site, const OperationTexts&) {
    return QuickFormatCard(s, site);
  });
}
