// The whole program started on its own base folder: the start-up sequence, the first scan on a
// simulated bus, units pulled and plugged at run time, the real bus without units, and the exit
// clean-up.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/device_notice.h"
#include "app/message_box.h"
#include "app/options_form.h"
#include "app/site_frame.h"
#include "app/startup_program.h"
#include "link/link_table.h"
#include "log/view/log_view.h"
#include "sim/command_block.h"
#include "sim/sim_bus.h"
#include "sim/sim_factory.h"
#include "site/site_system.h"
#include "site/system_startup.h"
#include "tests/app/program_fixture.h"

namespace fs = std::filesystem;

namespace {
constexpr int kWaitMs = 20000;

bool WaitFor(const std::function<bool()>& done) {
  return PumpEventsUntil(done, kWaitMs);
}

class StartupProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("zv_program_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_ / "base" / "DataBase" / "Update");
    fs::create_directories(root_ / "tmp");
    std::ofstream(root_ / "base" / "DataBase" / "Update" / "Select.SEL") << "[Select]\r\n0\r\n";
    SetMessageBoxAnswerer([](const MessageBoxCall&) { return IDNO; });
  }
  void TearDown() override {
    program_.reset();
    SetMessageBoxAnswerer({});
    fs::remove_all(root_);
  }

  std::string Base() const { return (root_ / "base").string() + "/"; }

  void Start(std::optional<int> units) {
    ProgramOptions options;
    options.baseDir = (root_ / "base").string();
    options.bus.simulatedUnits = units;
    options.bus.timing = false;
    options.tempRoot = (root_ / "tmp").string();
    options.registry = RegistryStore((root_ / "registry.ini").string());
    options.bus.pollPeriodMs = 100;
    program_ = std::make_unique<GangProgram>(std::move(options));
    program_->Show();
    ASSERT_TRUE(WaitFor([this] { return program_->StartupDone(); }));
  }

  TSiteFrame& Frame(int site) { return *program_->Main().SiteFrame(site); }
  // The panel model of a site: what the frames draw.
  struct PanelView {
    SitePanels& panels;
    int site;
    TSiteStatus Status() const { return panels.Status(site); }
    bool Checked() const { return panels.Checked(site); }
  };
  PanelView Panel(int site) { return {program_->Sites().Panels(), site}; }
  std::string StateWord(int site) { return Frame(site).stateLabel->text().toStdString(); }
  // Every line logged so far, in order, without their time stamps. A marker line is queued
  // behind them on the same pipeline: once the view shows it, it has shown all of them.
  std::vector<std::string> LogLines() {
    const std::string marker = "test marker " + std::to_string(++markers_);
    program_->Main().LogPipeline().Write(marker, LogColour::Black, LogLevel::Essential);
    TLogView& view = program_->Main().LogView();
    std::vector<std::string> lines;
    const bool shown = WaitFor([&] {
      view.FlushPending();
      lines.clear();
      for (const std::string& line : view.Lines()) {
        if (EndsWith(line, marker)) return true;
        if (line.find("test marker ") == std::string::npos) lines.push_back(Unstamped(line));
      }
      return false;
    });
    EXPECT_TRUE(shown) << "the marker line never showed";
    return lines;
  }
  static bool EndsWith(const std::string& line, const std::string& text) {
    return line.size() >= text.size() &&
           line.compare(line.size() - text.size(), text.size(), text) == 0;
  }
  // The text after the view's time stamp "[yyyy / mm / dd - hh:nn:ss] ".
  static std::string Unstamped(const std::string& line) {
    const std::size_t text = line.find("] ");
    return text == std::string::npos ? line : line.substr(text + 2);
  }
  bool LogHas(const std::string& text) {
    for (const std::string& line : LogLines()) {
      if (EndsWith(line, text)) return true;
    }
    return false;
  }
  // The site index the rig's unit k is bound to after the ordering.
  int SiteOfUnit(int k) { return sim::rigOrderRank(k, 8); }

  fs::path root_;
  std::unique_ptr<GangProgram> program_;
  int markers_ = 0;
};
}  // namespace

