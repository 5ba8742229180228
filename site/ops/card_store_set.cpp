#include "site/ops/card_store_set.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "link/standard_exchange.h"
#include "site/card_list.h"
#include "site/loaded_project.h"
#include "site/ops/card_commands.h"
#include "site/ops/card_files.h"
#include "site/ops/card_result.h"
#include "site/ops/card_store_paths.h"
#include "site/site_context.h"
#include "support/byte_order.h"
#include "support/checksums.h"
#include "support/file_helpers.h"
#include "support/system_paths.h"

namespace {

namespace fs = std::filesystem;

constexpr int kNoRunSlot = -1;

void Log(SiteContext& ctx, std::string_view tail, std::uint32_t colour = LogColour::Red) {
  LogSite(ctx.Log(), ctx.Site(), tail, colour);
}

std::optional<std::string> WholeText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes room for one more project: the oldest ones go until fewer than 20 remain. A directory
// that is already gone counts as deleted.
bool MakeRoom(SiteContext& ctx, CardList& list) {
  while (list.Count() >= kCardProjectLimit) {
    std::vector<sSDCardProjList> entries = list.Used();
    if (entries.empty()) break;  // the count claims more than the list holds
    SortNewestFirst(entries);
    const int oldest = entries.back().Slot;
    const SiteResult deleted = SdDeleteDirectory(ctx, CardSlotDirectory(oldest), false);
    if (deleted != SiteResultCode::Pass && deleted != CardCode::NoPath) {
      Log(ctx, " - Delete Project Fail!");
      return false;
    }
    list.Remove(oldest);
    list.SetCount(list.Count() - 1);
  }
  return true;
}

bool SendList(SiteContext& ctx, const CardList& list, const std::string& workList) {
  return list.SaveAs(workList) &&
         PutFileToCard(ctx, workList, kCardRoot, kCardListFile) == SiteResultCode::Pass;
}

SiteResult StoreNew(SiteContext& ctx, const StoreSource& source, CardList& list) {
  if (!MakeRoom(ctx, list)) return SiteResultCode::Fail;
  list.SaveAs(source.WorkList);
  const std::optional<int> slot = list.FirstFree();
  if (!slot) {
    Log(ctx, " - No Free Project Slot!");
    return SiteResultCode::Fail;
  }
  if (SdCreateDirectory(ctx, CardSlotDirectory(*slot)) != SiteResultCode::Pass ||
      !SendSetFiles(ctx, source.Files, CardSlotDirectory(*slot))) {
    return SiteResultCode::Fail;
  }
  list.SetCount(list.Count() + 1);
  list.SetRunSlot(*slot);
  list.Put(*slot, source.Name, CardDateNow());
  return SendList(ctx, list, source.WorkList) ? SiteResultCode::Pass : SiteResultCode::Fail;
}

SiteResult RefreshStored(SiteContext& ctx, const StoreSource& source, CardList& list, int slot) {
  Log(ctx, " - Project File Already Exists!", LogColour::Orange);
  const std::string info = CardInfoCopy(ctx.Paths(), ctx.Site());
  if (GetFileFromCard(ctx, info, CardSlotPath(slot), SdSetLabel::Info) != SiteResultCode::Pass) {
    Log(ctx, std::string(" - Get ") + SdSetLabel::Info + "'s File Fail!");
    RemoveWorkFile(info);
    return SiteResultCode::Fail;
  }
  const std::optional<std::string> stored = WholeText(info);
  const std::optional<std::string> prepared = WholeText(source.Info);
  RemoveWorkFile(info);
  if ((!stored || stored != prepared) &&
      !SendSetFiles(ctx, source.Files, CardSlotDirectory(slot))) {
    return SiteResultCode::Fail;
  }
  list.SetRunSlot(slot);
  list.SetDate(slot, CardDateNow());
  return SendList(ctx, list, source.WorkList) ? SiteResultCode::Pass : SiteResultCode::Fail;
}

bool WholeFileSum(const std::string& path, std::uint32_t& sum) {
  sum = 0;
  const std::int64_t size = GetFileSizeBytes(path);
  return size >= 0 &&
         FileByteSum(path, 0, static_cast<std::uint64_t>(size), sum) == ByteSumResult::Ok;
}

std::optional<std::array<std::uint32_t, kSdSetSummedFiles>> ReadSums(const std::string& path) {
  const std::optional<std::string> text = WholeText(path);
  if (!text || text->size() < kChecksumFileSize) return std::nullopt;
  std::array<std::uint32_t, kSdSetSummedFiles> sums{};
  for (std::size_t i = 0; i < sums.size(); ++i) {
    sums[i] = GetLe32(reinterpret_cast<const std::uint8_t*>(text->data()) + 4 * i);
  }
  return sums;
}

// A set kept in one folder, each file named by its label.
SetFiles FilesIn(const std::string& folder) {
  constexpr std::array<const char*, kSdSetFileCount> kLabels{
      SdSetLabel::Ini,  SdSetLabel::Option,   SdSetLabel::Menu,
      SdSetLabel::Info, SdSetLabel::Hardware, SdSetLabel::Driver,
      SdSetLabel::Fpga, SdSetLabel::Temp,     SdSetLabel::Checksum};
  SetFiles files{};
  for (std::size_t i = 0; i < files.size(); ++i) files[i] = {kLabels[i], folder + kLabels[i]};
  return files;
}

}  // namespace

