// The options window's command pages and debug page on four simulated units. The operations
// are replaced by recorders; the first one of each command looks at the window from the UI
// thread (a queued call, run by the command's wait), so a test sees the window mid-command.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "app/main_form.h"
#include "app/message_box.h"
#include "app/options_form.h"
#include "app/options_form_widgets.h"
#include "project/project_value.h"
#include "sim/sim_factory.h"
#include "site/firmware_files.h"
#include "site/firmware_image.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "support/archiver.h"
#include "support/resource_pack.h"
#include "support/system_paths.h"

namespace fs = std::filesystem;

namespace {
constexpr int kUnits = 4;
constexpr double kTranslucent = 100.0 / 255.0;

// What the first operation of a command saw of the window.
struct Look {
  double opacity = 1.0;
  bool marquee = false, pageList = true, list = true, button = true, close = true;
};

class OptionsCommandsTest : public ::testing::Test {
 protected:
  OptionsCommandsTest() : rig(MakeRig()), system(*rig.bus) {
    base = fs::temp_directory_path() / ("zv_optcmd_" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "System");
    fs::create_directories(base / "Temp");
    fs::copy_file(ZV_PLUS_MODULE, base / kPlusModulePath);
    SystemPaths paths;
    paths.BaseDir = base.string() + "/";
    paths.TempDir = (base / "Temp").string() + "/";
    system.SetPaths(paths);
    main = std::make_unique<TMainForm>(system);
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call);
      return answer;
    });
    for (Opcode op : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 23, 24, 29, 30, 32, 33, 34})
      Record(op);
    RecordKeyRun();
    RescanUnits(system);
    BuildForm();
    system.Panels().SetChecked(1, false);  // ticked in the lists, unselected in the main window
    form->FormActivate();
  }
  void BuildForm() {
    OptionsFormConfig config;
    config.debugMode = true;
    form = std::make_unique<TOptionsForm>(system, *main, std::move(config));
    form->FormCreate();
  }
  // The database's firmware archive with an image of version 2.6.
  void WriteFirmwareArchive() {
    std::vector<std::uint8_t> image(kFirmwareImageSize, 0xFF);
    WriteFirmwareTrailer(image, {2, '.', 6, 0}, 0x100);
    fs::create_directories(base / "stage" / "BIOS");
    fs::create_directories(base / "DataBase" / "Update");
    std::ofstream(base / "stage" / "BIOS" / "BIOS.BIN", std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    std::ofstream(base / "stage" / "BIOS" / "BIOSInfo.ini") << "[BIOSInfo]\n";
    ASSERT_TRUE(system.Archive()
                    .Create((base / kFirmwareArchive).string(),
                            {(base / "stage" / "BIOS").string()}, ArchivePassword::Firmware)
                    .Ok());
  }
  ~OptionsCommandsTest() override {
    system.Controls().KeyRunStopEnabled = false;
    system.Shutdown();
    SetMessageBoxAnswerer(nullptr);
    form.reset();
    main.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
  }
  static sim::SimRig MakeRig() {
    sim::RigOptions options;
    options.units = kUnits;
    return sim::makeSimRig(options);
  }

  void Record(Opcode opcode) {
    system.Opcodes().Register(opcode, [this, opcode](SiteSystem& s, int site,
                                                     const OperationTexts&) {
      LookOnce();
      S_GetUSBCmdData& data = s.CmdData(site);
      if (opcode == Opcodes::BiosNumberGet) data.BiosNumber = 2;
      if (opcode == Opcodes::BiosVersionGet) data.BiosVersion = "1.2A";
      if (opcode == Opcodes::SerialNumberRead) data.SerialText = "SN" + std::to_string(site);
      if (opcode == Opcodes::SelfTest) {
        data.SelfTestText = "Self test of " + std::to_string(site);
        imageThere = fs::exists(base / "Temp" / "SelfTest.pga");
      }
      if (opcode == Opcodes::SdFreeSpace) data.SdFreeKBytes = 1000u + unsigned(site);
      if (opcode == Opcodes::FirmwareUpdate)
        imageThere = fs::exists(base / "Temp" / kFirmwareImageFile);
      std::lock_guard<std::mutex> lock(mutex);
      ran[site].push_back(opcode);
      if (opcode == Opcodes::DriverSettings && uncheckAfter > 0 && ++passes[site] == uncheckAfter)
        s.Panels().SetChecked(site, false);
      return SiteResultCode::Pass;
    });
  }
  // The key run: holds its site until "Stop" is disabled.
  void RecordKeyRun() {
    system.Opcodes().Register(Opcodes::KeyRun,
                              [this](SiteSystem& s, int site, const OperationTexts&) {
                                s.Panels().SetStatus(site, siPushKey);
                                while (s.Controls().KeyRunStopEnabled.load())
                                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                std::lock_guard<std::mutex> lock(mutex);
                                ran[site].push_back(Opcodes::KeyRun);
                                return SiteResultCode::Pass;
                              });
  }
  void LookOnce() {
    if (lookRequested.exchange(true)) return;
    QMetaObject::invokeMethod(
        form.get(), [this] { TakeLook(); }, Qt::QueuedConnection);
    while (!looked.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void TakeLook() {
    look.opacity = form->windowOpacity();
    look.marquee = form->progressBar->maximum() == 0;
    look.pageList = form->pageList->isEnabled();
    look.list = lookList ? lookList->isEnabled() : true;
    look.button = lookButton ? lookButton->isEnabled() : true;
    look.close = form->CloseEnabled();
    looked = true;
  }
  void Click(const char* name) {
    lookRequested = false;
    looked = false;
    look = Look{};
    Find<QPushButton>(name)->click();
  }
  template <typename W>
  W* Find(const char* name) {
    W* widget = form->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  std::map<int, std::vector<Opcode>> Ran() {
    std::lock_guard<std::mutex> lock(mutex);
    return ran;
  }
  void ClearRan() {
    std::lock_guard<std::mutex> lock(mutex);
    ran.clear();
  }
  QString LabelText(const char* name) { return Find<QLabel>(name)->text(); }

  fs::path base;
  sim::SimRig rig;
  SiteSystem system;
  std::unique_ptr<TMainForm> main;
  std::unique_ptr<TOptionsForm> form;
  std::vector<MessageBoxCall> asked;
  int answer = IDOK;
  std::mutex mutex;
  std::map<int, std::vector<Opcode>> ran;
  std::map<int, int> passes;
  int uncheckAfter = 0;
  std::atomic<bool> lookRequested{false}, looked{false}, imageThere{false};
  Look look;
  QWidget* lookList = nullptr;
  QWidget* lookButton = nullptr;
};
}  // namespace

TEST_F(OptionsCommandsTest, CommandButtonsAreEnabledWhereTheyCanStartWork) {
  for (const char* name : {"Button2", "Button3", "Button5", "Button7", "Button8", "Button9",
                           "Button10", "Button11", "Button12", "Button13", "Button14", "Button15",
                           "Button16", "Button17", "Button18", "Button22"})
    EXPECT_TRUE(Find<QPushButton>(name)->isEnabled()) << name;
  // No firmware archive in this database; "Stop" only after "Start"; "Stop All" is never used.
  for (const char* name : {"Button6", "Button19", "Button4"})
    EXPECT_FALSE(Find<QPushButton>(name)->isEnabled()) << name;
  EXPECT_TRUE(form->CloseEnabled());
  ASSERT_EQ(asked.size(), 1u);  // the missing archive was reported at creation
  EXPECT_EQ(asked[0].text, kFirmwareArchiveMissing);
  EXPECT_EQ(asked[0].caption, "ERROR");
}

TEST_F(OptionsCommandsTest, BiosUpdateOffersTheDatabaseVersionAndAsksFirst) {
  WriteFirmwareArchive();
  BuildForm();
  form->FormActivate();
  EXPECT_EQ(LabelText("Label10"), "2.6");
  ASSERT_TRUE(Find<QPushButton>("Button6")->isEnabled());
  lookList = Find<TSiteCheckList>("CheckListBox3");
  lookButton = Find<QPushButton>("Button6");
  for (int reply : {IDCANCEL, IDOK}) {
    asked.clear();
    ClearRan();
    answer = reply;
    Click("Button6");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, FirmwareQuestionText("2.6"));
    EXPECT_EQ(asked[0].caption, "QUESTION");
    EXPECT_EQ(asked[0].flags, unsigned{MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2});
    EXPECT_EQ(Ran().size(), reply == IDOK ? std::size_t{kUnits} : 0u);
  }
  for (const auto& [site, queue] : Ran()) EXPECT_EQ(queue, std::vector<Opcode>{8}) << site;
  EXPECT_TRUE(imageThere.load());
  EXPECT_FALSE(fs::exists(base / "Temp" / kFirmwareImageFile));  // removed after the run
  EXPECT_DOUBLE_EQ(look.opacity, kTranslucent);
  EXPECT_TRUE(look.marquee);
  EXPECT_FALSE(look.pageList || look.list || look.button || look.close);
  EXPECT_TRUE(lookButton->isEnabled() && form->CloseEnabled());
}

TEST_F(OptionsCommandsTest, PageCommandsRunTheirQueueOnTheTickedSites) {
  struct Case {
    const char* button;
    const char* list;
    std::vector<Opcode> queue;
    bool translucent;
    const char* warning;  // the caption of the confirmation asked first, or none
  };
  const Case cases[] = {
      {"Button5", "CheckListBox1", {0}, true, nullptr},
      {"Button2", "CheckListBox1", {6}, true, "WARNING"},
      {"Button3", "CheckListBox2", {3, 4, 5}, true, nullptr},
      {"Button13", "CheckListBox4", {14}, false, nullptr},
      {"Button12", "CheckListBox4", {15}, false, nullptr},
      {"Button14", "CheckListBox4", {16}, false, nullptr},
      {"Button15", "CheckListBox4", {23}, false, nullptr},
      {"Button16", "CheckListBox4", {24}, false, "WARNING"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    form->FormActivate();
    auto* list = Find<TSiteCheckList>(c.list);
    list->item(2)->setCheckState(Qt::Unchecked);  // the user leaves site 3 out
    ClearRan();
    asked.clear();
    lookList = list;
    lookButton = Find<QPushButton>(c.button);
    Click(c.button);
    EXPECT_EQ(asked.size(), c.warning ? 1u : 0u);
    // Site 2 is not selected in the main window; the command waits for it all the same.
    EXPECT_EQ(Ran(),
              (std::map<int, std::vector<Opcode>>{{0, c.queue}, {1, c.queue}, {3, c.queue}}));
    EXPECT_DOUBLE_EQ(look.opacity, c.translucent ? kTranslucent : 1.0);
    EXPECT_TRUE(look.marquee);
    EXPECT_FALSE(look.pageList || look.list || look.button || look.close);
    EXPECT_DOUBLE_EQ(form->windowOpacity(), 1.0);
    EXPECT_EQ(form->progressBar->maximum(), 100);
    EXPECT_TRUE(form->pageList->isEnabled() && list->isEnabled() && lookButton->isEnabled() &&
                form->CloseEnabled());
    EXPECT_EQ(list->Items()[2], (SiteListItem{true, false}));
  }
  EXPECT_TRUE(imageThere.load());
  EXPECT_FALSE(fs::exists(base / "Temp" / "SelfTest.pga"));  // released after the self test
}

TEST_F(OptionsCommandsTest, ListsFollowThePanelsAfterAUnitIsPulled) {
  auto* list = Find<TSiteCheckList>("CheckListBox2");
  const SiteList present = list->Items();
  for (int site = 0; site < kSiteCount; ++site)
    EXPECT_EQ(present[site], (SiteListItem{site < kUnits, site < kUnits})) << site;
  system.Panels().SetStatus(3, siNone);       // its unit went since the activation
  list->item(5)->setCheckState(Qt::Checked);  // no unit there: unticked again
  Click("Button3");
  EXPECT_EQ(Ran().size(), 3u);
  EXPECT_EQ(Ran().count(3), 0u);
  EXPECT_EQ(list->Items()[3], (SiteListItem{false, false}));
  EXPECT_EQ(list->Items()[5], (SiteListItem{false, false}));
  for (const char* name : {"CheckListBox1", "CheckListBox3", "CheckListBox4"})
    EXPECT_EQ(Find<TSiteCheckList>(name)->Items()[3], (SiteListItem{true, true})) << name;
  form->FormActivate();
  for (const char* name : {"CheckListBox1", "CheckListBox2", "CheckListBox3", "CheckListBox4"})
    EXPECT_EQ(Find<TSiteCheckList>(name)->Items()[3], (SiteListItem{false, false})) << name;
}

TEST_F(OptionsCommandsTest, DisplaysShowWhatTheSelectedUnitReported) {
  Click("Button3");
  Click("Button14");
  answer = IDOK;
  Click("Button2");
  auto* info = Find<TSiteCheckList>("CheckListBox2");
  EXPECT_EQ(info->currentRow(), 0);  // item 0 when none was selected
  info->setCurrentRow(1);
  EXPECT_EQ(LabelText("Label6"), "2");
  EXPECT_EQ(LabelText("Label7"), "1.2A");
  EXPECT_EQ(LabelText("Label8"), "SN1");
  EXPECT_EQ(LabelText("Label15"), QString::number(system.Link(1).GetOrderKey()));
  info->setCurrentRow(6);  // no unit: nothing shown
  for (const char* name : {"Label6", "Label7", "Label8", "Label15"})
    EXPECT_TRUE(LabelText(name).isEmpty()) << name;
  Find<TSiteCheckList>("CheckListBox4")->setCurrentRow(2);
  EXPECT_EQ(LabelText("Label13"), "1002 KBytes");
  Find<TSiteCheckList>("CheckListBox4")->setCurrentRow(7);
  EXPECT_TRUE(LabelText("Label13").isEmpty());
  Find<TSiteCheckList>("CheckListBox1")->setCurrentRow(3);
  EXPECT_EQ(Find<QTextEdit>("RichEdit1")->toPlainText(), "Self test of 3");
  form->FormActivate();  // every report cleared
  Find<TSiteCheckList>("CheckListBox1")->setCurrentRow(2);
  EXPECT_TRUE(Find<QTextEdit>("RichEdit1")->toPlainText().isEmpty());
}

TEST_F(OptionsCommandsTest, WarningsAnsweredCancelRunNothing) {
  struct Case {
    const char* button;
    const char* text;
    unsigned flags;
    std::vector<Opcode> queue;
    bool translucent;
  };
  const unsigned defCancel = MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2;
  const Case cases[] = {
      {"Button2",
       "The Self Test Will Start...\nPlease make sure that the socket is EMPTY!\nDo You Want to "
       "Continue?",
       defCancel,
       {6},
       true},
      {"Button16",
       "This will clear all data on the SDCard\nDo You Want To Continue?",
       defCancel,
       {24},
       false},
      // The burn-in takes every site with a unit, selected in the main window or not.
      {"Button22",
       "Please do not insert the IC into the ZIF socket!",
       MB_OKCANCEL | MB_ICONWARNING,
       {10, 33, 34},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    for (int reply : {IDCANCEL, IDOK}) {
      form->FormActivate();
      ClearRan();
      asked.clear();
      answer = reply;
      lookList = lookButton = nullptr;
      Click(c.button);
      ASSERT_EQ(asked.size(), 1u);
      EXPECT_EQ(asked[0].text, c.text);
      EXPECT_EQ(asked[0].caption, "WARNING");
      EXPECT_EQ(asked[0].flags, c.flags);
      const auto sites = Ran();
      EXPECT_EQ(sites.size(), reply == IDOK ? std::size_t{kUnits} : 0u);
      for (const auto& [site, queue] : sites) EXPECT_EQ(queue, c.queue) << site;
      if (reply == IDOK) {
        EXPECT_DOUBLE_EQ(look.opacity, c.translucent ? kTranslucent : 1.0);
      }
      EXPECT_DOUBLE_EQ(form->windowOpacity(), 1.0);
    }
  }
}

TEST_F(OptionsCommandsTest, LoopButtonsRepeatTheirAction) {
  system.Project().Records().ProjectValue[0].Step[StepFlag::Erase] = 1;  // a run has a step
  main->AutoRunCheckBox->setChecked(false);                              // one run per pass
  const std::vector<int> selected{0, 2, 3}, ticked{0, 1, 2, 3};
  struct Case {
    const char* button;
    const char* count;
    std::vector<Opcode> pass;
    std::vector<int> sites;  // the self test takes its page's list, the others the selection
    int passes;
    const char* shown;  // Label11 afterwards
  };
  const Case cases[] = {
      {"Button10", "3", {9, 10, 11}, selected, 3, "3"},
      {"Button9", "2", {6}, ticked, 2, "2"},
      {"Button8", "2", {32, 30, 9, 10, 11, 12}, selected, 2, "0"},  // Run Program shows no count
      {"Button10", "0", {}, selected, 0, "0"},
      {"Button10", "abc", {}, selected, 0, "0"},  // refused with an error
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " " + c.count);
    Find<QLabel>("Label11")->setText("0");
    Find<QLineEdit>("Edit2")->setText(QString::fromLatin1(c.count));
    ClearRan();
    asked.clear();
    Click(c.button);
    std::map<int, std::vector<Opcode>> expected;
    for (int i = 0; i < c.passes; ++i) {
      for (int site : c.sites)
        expected[site].insert(expected[site].end(), c.pass.begin(), c.pass.end());
    }
    EXPECT_EQ(Ran(), expected);
    EXPECT_EQ(LabelText("Label11"), c.shown);
    const bool refused = std::string(c.count) == "abc";
    const bool warned = std::string(c.button) == "Button9";  // each self test asks first
    EXPECT_EQ(asked.size(), std::size_t(warned ? c.passes : refused));
    if (refused) {
      EXPECT_EQ(asked[0].text, "'abc' is not a valid integer value");
    }
  }
}

TEST_F(OptionsCommandsTest, EndlessLoopEndsWhenNoSiteIsSelected) {
  uncheckAfter = 5;  // each selected site unselects itself in its fifth pass
  Find<QLineEdit>("Edit2")->setText("-1");
  Click("Button10");
  EXPECT_EQ(LabelText("Label11"), "5");
  for (int site : {0, 2, 3}) EXPECT_EQ(Ran()[site].size(), 15u) << site;
}

TEST_F(OptionsCommandsTest, KeyRunHoldsItsSitesUntilStop) {
  Click("Button18");
  auto* start = Find<QPushButton>("Button18");
  auto* stop = Find<QPushButton>("Button19");
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(stop->isEnabled());
  EXPECT_TRUE(system.Controls().KeyRunStopEnabled.load());
  EXPECT_TRUE(form->CloseEnabled());
  for (int site : {0, 2, 3}) EXPECT_EQ(system.Panels().Status(site), siPushKey) << site;
  // Other commands meanwhile leave the held sites alone instead of waiting for them.
  ClearRan();
  Click("Button7");
  Click("Button3");
  EXPECT_EQ(Ran(), (std::map<int, std::vector<Opcode>>{{1, {3, 4, 5}}}));
  Click("Button19");
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_FALSE(system.Controls().KeyRunStopEnabled.load());
  for (int site : {0, 2, 3}) {
    EXPECT_EQ(system.Panels().Status(site), siPass) << site;
    EXPECT_EQ(Ran()[site], std::vector<Opcode>{Opcodes::KeyRun}) << site;
  }
}
