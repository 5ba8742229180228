// LoadRunProject (opcode 27): the settings of the card's run project into the site's records.
#include <filesystem>
#include <fstream>
#include <mutex>

#include "link/standard_exchange.h"
#include "site/card_list.h"
#include "site/loaded_project.h"
#include "site/ops/card_store_paths.h"
#include "site/ops/card_store_set.h"
#include "site/ops/sd_run_ops.h"
#include "site/site_context.h"
#include "site/site_run_bytes.h"
#include "support/checksums.h"
#include "support/ini_file.h"
#include "support/system_paths.h"

namespace {

namespace fs = std::filesystem;

constexpr int kNoRunProject = -1;
constexpr const char* kInfoSection = "ProjectInfo";
constexpr const char* kInfoFile = "Info";
constexpr const char* kDriverImageFile = "INI";
constexpr const char* kDataImageFile = "Temp";

// The run project's slot and name from the working list opcode 17 fetched; the list is used
// up.
int TakeRunSlot(const std::string& listPath, std::string& name) {
  CardList list;
  list.Load(listPath);
  std::error_code ec;
  fs::remove(listPath, ec);
  const int slot = list.RunSlot(kNoRunProject);
  name = slot == kNoRunProject ? "" : list.NameOf(slot);
  return slot;
}

// The project value in its field order, from the fetched information file.
S_ProjectValue ReadProjectValue(const std::string& infoPath) {
  IniFile info;
  info.Load(infoPath);
  auto flag = [&](const char* key) -> std::uint8_t {
    return info.ReadBool(kInfoSection, key, false) ? 1 : 0;
  };
  S_ProjectValue value;
  value.Textool = {flag("Textool1Check"), flag("Textool2Check"), flag("Textool3Check"),
                   flag("Textool4Check")};
  value.MemArea = {flag("MainMeMCheck"), flag("Ext1MeMCheck"), flag("Ext2MeMCheck"),
                   flag("Ext3MeMCheck")};
  value.Step = {flag("PinscanCheck"), flag("IDCheck"),     flag("EraseCheck"),  flag("BlankCheck"),
                flag("ProgramCheck"), flag("VerifyCheck"), flag("ProtectCheck")};
  value.Manufacturer = info.ReadString(kInfoSection, "Manufacturer", "");
  value.PartsNumber = info.ReadString(kInfoSection, "PartsNumber", "");
  return value;
}

bool ReadDriverImage(const std::string& path, DriverIniImage& image) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  file.read(reinterpret_cast<char*>(image.Data()), static_cast<std::streamsize>(image.Size()));
  return true;
}

}  // namespace

std::string RunProjectFolder(const SystemPaths& paths, int site) {
  return paths.TempDir + "Proj" + std::to_string(site) + "/";
}

SiteResult LoadRunProject(SiteContext& ctx, const OperationTexts&) {
  std::string name;
  const int slot = TakeRunSlot(CardWorkingList(ctx.Paths(), ctx.Site()), name);
  if (slot == kNoRunProject) {
    LogSite(ctx.Log(), ctx.Site(), " - Get Project's Number Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  const std::string folder = RunProjectFolder(ctx.Paths(), ctx.Site());
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    LogSite(ctx.Log(), ctx.Site(), " - Create Directory Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (FetchAndVerifySet(ctx, CardSlotPath(slot), folder) != SiteResultCode::Pass) {
    return SiteResultCode::Fail;
  }
  ProjectRecords& records = ctx.Project().Records();
  const std::size_t at = SiteSlot(ctx.Site());
  DriverIniImage image;
  if (!ReadDriverImage((fs::path(folder) / kDriverImageFile).string(), image)) {
    return SiteResultCode::Fail;
  }
  const S_ProjectValue value = ReadProjectValue((fs::path(folder) / kInfoFile).string());
  {
    std::lock_guard<std::mutex> lock(ctx.PlanLock());
    records.ProjectValue[at] = value;
    CopyDriverValues(image, records.DriverIni[at]);
    BuildSiteProcessPlan(records, at);
  }
  SiteRunBytes& run = ctx.RunBytes();
  run.CardProject = name;
  if (!FileCrc32(fs::path(folder) / kDataImageFile, run.CardImageCrc)) run.CardImageCrc = 0;
  fs::remove_all(folder, ec);
  return SiteResultCode::Pass;
}