SetFiles PreparedSetFiles(SiteContext& ctx) {
  return SdProjectSetFiles(ctx.Paths(), ctx.Project().Records().DriverIni[0]);
}

SetFiles FetchedSetFiles(SiteContext& ctx) {
  return FilesIn(CardFetchFolder(ctx.Paths()));
}

bool SendSetFiles(SiteContext& ctx, const SetFiles& files, const std::string& directory) {
  for (const SdSetFile& file : files) {
    std::error_code error;
    if (!fs::is_regular_file(file.Path, error)) {
      Log(ctx, std::string(" - ") + file.Label + " File Not Exists!");
      return false;
    }
    if (PutFileToCard(ctx, file.Path, kCardRoot + directory, file.Label) != SiteResultCode::Pass) {
      Log(ctx, std::string(" - Send ") + file.Label + " File Fail!");
      return false;
    }
  }
  return true;
}

SiteResult StoreOnCard(SiteContext& ctx, const StoreSource& source) {
  RemoveWorkFile(source.WorkList);
  GetFileFromCard(ctx, source.WorkList, kCardRoot, kCardListFile);
  SiteResult result = SiteResultCode::Fail;
  if (!source.Detect || SdCardDetect(ctx) == SiteResultCode::Pass) {
    CardList list;
    list.Load(source.WorkList);  // a card without a list starts empty
    const std::optional<int> slot = list.Find(source.Name);
    result = slot ? RefreshStored(ctx, source, list, *slot) : StoreNew(ctx, source, list);
  }
  RemoveWorkFile(source.WorkList);
  return result;
}

SiteResult FetchAndVerifySet(SiteContext& ctx, const std::string& cardDirectory,
                             const std::string& pcFolder) {
  const SetFiles files = FilesIn(pcFolder);
  const SdSetFile& checksum = files[kSdSetSummedFiles];
  if (GetFileFromCard(ctx, checksum.Path, cardDirectory, checksum.Label) != SiteResultCode::Pass) {
    Log(ctx, " - Get Checksum's File Fail!");
    return SiteResultCode::Fail;
  }
  const auto sums = ReadSums(checksum.Path);
  if (!sums) {
    Log(ctx, " - Read Checksun File Fail!");
    return SiteResultCode::Fail;
  }
  for (std::size_t i = 0; i < kSdSetSummedFiles; ++i) {
    const std::string label = files[i].Label;
    if (GetFileFromCard(ctx, files[i].Path, cardDirectory, label) != SiteResultCode::Pass) {
      Log(ctx, " - Get " + label + "'s File Fail!");
      return SiteResultCode::Fail;
    }
    std::uint32_t sum = 0;
    if (!WholeFileSum(files[i].Path, sum)) {
      Log(ctx, " - Calculate " + label + " Checksum Fail!");
      return SiteResultCode::Fail;
    }
    if (sum != (*sums)[i]) {
      Log(ctx, " - Compare " + label + " Checksum Fail!");
      return SiteResultCode::Fail;
    }
  }
  return SiteResultCode::Pass;
}

void RemoveWorkFile(const std::string& path) {
  std::error_code error;
  fs::remove(path, error);
}

void RemoveFromList(CardList& list, int slot) {
  list.Remove(slot);
  list.SetCount(list.Count() - 1);
  if (list.RunSlot(kNoRunSlot) != slot) return;
  std::vector<sSDCardProjList> remaining = list.Used();
  SortNewestFirst(remaining);
  list.SetRunSlot(remaining.empty() ? kNoRunSlot : remaining.front().Slot);
}
