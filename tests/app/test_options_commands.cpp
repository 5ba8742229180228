// The options window's command pages and debug page on four simulated units. The operations
// are recorders; the first one of a command looks at the window from the UI thread (a queued
// call that only the command's wait can run) and holds its worker until it has.
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
#include "app/window_wiring.h"
#include "project/project_value.h"
#include "sim/sim_factory.h"
#include "site/firmware_files.h"
#include "site/firmware_image.h"
#include "site/rescan.h"
#include "site/site_context.h"
#include "site/site_system.h"
#include "support/archiver.h"
#include "support/resource_pack.h"
#include "support/system_paths.h"
#include "tests/support/hang_guard.h"
#include "tests/support/site_config.h"

namespace fs = std::filesystem;

namespace {
constexpr int kUnits = 4;
constexpr double kTranslucent = 100.0 / 255.0;
using Runs = std::map<int, std::vector<Opcode>>;

struct Look {  // the window mid-command
  double opacity = 1.0;
  bool marquee = false, controls = true, close = true;
};

class OptionsCommandsTest : public ::testing::Test {
 protected:
  OptionsCommandsTest() : rig(MakeRig()), system(*rig.bus, StandardSiteConfig()) {
    base = fs::temp_directory_path() / ("zv_optcmd_" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "System");
    fs::create_directories(base / "Temp");
    fs::copy_file(ZV_PLUS_MODULE, base / kPlusModulePath);
    system.SetPaths({base.string() + "/", (base / "Temp").string() + "/", "", ""});
    main = std::make_unique<TMainForm>(system);
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call);
      return answer;
    });
    for (Opcode op : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 23, 24, 29, 30, 32, 33, 34})
      Record(op);
    system.Opcodes().Register(Opcodes::KeyRun, [this](SiteContext& ctx, const OperationTexts&) {
      const int site = ctx.Site();
      ctx.Panels().SetStatus(site, siPushKey);  // waits for its key until "Stop"
      if (!WaitUntil([&ctx] { return !ctx.Controls().KeyRunStopEnabled.load(); })) {
        ADD_FAILURE() << "\"Stop\" never ended the key run";
      }
      return Ran(site, Opcodes::KeyRun);
    });
    RescanUnits(system);
    BuildForm();
    system.Panels().SetChecked(1, false);  // ticked in the lists, unselected in the main window
    form->FormActivate();
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
  void BuildForm() {
    form = std::make_unique<TOptionsForm>(system, true);
    ConnectOptionsWindow(*main, *form);  // the "Debug" loop presses the main window's button
    form->FormCreate();
  }
  void Record(Opcode opcode) {
    system.Opcodes().Register(opcode, [this, opcode](SiteContext& ctx, const OperationTexts&) {
      const int site = ctx.Site();
      LookOnce();
      S_GetUSBCmdData& report = ctx.UnitReport();
      if (opcode == Opcodes::BiosNumberGet) report.BiosNumber = 2;
      if (opcode == Opcodes::BiosVersionGet) report.BiosVersion = "1.2A";
      if (opcode == Opcodes::SerialNumberRead) report.SerialText = "SN" + std::to_string(site);
      if (opcode == Opcodes::SelfTest) report.SelfTestText = "Self test of " + std::to_string(site);
      if (opcode == Opcodes::SdFreeSpace) report.SdFreeKBytes = 1000u + unsigned(site);
      const char* file = opcode == Opcodes::SelfTest         ? "SelfTest.pga"
                         : opcode == Opcodes::FirmwareUpdate ? kFirmwareImageFile
                                                             : nullptr;
      if (file && !fs::exists(base / "Temp" / file)) fileMissing = true;
      return Ran(site, opcode);
    });
  }
  SiteResult Ran(int site, Opcode opcode) {
    std::lock_guard<std::mutex> lock(mutex);
    ran[site].push_back(opcode);
    // An endless loop's sites unselect themselves in their n-th pass.
    if (opcode == Opcodes::DriverSettings && ++passes[site] == uncheckAfter)
      system.Panels().SetChecked(site, false);
    return SiteResultCode::Pass;
  }
  void LookOnce() {
    if (lookRequested.exchange(true)) return;
    QMetaObject::invokeMethod(
        form.get(),
        [this] {
          form->FormActivate();  // activated again mid-command: no effect until it ends
          look = {form->windowOpacity(), form->progressBar->maximum() == 0,
                  form->pageList->isEnabled() || (lookList && lookList->isEnabled()) ||
                      (lookButton && lookButton->isEnabled()),
                  form->CloseEnabled()};
          looked = true;
        },
        Qt::QueuedConnection);
    if (!WaitUntil([this] { return looked.load(); })) {
      ADD_FAILURE() << "the UI thread never looked at the window";
    }
  }
  void Click(const char* name, int reply = IDOK) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ran.clear();
      passes.clear();
    }
    asked.clear();
    answer = reply;
    lookRequested = looked = false;
    look = Look{};
    Find<QPushButton>(name)->click();
  }
  Runs Ran() {
    std::lock_guard<std::mutex> lock(mutex);
    return ran;
  }
  template <typename W>
  W* Find(const char* name) {
    W* widget = form->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString LabelText(const char* name) { return Find<QLabel>(name)->text(); }
  // The database's firmware archive with an image of version 2.6.
  void WriteFirmwareArchive() {
    std::vector<std::uint8_t> image(kFirmwareImageSize, 0xFF);
    WriteFirmwareTrailer(image, {2, '.', 6, 0}, 0x100);
    const fs::path stage = base / "stage" / "BIOS";
    fs::create_directories(stage);
    fs::create_directories(base / "DataBase" / "Update");
    std::ofstream(stage / kFirmwareImageFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    std::ofstream(stage / kFirmwareInfoFile) << "[BIOSInfo]\n";
    ASSERT_TRUE(
        system.Archive()
            .Create((base / kFirmwareArchive).string(), {stage.string()}, ArchivePassword::Firmware)
            .Ok());
  }

  fs::path base;
  sim::SimRig rig;
  SiteSystem system;
  std::unique_ptr<TMainForm> main;
  std::unique_ptr<TOptionsForm> form;
  std::vector<MessageBoxCall> asked;
  int answer = IDOK;
  std::mutex mutex;
  Runs ran;
  std::map<int, int> passes;
  int uncheckAfter = 0;
  std::atomic<bool> lookRequested{false}, looked{false}, fileMissing{false};
  Look look;
  QWidget* lookList = nullptr;
  QWidget* lookButton = nullptr;
};

Runs OnSites(std::initializer_list<int> sites, const std::vector<Opcode>& queue, int passes = 1) {
  Runs runs;
  for (int site : sites) {
    for (int i = 0; i < passes; ++i)
      runs[site].insert(runs[site].end(), queue.begin(), queue.end());
  }
  return runs;
}
}  // namespace

