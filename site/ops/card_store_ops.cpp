#include "site/ops/card_store_ops.h"

#include <filesystem>

#include "link/standard_exchange.h"
#include "project/cproject.h"
#include "project/project_info.h"
#include "site/card_list.h"
#include "site/card_store_view.h"
#include "site/ops/card_commands.h"
#include "site/ops/card_files.h"
#include "site/ops/card_store_paths.h"
#include "site/ops/card_store_set.h"
#include "site/site_context.h"
#include "support/ini_file.h"
#include "support/system_paths.h"

namespace {

namespace fs = std::filesystem;

void Log(const SiteContext& ctx, std::string_view tail, std::uint32_t colour = LogColour::Red) {
  LogSite(ctx.Log(), ctx.Site(), tail, colour);
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The working list as the card has it now. A copy left by earlier work must not stand in for
// a card that cannot be read.
void FetchList(SiteContext& ctx, const std::string& workList) {
  RemoveWorkFile(workList);
  GetFileFromCard(ctx, workList, kCardRoot, kCardListFile);
}

// Loads the working list; none (logged) when it is missing.
std::optional<CardList> WorkingList(SiteContext& ctx) {
  CardList list;
  if (!Exists(CardWorkingList(ctx.Paths(), ctx.Site())) ||
      !list.Load(CardWorkingList(ctx.Paths(), ctx.Site()))) {
    Log(ctx, " - Not Find List File!");
    return std::nullopt;
  }
  return list;
}

std::optional<int> FindOnList(SiteContext& ctx, const CardList& list, const std::string& name) {
  const std::optional<int> slot = list.Find(name);
  if (!slot) Log(ctx, " - Not Find Project File on List!");
  return slot;
}

// The grid rows that show the run project's name.
void MarkRunRow(SiteContext& ctx, const CardList& list) {
  const std::string runName = list.NameOf(list.RunSlot(0));
  const std::vector<std::string> rows = ctx.CardView().Rows(ctx.Site());
  for (int row = 1; row <= list.Count() && static_cast<std::size_t>(row) < rows.size(); ++row) {
    if (rows[static_cast<std::size_t>(row)] == runName) ctx.CardView().SetRunRow(ctx.Site(), row);
  }
}

// Writes the changed working list back to the card; logged when that fails.
bool SendList(SiteContext& ctx, const CardList& list, const std::string& workList) {
  const bool sent = list.SaveAs(workList) &&
                    PutFileToCard(ctx, workList, kCardRoot, kCardListFile) == SiteResultCode::Pass;
  if (!sent) Log(ctx, " - Send List File Fail!");
  return sent;
}

}  // namespace

std::optional<std::string> SelectedCardName(const SiteContext& ctx) {
  const std::string name(TrimIniBlanks(ctx.CardView().SelectedText(ctx.Site())));
  if (name.empty()) {
    Log(ctx, " - Field is empty!", LogColour::Black);
    return std::nullopt;
  }
  return name;
}

SiteResult ShowCardList(SiteContext& ctx, const OperationTexts&) {
  FetchList(ctx, CardWorkingList(ctx.Paths(), ctx.Site()));
  const std::optional<CardList> list = WorkingList(ctx);
  if (!list) {
    ctx.CardView().ReplaceList(ctx.Site(), {});  // an unreadable card lists nothing
    return SiteResultCode::Fail;
  }
  std::vector<sSDCardProjList> entries = list->Used();
  SortNewestFirst(entries);
  ctx.CardView().ReplaceList(ctx.Site(), entries);
  return SiteResultCode::Pass;
}

SiteResult ShowCardProjectInfo(SiteContext& ctx, const OperationTexts&) {
  // Every checked site runs this after a change; the one the page shows answers it.
  if (ctx.Site() != ctx.CardView().SelectedSite()) return SiteResultCode::Pass;
  const std::optional<std::string> name = SelectedCardName(ctx);
  if (!name) return SiteResultCode::Pass;
  const std::optional<CardList> list = WorkingList(ctx);
  if (!list) return SiteResultCode::Fail;
  const std::optional<int> slot = FindOnList(ctx, *list, *name);
  if (!slot) return SiteResultCode::Fail;
  MarkRunRow(ctx, *list);
  const std::string info = CardInfoCopy(ctx.Paths(), ctx.Site());
  RemoveWorkFile(info);
  GetFileFromCard(ctx, info, CardSlotDirectory(*slot), SdSetLabel::Info);
  if (!Exists(info)) {
    Log(ctx, " - Not Find Info File!");
    ctx.CardView().SetInfoText(ProjectInfoMessage::FileMissing);
    return SiteResultCode::Fail;
  }
  ctx.CardView().SetInfoText(ProjectInfoTextOfFile(*name, info));
  RemoveWorkFile(info);
  return SiteResultCode::Pass;
}

SiteResult DeleteCardProject(SiteContext& ctx, const OperationTexts&) {
  const std::optional<std::string> name = SelectedCardName(ctx);
  if (!name) return SiteResultCode::Pass;
  std::optional<CardList> list = WorkingList(ctx);
  if (!list) return SiteResultCode::Fail;
  const std::optional<int> slot = FindOnList(ctx, *list, *name);
  if (!slot) return SiteResultCode::Fail;
  SiteResult result = SdDeleteDirectory(ctx, CardSlotDirectory(*slot), true);
  if (result != SiteResultCode::Pass) Log(ctx, " - Delete Project Fail!");
  ctx.CardView().ClearSelectedCell(ctx.Site());
  RemoveFromList(*list, *slot);
  const std::string workList = CardWorkingList(ctx.Paths(), ctx.Site());
  if (!SendList(ctx, *list, workList)) result = SiteResultCode::Fail;
  RemoveWorkFile(workList);
  return result;
}

SiteResult StoreProjectOnCard(SiteContext& ctx, const OperationTexts& texts) {
  const std::string& projectPath = texts.Text1;
  StoreSource source;
  source.WorkList = CardWorkingList(ctx.Paths(), ctx.Site());
  source.Detect = true;
  source.Name = fs::path(projectPath).stem().string();
  source.Files = PreparedSetFiles(ctx);
  source.Info = ctx.Paths().TempDir + kInfoMember;
  return StoreOnCard(ctx, source);
}

SiteResult StoreFetchedProject(SiteContext& ctx, const OperationTexts& texts) {
  const std::string& name = texts.Text2;
  StoreSource source;
  // Each site keeps its own working list: the sites store the fetched set at the same time.
  source.WorkList = CardWorkingList(ctx.Paths(), ctx.Site());
  source.Detect = false;
  source.Name = name;
  source.Files = FetchedSetFiles(ctx);
  source.Info = CardFetchFolder(ctx.Paths()) + SdSetLabel::Info;
  return StoreOnCard(ctx, source);
}

SiteResult FetchCardProject(SiteContext& ctx, const OperationTexts& texts) {
  const std::string& name = texts.Text2;
  const std::optional<CardList> list = WorkingList(ctx);
  if (!list) return SiteResultCode::Fail;
  if (SdCardDetect(ctx) != SiteResultCode::Pass) return SiteResultCode::Fail;
  const std::optional<int> slot = FindOnList(ctx, *list, name);
  if (!slot) return SiteResultCode::Fail;
  std::error_code error;
  fs::create_directories(CardFetchFolder(ctx.Paths()), error);
  if (error) {
    Log(ctx, " - Create Directory Fail!");
    return SiteResultCode::Fail;
  }
  return FetchAndVerifySet(ctx, CardSlotPath(*slot), CardFetchFolder(ctx.Paths()));
}

SiteResult FilterCardList(SiteContext& ctx, const OperationTexts&) {
  const std::string workList = CardWorkingList(ctx.Paths(), ctx.Site());
  RemoveWorkFile(workList);
  if (GetFileFromCard(ctx, workList, kCardRoot, kCardListFile) != SiteResultCode::Pass) {
    Log(ctx, " - Get List File Fail!");
    return SiteResultCode::Pass;  // a card without a list yet has nothing to filter
  }
  CardList list;
  if (!Exists(workList) || !list.Load(workList)) {
    Log(ctx, " - List File not Exists!");
    return SiteResultCode::Fail;
  }
  for (int slot = 0; slot < kCardSlotCount; ++slot) {
    if (!list.HasName(slot)) {
      SdDeleteDirectory(ctx, CardSlotDirectory(slot), false);
    } else if (list.Count() > kCardProjectLimit) {
      SdDeleteDirectory(ctx, CardSlotDirectory(slot), false);
      list.Remove(slot);
      list.SetCount(list.Count() - 1);
      list.Save();
    }
  }
  if (PutFileToCard(ctx, workList, kCardRoot, kCardListFile) == SiteResultCode::Pass) {
    return SiteResultCode::Pass;
  }
  RemoveWorkFile(workList);
  return SiteResultCode::Fail;
}

SiteResult QuickFormatCard(SiteContext& ctx, const OperationTexts&) {
  return SdDeleteDirectory(ctx, kCardRoot, true);
}