TEST_F(StartupProgramTest, EightSimulatedUnitsAreGreetedIdentifiedAndOrdered) {
  Start(8);
  ASSERT_TRUE(program_->StartupSucceeded());
  EXPECT_TRUE(program_->Main().projectToolButton->isEnabled());
  EXPECT_TRUE(program_->Main().isEnabled());
  std::uint64_t previousKey = 0;
  for (int site = 0; site < kSiteCount; ++site) {
    EXPECT_EQ(Panel(site).Status(), siReady) << site;
    EXPECT_EQ(StateWord(site), "READY") << site;
    EXPECT_TRUE(Panel(site).Checked()) << site;
    const std::uint64_t key = program_->Sites().Link(site).GetOrderKey();
    EXPECT_NE(key, ZvUsb::kUnknownKey) << site;
    EXPECT_GT(key, previousKey) << site;  // ascending identifiers from site 1 on
    previousKey = key;
  }
  for (const auto& unit : program_->Bus().units) {
    const sim::UnitRecord record = unit->record();
    EXPECT_EQ(record.commandsWithCode(sim::Code::ConnectNotice).size(), 1u) << unit->name();
    EXPECT_FALSE(record.commandsWithCode(sim::Code::EepromRead).empty()) << unit->name();
  }
  EXPECT_EQ(program_->Notices().Source(), DeviceNotices::Kind::Simulated);
}

TEST_F(StartupProgramTest, PulledUnitTurnsAPanelToNoneAndPluggingItBackBindsItAgain) {
  Start(8);
  ASSERT_TRUE(program_->StartupSucceeded());
  sim::SimBus& bus = *program_->Bus().simulated;
  const auto unit = program_->Bus().units[2];
  const int site = SiteOfUnit(2);
  ASSERT_NE(site, kSiteCount - 1) << "pick a unit that does not sort last";
  const std::uint64_t key = program_->Sites().Link(site).GetOrderKey();

  // The link that lost its unit forgets its key and sorts last: the last panel shows the gap.
  ASSERT_TRUE(bus.pull(*unit));
  ASSERT_TRUE(WaitFor([&] { return Panel(kSiteCount - 1).Status() == siNone; }));
  EXPECT_EQ(StateWord(kSiteCount - 1), "NONE");
  EXPECT_FALSE(Panel(kSiteCount - 1).Checked());
  EXPECT_FALSE(program_->Sites().Link(kSiteCount - 1).IsOpened());
  for (int other = 0; other < kSiteCount - 1; ++other) {
    EXPECT_EQ(Panel(other).Status(), siReady) << other;
    EXPECT_NE(program_->Sites().Link(other).GetOrderKey(), key) << other;
  }

  // Plugged back: greeted and identified on the free site, then ordered back into its place.
  ASSERT_TRUE(bus.plug(unit));
  ASSERT_TRUE(WaitFor([&] { return Panel(kSiteCount - 1).Status() == siReady; }));
  ASSERT_TRUE(WaitFor([&] { return program_->Sites().Link(site).GetOrderKey() == key; }));
  EXPECT_EQ(unit->record().commandsWithCode(sim::Code::ConnectNotice).size(), 2u);
  for (int s = 0; s < kSiteCount; ++s) {
    EXPECT_EQ(Panel(s).Status(), siReady) << s;
    EXPECT_TRUE(Panel(s).Checked()) << s;
    if (s > 0) {
      EXPECT_LT(program_->Sites().Link(s - 1).GetOrderKey(),
                program_->Sites().Link(s).GetOrderKey());
    }
  }
}

TEST_F(StartupProgramTest, EmptySimulatedBusLeavesEverySiteNone) {
  Start(0);
  ASSERT_TRUE(program_->StartupSucceeded());
  for (int site = 0; site < kSiteCount; ++site) {
    EXPECT_EQ(Panel(site).Status(), siNone) << site;
    EXPECT_EQ(StateWord(site), "NONE") << site;
  }
  EXPECT_EQ(program_->Sites().Engine().StartedCount(), 0u);  // no worker for an empty bus
}

TEST_F(StartupProgramTest, RealBusWithoutUnitsStartsCleanly) {
  Start(std::nullopt);
  ASSERT_TRUE(program_->StartupSucceeded());
  for (int site = 0; site < kSiteCount; ++site) EXPECT_EQ(StateWord(site), "NONE") << site;
  EXPECT_NE(program_->Notices().Source(), DeviceNotices::Kind::None);
  EXPECT_NE(program_->Notices().Source(), DeviceNotices::Kind::Simulated);
}