TEST_F(OptionsCommandsTest, BiosUpdateIsOfferedOnlyWithAFirmwareImageAndAsksFirst) {
  for (const char* name : {"Button6", "Button19", "Button4"})  // "Stop" only after "Start"
    EXPECT_FALSE(Find<QPushButton>(name)->isEnabled()) << name;
  ASSERT_EQ(asked.size(), 1u);  // creation reported the missing archive
  EXPECT_EQ(asked[0].text, kFirmwareArchiveMissing);
  WriteFirmwareArchive();
  BuildForm();
  form->FormActivate();
  EXPECT_EQ(LabelText("Label10"), "2.6");
  lookList = Find<TSiteCheckList>("CheckListBox3");
  lookButton = Find<QPushButton>("Button6");
  for (int reply : {IDCANCEL, IDOK}) {
    Click("Button6", reply);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, FirmwareQuestionText("2.6"));
    EXPECT_EQ(asked[0].caption, "QUESTION");
    EXPECT_EQ(asked[0].flags, unsigned{MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2});
    EXPECT_EQ(Ran(), reply == IDOK ? OnSites({0, 1, 2, 3}, {8}) : Runs{});
  }
  EXPECT_FALSE(fileMissing.load());
  EXPECT_FALSE(fs::exists(base / "Temp" / kFirmwareImageFile));  // removed after the run
  EXPECT_TRUE(look.marquee && !look.controls && !look.close);
  EXPECT_DOUBLE_EQ(look.opacity, kTranslucent);
  EXPECT_TRUE(lookButton->isEnabled() && form->CloseEnabled());
}

