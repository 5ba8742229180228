// gangprog-cli firmware on simulated units (firmware 1.3 as they come) against the demo
// database's image (2.5) or an image of the units' own version.
#include <filesystem>
#include <string>
#include <vector>

#include "site/firmware_files.h"
#include "site/firmware_image.h"
#include "support/archiver.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

class CliFirmwareTest : public CliTest {
 protected:
  // Replaces the database's firmware archive by one holding an image of `version`.
  void UseDatabaseImage(const VersionBytes& version) {
    std::vector<std::uint8_t> image(kFirmwareImageSize, 0x3C);
    WriteFirmwareTrailer(image, version, 0x40000);
    const std::string bios = stage.Write("BIOS/BIOS.BIN", std::string(image.begin(), image.end()));
    stage.Write("BIOS/BIOSInfo.ini", "[BIOSInfo]\r\nBIOSSupportOldMultipleUIVer=1.0.0.0\r\n");
    ASSERT_TRUE(
        Archiver()
            .Create(Base() + kFirmwareArchive, {stage.Path() + "BIOS"}, ArchivePassword::Firmware)
            .Ok());
  }
  TempFolder stage;
};

TEST_F(CliFirmwareTest, CheckAndUpdateCompareEachUnitWithTheDatabase) {
  const VersionBytes unitsOwn{1, '.', 3, 0};
  const struct {
    const char* name;
    bool ownVersion;  // the database holds the units' version
    const char* mode;
    int status;
    std::vector<std::string> lines;
  } cases[] = {
      // in this order: the database image is replaced once
      {"older units",
       false,
       "--check",
       CliExit::PartFailed,
       {"Database firmware version: 2.5\n", "Site #1: 1.3 (update needed)\n",
        "Site #2: 1.3 (update needed)\n"}},
      {"update of older units",
       false,
       "--update",
       CliExit::AllPassed,
       {"Site #1: updated to 2.5\n", "Site #2: updated to 2.5\n"}},
      {"current units",
       true,
       "--check",
       CliExit::AllPassed,
       {"Database firmware version: 1.3\n", "Site #2: 1.3 (current)\n"}},
      {"update of current units", true, "--update", CliExit::AllPassed, {"Site #1: current 1.3\n"}},
  };
  for (const auto& c : cases) {
    if (c.ownVersion) UseDatabaseImage(unitsOwn);
    const CliResult result = Run({"--simulate", "2", "--base-dir", Base(), "firmware", c.mode});
    EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.err;
    for (const std::string& line : c.lines) EXPECT_TRUE(Has(result.out, line)) << c.name << line;
  }
}

TEST_F(CliFirmwareTest, NoUnitNoArchiveAndBadUsageHaveTheirOwnStatus) {
  EXPECT_EQ(Run({"--simulate", "0", "--base-dir", Base(), "firmware", "--update"}).status,
            CliExit::NoUnit);
  EXPECT_EQ(
      Run({"--simulate", "1", "--base-dir", Base(), "firmware", "--check", "--update"}).status,
      CliExit::BadInput);
  std::filesystem::remove(Base() + kFirmwareArchive);
  for (const char* mode : {"--check", "--update"}) {
    const CliResult result = Run({"--simulate", "1", "--base-dir", Base(), "firmware", mode});
    EXPECT_EQ(result.status, CliExit::BadInput) << mode;
    EXPECT_TRUE(Has(result.err, "ERROR: Some Files Are Missing In The DataBase!")) << mode;
  }
}

}  // namespace