TEST_F(StartupProgramTest, MissingDataBaseIsNamedBeforeTheFailure) {
  fs::remove_all(root_ / "base" / "DataBase");
  Start(8);
  EXPECT_FALSE(program_->StartupSucceeded());
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Folder Does Not Exist: " + Base() + "DataBase",
                                                  "System Initialization Fail!"}));
  for (const char* name :
       {"Temp", "System", "History", "History/MLOG", "History/Reload", "History/Recovery"}) {
    EXPECT_TRUE(fs::is_directory(root_ / "base" / name)) << name;
  }
  EXPECT_FALSE(program_->Main().projectToolButton->isEnabled());
  EXPECT_TRUE(program_->Main().isEnabled());
  // No unit was looked for.
  for (int site = 0; site < kSiteCount; ++site) EXPECT_EQ(Panel(site).Status(), siNone);
  EXPECT_TRUE(program_->Bus().units[0]->record().commands.empty());
}

TEST_F(StartupProgramTest, MissingSelectListIsNamedThenFailsWithItsOwnLine) {
  fs::remove(root_ / "base" / "DataBase" / "Update" / "Select.SEL");
  Start(0);
  EXPECT_FALSE(program_->StartupSucceeded());
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "File Does Not Exist: " + Base() + "DataBase/Update/Select.SEL",
                            "Open Select.SEL Fail!", "System Initialization Fail!"}));
}

TEST_F(StartupProgramTest, ExeDirPathNamingAMissingFolderKeepsTheBase) {
  fs::create_directories(root_ / "base" / "System");
  std::ofstream(root_ / "base" / "System" / "System.ini")
      << "[System]\r\nExeDirPath=" << (root_ / "gone").string() << "/\r\nLogDisplayMode=2\r\n";
  Start(0);
  ASSERT_TRUE(program_->StartupSucceeded());
  EXPECT_EQ(program_->Paths().BaseDir, Base());
  EXPECT_EQ(program_->Para().ExeDirPath, Base());
  EXPECT_TRUE(LogHas("System Initialization Finish"));  // shown in display mode "All"
}

TEST_F(StartupProgramTest, PrivateTempDirAndModesFromTheRegistryStore) {
  std::ofstream(root_ / "registry.ini") << "[.DEFAULT\\Zanvo\\HxMode]\r\nPassword=KR-730\r\n"
                                        << "[.DEFAULT\\Zanvo\\DebugMode]\r\nPassword=JX\r\n";
  Start(0);
  EXPECT_TRUE(program_->HandlerMode());
  EXPECT_EQ(program_->Para().DataBufferSel, 1);
  EXPECT_EQ(program_->Para().HandlerModeMarker, 2012);
  EXPECT_TRUE(program_->Main().RunProgramButton->isEnabled());  // SD card runs need no project
  EXPECT_EQ(program_->Options().PageNames().size(), 8);
  // The program's own build date, not this file's: the two may be compiled on different days.
  EXPECT_TRUE(program_->Main().windowTitle().endsWith(QString::fromStdString(BuildDateText())));
  const std::string temp = program_->Paths().TempDir;
  EXPECT_EQ(temp, (root_ / "tmp").string() + "/gangprog-" + std::to_string(::geteuid()) + "/");
  struct stat info {};
  ASSERT_EQ(::stat(temp.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(StartupProgramTest, CleanupSendsCloseNoticesAndRemovesTemporaryFiles) {
  Start(2);
  ASSERT_TRUE(program_->StartupSucceeded());
  const std::string temp = program_->Paths().TempDir;
  for (const char* name : {"BIOS.BIN", "GrpDef.def", "SelfTest.pga"}) {
    std::ofstream(temp + name) << "x";
  }
  program_->SystemCleanup();
  for (const auto& unit : program_->Bus().units) {
    EXPECT_EQ(unit->record().commandsWithCode(sim::Code::CloseNotice).size(), 1u) << unit->name();
  }
  for (const char* name : {"BIOS.BIN", "GrpDef.def", "SelfTest.pga"}) {
    EXPECT_FALSE(fs::exists(temp + name)) << name;
  }
  for (int site = 0; site < 2; ++site) EXPECT_FALSE(program_->Sites().Link(site).IsOpened());
}

TEST_F(StartupProgramTest, HandlerModeSendsNoCloseNotice) {
  std::ofstream(root_ / "registry.ini") << "[.DEFAULT\\Zanvo\\HxMode]\r\nPassword=KR-730\r\n";
  Start(1);
  ASSERT_TRUE(program_->StartupSucceeded());
  program_->SystemCleanup();
  EXPECT_TRUE(program_->Bus().units[0]->record().commandsWithCode(sim::Code::CloseNotice).empty());
}