TEST_F(OptionsCommandsTest, CommandsRunTheirQueueOnTheirSites) {
  const std::string selfTest =
      "The Self Test Will Start...\nPlease make sure that the socket is EMPTY!\nDo You Want to "
      "Continue?";
  const std::string format = "This will clear all data on the SDCard\nDo You Want To Continue?";
  const unsigned warning = MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2;
  struct Case {
    const char* button;
    const char* list;  // the page's list; site 3 is unticked there
    Runs runs;
    bool translucent, marquee;
    std::string asked;  // the WARNING asked first
    unsigned flags;
    int reply;
  };
  const Case cases[] = {
      {"Button5", "CheckListBox1", OnSites({0, 1, 3}, {0}), true, true, "", 0, IDOK},
      {"Button2", "CheckListBox1", OnSites({0, 1, 3}, {6}), true, true, selfTest, warning, IDOK},
      {"Button2", "CheckListBox1", {}, false, false, selfTest, warning, IDCANCEL},
      {"Button3", "CheckListBox2", OnSites({0, 1, 3}, {3, 4, 5}), true, true, "", 0, IDOK},
      {"Button13", "CheckListBox4", OnSites({0, 1, 3}, {14}), false, true, "", 0, IDOK},
      {"Button12", "CheckListBox4", OnSites({0, 1, 3}, {15}), false, true, "", 0, IDOK},
      {"Button14", "CheckListBox4", OnSites({0, 1, 3}, {16}), false, true, "", 0, IDOK},
      {"Button15", "CheckListBox4", OnSites({0, 1, 3}, {23}), false, true, "", 0, IDOK},
      {"Button16", "CheckListBox4", OnSites({0, 1, 3}, {24}), false, true, format, warning, IDOK},
      {"Button16", "CheckListBox4", {}, false, false, format, warning, IDCANCEL},
      // The burn-in takes every site with a unit, selected in the main window or not.
      {"Button22", nullptr, OnSites({0, 1, 2, 3}, {10, 33, 34}), true, false,
       "Please do not insert the IC into the ZIF socket!", MB_OKCANCEL | MB_ICONWARNING, IDOK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button + std::string(c.reply == IDOK ? " OK" : " Cancel"));
    form->FormActivate();
    auto* list = c.list ? Find<TSiteCheckList>(c.list) : nullptr;
    if (list) list->item(2)->setCheckState(Qt::Unchecked);
    lookList = list;
    lookButton = c.list ? Find<QPushButton>(c.button) : nullptr;
    Click(c.button, c.reply);
    // Site 1 is unselected in the main window: the command waits for it all the same.
    EXPECT_EQ(Ran(), c.runs);
    EXPECT_EQ(asked.empty() ? "" : asked[0].text, c.asked);
    EXPECT_EQ(asked.empty() ? 0u : asked[0].flags, c.flags);
    if (c.runs.empty()) continue;
    EXPECT_DOUBLE_EQ(look.opacity, c.translucent ? kTranslucent : 1.0);
    EXPECT_EQ(look.marquee, c.marquee);
    EXPECT_EQ(look.controls || look.close, list == nullptr);  // the burn-in disables nothing
    EXPECT_DOUBLE_EQ(form->windowOpacity(), 1.0);
    EXPECT_EQ(form->progressBar->maximum(), 100);
    EXPECT_TRUE(form->pageList->isEnabled() && form->CloseEnabled());
    if (list) {
      EXPECT_TRUE(list->isEnabled() && Find<QPushButton>(c.button)->isEnabled());
      EXPECT_EQ(list->Items()[2], (SiteListItem{true, false}));
    }
  }
  EXPECT_FALSE(fileMissing.load());
  EXPECT_FALSE(fs::exists(base / "Temp" / "SelfTest.pga"));  // released after the commands
}

