#include "site/ops/card_store_set.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "link/standard_exchange.h"
#include "site/card_list.h"
#include "site/ops/card_commands.h"
#include "site/ops/card_files.h"
#include "site/ops/card_result.h"
#include "site/ops/card_store_ops.h"
#include "site/site_system.h"
#include "support/byte_order.h"
#include "support/checksums.h"
#include "support/file_helpers.h"

namespace {

namespace fs = std::filesystem;

constexpr int kNoRunSlot = -1;

void Log(SiteSystem& system, int site, std::string_view tail,
         std::uint32_t colour = LogColour::Red) {
  LogSite(system.Log(), site, tail, colour);
}

std::optional<std::string> WholeText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes room for one more project: the oldest ones go until fewer than 20 remain. A directory
// that is already gone counts as deleted.
bool MakeRoom(SiteSystem& system, int site, CardList& list) {
  while (list.Count() >= kCardProjectLimit) {
    std::vector<sSDCardProjList> entries = list.Used();
    if (entries.empty()) break;  // the count claims more than the list holds
    SortNewestFirst(entries);
    const int oldest = entries.back().Slot;
    const SiteResult deleted = SdDeleteDirectory(system, site, CardSlotDirectory(oldest), false);
    if (deleted != SiteResultCode::Pass && deleted != CardCode::NoPath) {
      Log(system, site, " - Delete Project Fail!");
      return false;
    }
    list.Remove(oldest);
    list.SetCount(list.Count() - 1);
  }
  return true;
}

bool SendList(SiteSystem& system, int site, const CardList& list, const std::string& workList) {
  return list.SaveAs(workList) &&
         PutFileToCard(system, site, workList, kCardRoot, kCardListFile) == SiteResultCode::Pass;
}

SiteResult StoreNew(SiteSystem& system, int site, const StoreSource& source, CardList& list) {
  if (!MakeRoom(system, site, list)) return SiteResultCode::Fail;
  list.SaveAs(source.WorkList);
  const std::optional<int> slot = list.FirstFree();
  if (!slot) {
    Log(system, site, " - No Free Project Slot!");
    return SiteResultCode::Fail;
  }
  if (SdCreateDirectory(system, site, CardSlotDirectory(*slot)) != SiteResultCode::Pass ||
      !SendSetFiles(system, site, source.Files, CardSlotDirectory(*slot))) {
    return SiteResultCode::Fail;
  }
  list.SetCount(list.Count() + 1);
  list.SetRunSlot(*slot);
  list.Put(*slot, source.Name, CardDateNow());
  return SendList(system, site, list, source.WorkList) ? SiteResultCode::Pass
                                                       : SiteResultCode::Fail;
}

SiteResult RefreshStored(SiteSystem& system, int site, const StoreSource& source, CardList& list,
                         int slot) {
  Log(system, site, " - Project File Already Exists!", LogColour::Orange);
  const std::string info = CardInfoCopy(system, site);
  if (GetFileFromCard(system, site, info, CardSlotPath(slot), SdSetLabel::Info) !=
      SiteResultCode::Pass) {
    Log(system, site, std::string(" - Get ") + SdSetLabel::Info + "'s File Fail!");
    RemoveWorkFile(info);
    return SiteResultCode::Fail;
  }
  const std::optional<std::string> stored = WholeText(info);
  const std::optional<std::string> prepared = WholeText(source.Info);
  RemoveWorkFile(info);
  if ((!stored || stored != prepared) &&
      !SendSetFiles(system, site, source.Files, CardSlotDirectory(slot))) {
    return SiteResultCode::Fail;
  }
  list.SetRunSlot(slot);
  list.SetDate(slot, CardDateNow());
  return SendList(system, site, list, source.WorkList) ? SiteResultCode::Pass
                                                       : SiteResultCode::Fail;
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

SetFiles PreparedSetFiles(SiteSystem& system) {
  return SdProjectSetFiles(system.Paths(), system.Project().Records().DriverIni[0]);
}

SetFiles FetchedSetFiles(SiteSystem& system) {
  return FilesIn(CardFetchFolder(system));
}

bool SendSetFiles(SiteSystem& system, int site, const SetFiles& files,
                  const std::string& directory) {
  for (const SdSetFile& file : files) {
    std::error_code error;
    if (!fs::is_regular_file(file.Path, error)) {
      Log(system, site, std::string(" - ") + file.Label + " File Not Exists!");
      return false;
    }
    if (PutFileToCard(system, site, file.Path, kCardRoot + directory, file.Label) !=
        SiteResultCode::Pass) {
      Log(system, site, std::string(" - Send ") + file.Label + " File Fail!");
      return false;
    }
  }
  return true;
}

SiteResult StoreOnCard(SiteSystem& system, int site, const StoreSource& source) {
  RemoveWorkFile(source.WorkList);
  GetFileFromCard(system, site, source.WorkList, kCardRoot, kCardListFile);
  SiteResult result = SiteResultCode::Fail;
  if (!source.Detect || SdCardDetect(system, site) == SiteResultCode::Pass) {
    CardList list;
    list.Load(source.WorkList);  // a card without a list starts empty
    const std::optional<int> slot = list.Find(source.Name);
    result = slot ? RefreshStored(system, site, source, list, *slot)
                  : StoreNew(system, site, source, list);
  }
  RemoveWorkFile(source.WorkList);
  return result;
}

SiteResult FetchAndVerifySet(SiteSystem& system, int site, const std::string& cardDirectory,
                             const std::string& pcFolder) {
  const SetFiles files = FilesIn(pcFolder);
  const SdSetFile& checksum = files[kSdSetSummedFiles];
  if (GetFileFromCard(system, site, checksum.Path, cardDirectory, checksum.Label) !=
      SiteResultCode::Pass) {
    Log(system, site, " - Get Checksum's File Fail!");
    return SiteResultCode::Fail;
  }
  const auto sums = ReadSums(checksum.Path);
  if (!sums) {
    Log(system, site, " - Read Checksun File Fail!");
    return SiteResultCode::Fail;
  }
  for (std::size_t i = 0; i < kSdSetSummedFiles; ++i) {
    const std::string label = files[i].Label;
    if (GetFileFromCard(system, site, files[i].Path, cardDirectory, label) !=
        SiteResultCode::Pass) {
      Log(system, site, " - Get " + label + "'s File Fail!");
      return SiteResultCode::Fail;
    }
    std::uint32_t sum = 0;
    if (!WholeFileSum(files[i].Path, sum)) {
      Log(system, site, " - Calculate " + label + " Checksum Fail!");
      return SiteResultCode::Fail;
    }
    if (sum != (*sums)[i]) {
      Log(system, site, " - Compare " + label + " Checksum Fail!");
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
