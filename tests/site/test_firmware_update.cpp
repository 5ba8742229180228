// The firmware update against simulated units: the files taken from the database archive, the
// version read, the update of one unit with each of its outcomes, the run over the site list,
// and the units that fail or leave while the other sites' updates go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "site/command.h"
#include "site/firmware_files.h"
#include "site/firmware_image.h"
#include "site/firmware_run.h"
#include "site/ops/firmware_ops.h"
#include "site/rescan.h"
#include "site/site_wait.h"
#include "site/system_startup.h"
#include "tests/site/site_test_rig.h"
#include "tests/site/site_waits.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr std::uint32_t kCovered = 0x60000;
const VersionBytes kV25{2, '.', 5, 0};
const VersionBytes kV26{2, '.', 6, 0};

std::vector<std::uint8_t> Image(const VersionBytes& version, std::uint32_t covered = kCovered) {
  std::vector<std::uint8_t> image(kFirmwareImageSize, 0xFF);
  for (std::size_t i = 0; i < kCovered; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  WriteFirmwareTrailer(image, version, covered);
  return image;
}

std::string Info(const char* oldestSoftware) {
  std::string text = "[BIOSInfo]\r\n";
  if (*oldestSoftware)
    text += std::string("BIOSSupportOldMultipleUIVer=") + oldestSoftware + "\r\n";
  return text;
}

std::string Bytes(const std::vector<std::uint8_t>& image) {
  return {image.begin(), image.end()};
}

// A system on `units` simulated units with a base and a temporary folder of its own.
struct FirmwareRig {
  explicit FirmwareRig(int units) : rig(units), count(units) {
    paths.BaseDir = folder.Path() + "base/";
    paths.TempDir = folder.Path() + "temp/";
    std::filesystem::create_directories(paths.TempDir);
    std::filesystem::create_directories(paths.BaseDir + "DataBase/Update");
    rig.system.SetPaths(paths);
    EXPECT_TRUE(RescanUnits(rig.system));
    rig.captured.Clear();
  }

  // The simulated unit bound to `site` (the rescan orders the units by their identifiers).
  sim::SimUnit& UnitAt(int site) {
    for (int k = 0; k < count; ++k) {
      if (sim::rigOrderRank(k, count) == site) return rig.Unit(k);
    }
    return rig.Unit(0);
  }
  void SetUnitVersion(int site, const VersionBytes& version) {
    sim::FirmwareInfo info = UnitAt(site).firmware();
    info.version = version;
    UnitAt(site).setFirmware(info);
  }
  // The update with a software version of the test's choosing.
  void UseSoftwareVersion(std::string version) {
    rig.system.Opcodes().Register(
        Opcodes::FirmwareUpdate,
        [version = std::move(version)](SiteContext& ctx, const OperationTexts&) {
          return UpdateFirmwareFor(ctx, version);
        });
  }
  void WriteTempFiles(const std::string& image, const char* oldestSoftware) {
    std::ofstream(paths.TempDir + kFirmwareImageFile, std::ios::binary) << image;
    std::ofstream(paths.TempDir + kFirmwareInfoFile, std::ios::binary) << Info(oldestSoftware);
  }
  void WriteArchive(const std::vector<std::uint8_t>& image, const std::string& password) {
    const std::string stage = folder.Write("stage/BIOS/BIOS.BIN", Bytes(image));
    folder.Write("stage/BIOS/BIOSInfo.ini", Info("1.0.0.0"));
    ASSERT_TRUE(
        rig.system.Archive()
            .Create(paths.BaseDir + kFirmwareArchive, {folder.Path() + "stage/BIOS"}, password)
            .Ok());
  }
  // Starts the update on each site and waits for its worker.
  void Update(const std::vector<int>& sites) {
    for (int site : sites) {
      OpcodeQueue queue = MakeQueue({Opcodes::FirmwareUpdate});
      ASSERT_TRUE(Command(rig.system, site, queue).Started());
    }
    WaitForStartedSitesOrFail(rig.system, sites);
  }
  bool TempFilesGone() const {
    return !std::filesystem::exists(paths.TempDir + kFirmwareImageFile) &&
           !std::filesystem::exists(paths.TempDir + kFirmwareInfoFile);
  }
  std::uint8_t Result(int site) { return rig.system.CmdData(site).FirmwareUpdateResult; }
  bool Sent(int site, std::uint16_t code) {
    return !UnitAt(site).record().commandsWithCode(code).empty();
  }

  TempFolder folder;
  SiteRig rig;
  int count;
  SystemPaths paths;
};

using Line = std::pair<std::string, std::uint32_t>;

void ExpectLines(const CapturingLog& log, const std::vector<Line>& lines, const std::string& name) {
  for (const Line& line : lines) {
    EXPECT_TRUE(log.Has(line.first, line.second)) << name << ": " << line.first;
  }
}

TEST(FirmwareVersionGet, TheUnitsFourBytesBecomeTheVersionText) {
  const struct {
    VersionBytes unit;
    SiteResult result;
    std::string kept;
    std::vector<Line> lines;
  } cases[] = {
      {{1, '.', 2, 0},
       0xA0,
       "1.2",
       {{"Site #1 - BIOS Version Get", LogColour::Start},
        {"Site #1 - BIOS Version = 1.2", LogColour::Black},
        {"Site #1 - BIOS Version Get Pass", LogColour::Green}}},
      {{2, '.', 10, 'A'}, 0xA0, "2.10A", {{"Site #1 - BIOS Version = 2.10A", LogColour::Black}}},
      {{1, ' ', 3, ' '}, 0xA0, "1 3 ", {{"Site #1 - BIOS Version = 1 3", LogColour::Black}}},
      {{1, 0xB7, 2, 0xE9},  // each character byte is one Latin-1 character
       0xA0,
       "1\u00B72\u00E9",
       {{"Site #1 - BIOS Version = 1\u00B72\u00E9", LogColour::Black}}},
      {{1, 0xFF, 2, 0},
       0xA1,
       "before",
       {{"Site #1 - BIOS Version Format Error!", LogColour::Red},
        {"Site #1 - BIOS Version Get Fail!", LogColour::Red}}},
  };
  for (const auto& c : cases) {
    FirmwareRig f(1);
    f.SetUnitVersion(0, c.unit);
    f.rig.system.CmdData(0).BiosVersion = "before";
    EXPECT_EQ(BiosVersionGet(f.rig.Site(0)), c.result) << c.kept;
    EXPECT_EQ(f.rig.system.CmdData(0).BiosVersion, c.kept);
    ExpectLines(f.rig.captured, c.lines, c.kept);
    EXPECT_EQ(f.rig.system.Link(0).IsBusy(), 0);
  }
}

TEST(FirmwareReset, SendsTheResetReadsNoReplyAndFailsOnlyWhenTheUnitIsGone) {
  for (const bool restarts : {false, true}) {
    FirmwareRig f(1);
    if (!restarts) {
      f.UnitAt(0).registerCommand(sim::Code::Reset, [](sim::CommandContext& ctx) { ctx.accept(); });
    }
    EXPECT_EQ(ResetUnit(f.rig.Site(0)), restarts ? 0xA1 : 0xA0);
    EXPECT_TRUE(f.rig.captured.Has(std::string("Site #1 - ") + kApplicationTitle + " Reset",
                                   LogColour::Start));
    EXPECT_TRUE(f.Sent(0, sim::Code::Reset));
    EXPECT_EQ(f.rig.system.Link(0).IsBusy(), 0);
    EXPECT_EQ(f.rig.system.Link(0).IsOpened() != 0, !restarts);
  }
}

struct UpdateCase {
  const char* name;
  VersionBytes unit;
  std::string image;           // empty: no image file
  const char* oldestSoftware;  // nullptr: no information file; "": the key is absent
  const char* software;
  SiteResult result;
  bool transfer;
  std::vector<Line> lines;
  std::vector<std::string> absent;
};

const std::string kNoUpdate = "Site #1 - No Updates are Required";
const std::string kSoftwareOld =
    "Site #1 - The Software's Version is Too Old! Please Remember to Update The Software.";
const std::string kBiosOld =
    "Site #1 - BIOS May Not be Supported The Software! Please Remember to Update The BIOS.";
const std::string kDatabase = " Please Check Your DataBase or Download DataBase Again!";
const std::string kUpdateFail = "Site #1 - Update BIOS Fail!" + kDatabase;
const std::string kFormatError = "Site #1 - Updated File Format Error!";
const VersionBytes k11A{1, '.', 1, 'A'};
const VersionBytes k12A{1, '.', 2, 'A'};

std::vector<UpdateCase> UpdateCases() {
  const std::string v25 = Bytes(Image(kV25));
  const std::string v26 = Bytes(Image(kV26));
  std::string crcBroken = v26;
  crcBroken[0x100] ^= 0x01;
  const std::string reset = std::string("Site #1 - ") + kApplicationTitle + " Reset";
  const Line noUpdate{kNoUpdate, LogColour::Orange};
  // clang-format off
  return {
      {"older unit updated", kV25, v26, "1.0.0.0", "1.2.9.9", 0xA0, true,
       {{"Site #1 - The DataBase's BIOS Version = 2.6, The Machine's BIOS Version = 2.5", LogColour::Black},
        {"Site #1 - Update Master BIOS...", LogColour::Start},
        {"Site #1 - Update Master BIOS Handle", LogColour::Start},
        {"Site #1 - Update Master BIOS Handle Pass", LogColour::Green}, {reset, LogColour::Start}},
       {kNoUpdate}},
      {"newer unit brought back", kV26, v25, "1.0.0.0", "1.2.9.9", 0xA0, true,
       {{"Site #1 - Update Master BIOS Handle Pass", LogColour::Green}}, {}},
      {"current unit", kV25, v25, "1.0.0.0", "1.2.9.9", 0xA0, false, {noUpdate}, {kSoftwareOld, kBiosOld}},
      {"software too old", kV25, v25, "1.3.0.0", "1.2.9.9", 0xA0, false,
       {noUpdate, {kSoftwareOld, LogColour::Orange}}, {kBiosOld}},
      {"absent key: no software too old", kV25, v25, "", "0.0.0.1", 0xA0, false, {noUpdate}, {kSoftwareOld}},
      {"unit 1.1A may not suit", k11A, Bytes(Image(k11A)), "1.0.0.0", "9.0.0.0", 0xA0, false,
       {{kBiosOld, LogColour::Orange}}, {kSoftwareOld}},
      {"unit 1.2A suits", k12A, Bytes(Image(k12A)), "1.0.0.0", "9.0.0.0", 0xA0, false, {noUpdate},
       {kSoftwareOld, kBiosOld}},
      {"covered length one too many", kV25, Bytes(Image(kV26, kFirmwareCoveredMax + 1)), "0", "1.0", 0xA1,
       false, {{kFormatError, LogColour::Red}, {kUpdateFail, LogColour::Red}}, {}},
      {"short image reads as erased", kV25, std::string(0x1000, '\x42'), "0", "1.0", 0xA1, false,
       {{kFormatError, LogColour::Red}, {kUpdateFail, LogColour::Red}}, {}},
      {"image CRC differs", kV25, crcBroken, "0", "1.0", 0xA1, false,
       {{"Site #1 - Updated BIOS File CRC32 Error!", LogColour::Red}, {kUpdateFail, LogColour::Red}}, {}},
      {"unit without a valid version", {1, 0xFF, 0, 0}, v26, "0", "1.0", 0xA1, false,
       {{"Site #1 - BIOS Version Format Error!", LogColour::Red}}, {kUpdateFail}},
      {"information file missing", kV25, v26, nullptr, "1.0", 0xA1, false,
       {{"Site #1 - Info Files Not Found!" + kDatabase, LogColour::Red}}, {"Site #1 - BIOS Version Get"}},
      {"image missing", kV25, "", "0", "1.0", 0xA1, false,
       {{"Site #1 - Open BIOS Files Fail!" + kDatabase, LogColour::Red}}, {"Site #1 - BIOS Version Get"}},
  };
  // clang-format on
}

TEST(FirmwareUpdate, OneUnitComparedUpdatedOrWarned) {
  for (const UpdateCase& c : UpdateCases()) {
    FirmwareRig f(1);
    f.SetUnitVersion(0, c.unit);
    f.UseSoftwareVersion(c.software);
    f.WriteTempFiles(c.image, c.oldestSoftware ? c.oldestSoftware : "");
    if (!c.oldestSoftware) std::filesystem::remove(f.paths.TempDir + kFirmwareInfoFile);
    if (c.image.empty()) std::filesystem::remove(f.paths.TempDir + kFirmwareImageFile);
    f.Update({0});
    EXPECT_EQ(f.Result(0), c.result) << c.name;
    EXPECT_EQ(f.Sent(0, sim::Code::UpdateMasterBios), c.transfer) << c.name;
    ExpectLines(f.rig.captured, c.lines, c.name);
    for (const std::string& text : c.absent) {
      const auto texts = f.rig.captured.TextsOf(0);
      EXPECT_EQ(std::count(texts.begin(), texts.end(), text), 0) << c.name << ": " << text;
    }
    const auto image = ReadFirmwareImage(f.paths.TempDir + kFirmwareImageFile);
    if (c.transfer && image) {
      EXPECT_EQ(f.UnitAt(0).firmware().version, DecodeFirmwareTrailer(*image).Version) << c.name;
    }
  }
}

TEST(FirmwareUpdate, TheUpdatedUnitRestartsAndTheRescanFindsItWithItsNewVersion) {
  FirmwareRig f(1);
  f.SetUnitVersion(0, kV25);
  f.WriteTempFiles(Bytes(Image(kV26)), "0");
  f.Update({0});
  ASSERT_EQ(f.Result(0), 0xA0);
  EXPECT_EQ(f.rig.system.CmdData(0).FileBiosVersion, "2.6");
  EXPECT_EQ(f.rig.system.CmdData(0).FileLength, kCovered);
  // The unit left the bus and comes back on its own; the next rescan binds it again.
  ASSERT_TRUE(WaitUntil([&] {
    RescanUnits(f.rig.system);
    return f.rig.panels.Status(0) == siReady;
  }));
  EXPECT_EQ(BiosVersionGet(f.rig.Site(0)), 0xA0);
  EXPECT_EQ(f.rig.system.CmdData(0).BiosVersion, "2.6");
}

TEST(FirmwareUpdate, EachFailingUnitEndsAloneWhileTheOtherSitesUpdate) {
  FirmwareRig f(6);
  const struct {
    int site;
    sim::Fault fault;
    std::string line;
    TSiteStatus end;
  } cases[] = {
      {0, sim::Fault::leaveBus(sim::ReplyStage::ChunkAck).onCode(sim::Code::BulkOut), "", siNone},
      {1, sim::Fault::garbage(0xA2).onCode(sim::Code::UpdateMasterBios),
       " - Check CRC32 For BIOS On SDRAM Fail!", siFail},
      {2, sim::Fault::garbage(0xA3).onCode(sim::Code::UpdateMasterBios),
       " - Master BIOS Update Fail!", siFail},
      {3, sim::Fault::garbage(0xA4).onCode(sim::Code::UpdateMasterBios),
       " - Slave BIOS Update Fail!", siFail},
      {4, sim::Fault::garbage(0x5A).onCode(sim::Code::UpdateMasterBios),
       " - Update BIOS Handle Ack Error!", siFail},
  };
  for (const auto& c : cases) {
    f.SetUnitVersion(c.site, kV25);
    f.UnitAt(c.site).armFault(c.fault);
  }
  f.SetUnitVersion(5, kV25);  // updated meanwhile
  f.WriteArchive(Image(kV26), ArchivePassword::Firmware);
  FirmwareSiteList list = AllFirmwareSites();
  const FirmwareRunOutcome outcome = RunFirmwareUpdate(f.rig.system, list);
  EXPECT_TRUE(outcome.Extracted);
  EXPECT_EQ(outcome.Started, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(f.Result(5), 0xA0);
  EXPECT_TRUE(f.rig.captured.Has("Site #6 - Update Master BIOS Handle Pass", LogColour::Green));
  for (const auto& c : cases) {
    const std::string site = "Site #" + std::to_string(c.site + 1);
    EXPECT_EQ(f.Result(c.site), 0xA1) << site;
    if (!c.line.empty()) {
      EXPECT_TRUE(f.rig.captured.Has(site + c.line, LogColour::Red)) << site;
    }
    EXPECT_TRUE(f.rig.captured.Has(site + kUpdateFail.substr(7), LogColour::Red)) << site;
    EXPECT_EQ(f.rig.panels.Status(c.site), c.end) << site;
    EXPECT_FALSE(f.Sent(c.site, sim::Code::Reset)) << site;
  }
  // Sites 7 and 8 have no unit: the run unchecks and disables their entries.
  for (int site = 6; site < kSiteCount; ++site) {
    EXPECT_FALSE(list[SiteSlot(site)].Enabled || list[SiteSlot(site)].Checked) << site;
  }
  EXPECT_TRUE(f.TempFilesGone());
}

TEST(FirmwareFiles, ExtractedFromTheArchiveOrReportedByBox) {
  const struct {
    const char* name;
    bool archive;
    const char* password;
    bool extracted;
    const char* box;
  } cases[] = {
      {"good archive", true, ArchivePassword::Firmware, true, nullptr},
      {"no archive", false, "", false, kFirmwareArchiveMissing},
      {"wrong password", true, ArchivePassword::Project, false, kFirmwareExtractFail},
  };
  for (const auto& c : cases) {
    FirmwareRig f(1);
    if (c.archive) f.WriteArchive(Image(kV26), c.password);
    f.WriteTempFiles("stale", "0");  // what an earlier run left is never taken
    EXPECT_EQ(ExtractFirmware(f.rig.system), c.extracted) << c.name;
    const std::vector<std::string> boxes = f.rig.host.MessageTexts();
    EXPECT_EQ(boxes, c.box ? std::vector<std::string>{std::string("ERROR: ") + c.box}
                           : std::vector<std::string>{})
        << c.name;
    EXPECT_EQ(FirmwareVersionOf(f.paths.TempDir + kFirmwareImageFile), c.extracted ? "2.6" : "0")
        << c.name;
    EXPECT_EQ(f.TempFilesGone(), !c.extracted) << c.name;
    RemoveFirmwareFiles(f.rig.system);
    EXPECT_TRUE(f.TempFilesGone()) << c.name;
  }
}

TEST(FirmwareRun, TheSiteListDecidesWhereTheUpdateRuns) {
  FirmwareRig f(3);
  f.WriteArchive(Image(kV26), ArchivePassword::Firmware);
  for (int site = 0; site < 3; ++site) f.SetUnitVersion(site, kV26);
  f.rig.system.CmdData(1).BiosVersion = "old";
  f.rig.system.CmdData(2).BiosVersion = "owned by the busy worker";
  BusyWorker busy(f.rig, 2);
  ASSERT_TRUE(busy.Started());
  FirmwareSiteList list{};
  list[0] = {true, true};   // a unit: updated
  list[1] = {true, false};  // a unit, not checked: stays, enabled
  list[2] = {true, true};   // busy: skipped, stays checked
  list[3] = {true, true};   // no unit: unchecked and disabled
  list[4] = {false, true};  // disabled: unchecked
  FirmwareRunOutcome outcome = RunFirmwareUpdate(f.rig.system, list);
  EXPECT_EQ(outcome.Started, std::vector<int>{0});
  const FirmwareSiteChoice expected[] = {{true, true},   {true, false},  {true, true},
                                         {false, false}, {false, false}, {false, false}};
  for (int site = 0; site < 6; ++site) {
    EXPECT_EQ(list[SiteSlot(site)].Enabled, expected[site].Enabled) << site;
    EXPECT_EQ(list[SiteSlot(site)].Checked, expected[site].Checked) << site;
  }
  EXPECT_FALSE(f.Sent(1, sim::Code::BiosVersionGet));
  EXPECT_TRUE(f.TempFilesGone());

  // Nothing chosen: no worker, and the files are still deleted.
  busy.Release();
  WaitForStartedSitesOrFail(f.rig.system, {2});
  EXPECT_EQ(f.rig.system.CmdData(1).BiosVersion, "");
  EXPECT_EQ(f.rig.system.CmdData(2).BiosVersion, "owned by the busy worker");
  FirmwareSiteList none{};
  outcome = RunFirmwareUpdate(f.rig.system, none);
  EXPECT_TRUE(outcome.Extracted);
  EXPECT_TRUE(outcome.Started.empty());
  EXPECT_TRUE(none[0].Enabled && !none[0].Checked);
  EXPECT_TRUE(f.TempFilesGone());
}

}  // namespace