TEST_F(OptionsCommandsTest, ListsAndDisplaysFollowTheUnits) {
  auto* info = Find<TSiteCheckList>("CheckListBox2");
  system.Panels().SetStatus(3, siNone);       // its unit went since the activation
  info->item(5)->setCheckState(Qt::Checked);  // no unit there: unticked again
  Click("Button3");
  EXPECT_EQ(Ran(), OnSites({0, 1, 2}, {3, 4, 5}));
  EXPECT_EQ(info->Items()[3], (SiteListItem{false, false}));
  EXPECT_EQ(info->Items()[5], (SiteListItem{false, false}));
  EXPECT_EQ(Find<TSiteCheckList>("CheckListBox4")->Items()[3], (SiteListItem{true, true}));
  EXPECT_EQ(info->currentRow(), 0);  // item 0 when none was selected
  info->setCurrentRow(1);
  EXPECT_EQ(LabelText("Label6") + LabelText("Label7") + LabelText("Label8"), "21.2ASN1");
  EXPECT_EQ(LabelText("Label15"), QString::number(system.Link(1).GetOrderKey()));
  info->setCurrentRow(3);  // no unit: nothing shown
  EXPECT_EQ(LabelText("Label6") + LabelText("Label7") + LabelText("Label8") + LabelText("Label15"),
            "");
  Click("Button14");
  Find<TSiteCheckList>("CheckListBox4")->setCurrentRow(2);
  EXPECT_EQ(LabelText("Label13"), "1002 KBytes");
  Click("Button2");
  Find<TSiteCheckList>("CheckListBox1")->setCurrentRow(2);
  EXPECT_EQ(Find<QTextEdit>("RichEdit1")->toPlainText(), "Self test of 2");

  form->FormActivate();  // every list from the panels again, the reports cleared
  for (const char* name : {"CheckListBox1", "CheckListBox2", "CheckListBox3", "CheckListBox4"})
    EXPECT_EQ(Find<TSiteCheckList>(name)->Items()[3], (SiteListItem{false, false})) << name;
  Find<TSiteCheckList>("CheckListBox1")->setCurrentRow(0);
  EXPECT_EQ(Find<QTextEdit>("RichEdit1")->toPlainText(), "");
}

TEST_F(OptionsCommandsTest, LoopButtonsRepeatTheirAction) {
  system.Project().Records().ProjectValue[0].Step[StepFlag::Erase] = 1;  // a run has a step
  main->AutoRunCheckBox->setChecked(false);                              // one run per pass
  struct Case {
    const char* button;
    const char* count;
    Runs runs;  // the self test takes its page's list, the others the main window's selection
    const char* shown;  // Label11 afterwards
    std::size_t asked;  // each self test asks first; a count that is no number is refused
    int uncheckAfter;
  };
  const Case cases[] = {
      {"Button10", "3", OnSites({0, 2, 3}, {9, 10, 11}, 3), "3", 0, 0},
      {"Button9", "2", OnSites({0, 1, 2, 3}, {6}, 2), "2", 2, 0},
      {"Button8", "2", OnSites({0, 2, 3}, {32, 30, 9, 10, 11, 12}, 2), "0", 0, 0},
      {"Button10", "0", {}, "0", 0, 0},
      {"Button10", "abc", {}, "0", 1, 0},
      {"Button10", "-1", OnSites({0, 2, 3}, {9, 10, 11}, 5), "5", 0, 5},  // until none selected
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " " + c.count);
    Find<QLabel>("Label11")->setText("0");
    Find<QLineEdit>("Edit2")->setText(QString::fromLatin1(c.count));
    uncheckAfter = c.uncheckAfter;
    Click(c.button);
    EXPECT_EQ(Ran(), c.runs);
    EXPECT_EQ(LabelText("Label11"), c.shown);
    EXPECT_EQ(asked.size(), c.asked);
    if (std::string(c.count) == "abc") {
      EXPECT_EQ(asked.at(0).text, "'abc' is not a valid integer value");
    }
  }
}

TEST_F(OptionsCommandsTest, KeyRunHoldsItsSitesUntilStop) {
  auto* start = Find<QPushButton>("Button18");
  auto* stop = Find<QPushButton>("Button19");
  Click("Button18");
  EXPECT_TRUE(!start->isEnabled() && stop->isEnabled() && form->CloseEnabled());
  EXPECT_TRUE(system.Controls().KeyRunStopEnabled.load());
  for (int site : {0, 2, 3}) EXPECT_EQ(system.Panels().Status(site), siPushKey) << site;
  // Other commands meanwhile leave the held sites alone instead of waiting for them.
  Click("Button7");
  EXPECT_EQ(Ran(), Runs{});
  Click("Button3");
  EXPECT_EQ(Ran(), OnSites({1}, {3, 4, 5}));
  Find<QLineEdit>("Edit2")->setText("-1");
  Click("Button10");  // no selected site can start: the loop ends at once
  EXPECT_EQ(Ran(), Runs{});
  Click("Button19");
  EXPECT_TRUE(start->isEnabled() && !stop->isEnabled());
  EXPECT_FALSE(system.Controls().KeyRunStopEnabled.load());
  EXPECT_EQ(Ran(), OnSites({0, 2, 3}, {35}));  // every key run has ended
  for (int site : {0, 2, 3}) EXPECT_EQ(system.Panels().Status(site), siPass) << site;
}
