// The options window's page list and settings pages: each control writes its key at once and
// keeps every other line; each activation reloads the settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/file_dialogs.h"
#include "app/main_form.h"
#include "app/message_box.h"
#include "app/options_form.h"
#include "app/options_form_widgets.h"
#include "app/window_wiring.h"
#include "sim/sim_factory.h"
#include "site/ops/operation_list.h"
#include "site/run_controls.h"
#include "site/site_system.h"
#include "support/system_ini.h"
#include "support/system_para.h"
#include "support/system_paths.h"

namespace fs = std::filesystem;

namespace {
const QStringList kAllPages = {"Log Settings", "Self Test", "Data Buffer", "Information",
                               "BIOS Update",  "Auto Run",  "SDCard",      "Debug"};

class OptionsFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("zv_options_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_ / "System");
    paths_.BaseDir = root_.string() + "/";
    system_->SetPaths(paths_);
    main_ = std::make_unique<TMainForm>(*system_);
    // The creation reports the missing firmware archive of this empty database.
    SetMessageBoxAnswerer([](const MessageBoxCall&) { return int{IDOK}; });
  }
  void TearDown() override {
    SetMessageBoxAnswerer(nullptr);
    SetFileDialogAnswerer(nullptr);
    form_.reset();
    main_.reset();
    system_.reset();
    fs::remove_all(root_);
  }
  static SiteSystemConfig Config(LogSink* log) {
    SiteSystemConfig config;
    config.LogOverride = log;
    config.Operations = SiteOperationList();
    return config;
  }

  void Build(bool debugMode, bool handlerMode) {
    handlerMode_ = handlerMode;
    SetFileDialogAnswerer([this](const FileDialogCall& call) {
      EXPECT_TRUE(call.folder);
      EXPECT_EQ(call.caption, "Browse");
      chooserStart_ = call.start;
      return chosenFolder_.empty() ? std::vector<std::string>{}
                                   : std::vector<std::string>{chosenFolder_};
    });
    form_ = std::make_unique<TOptionsForm>(*system_, debugMode);
    ConnectOptionsWindow(*main_, *form_);
    // The program's settings load, told to the windows as the session's observers.
    QObject::connect(form_.get(), &TOptionsForm::SettingsLoadRequested, [this] {
      ++loads_;
      LoadSystemIniFile(paths_.BaseDir, handlerMode_, para_);
      system_->Session().PublishSettingsLoaded(handlerMode_);
    });
    form_->FormCreate();
    form_->SetIntervalDefaults();
  }

  void WriteIni(const std::string& text) {
    std::ofstream(root_ / "System" / "System.ini", std::ios::binary) << text;
  }
  std::string ReadIni() const {
    std::ifstream in(root_ / "System" / "System.ini", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  template <typename W>
  W* Find(const char* name) const {
    W* widget = form_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* radioName) { Find<QRadioButton>(radioName)->click(); }

  fs::path root_;
  // What the window writes and what the main window shows of it.
  struct FailureLog final : LogSink {
    void AddLogMessage(const std::string& text, std::uint32_t, std::uint8_t,
                       std::uint8_t) override {
      lines.push_back(text);
    }
    std::size_t size() const { return lines.size(); }
    bool empty() const { return lines.empty(); }
    const std::string& operator[](std::size_t i) const { return lines[i]; }
    std::vector<std::string> lines;
  };
  void SetStatus(int site, TSiteStatus status) { system_->Panels().SetStatus(site, status); }
  bool ProjectLoaded() const { return main_->ProjectLoaded(); }
  bool RunControls() const { return main_->RunProgramButton->isEnabled(); }
  bool AutoRunTicked() const { return main_->AutoRunCheckBox->isChecked(); }
  std::int32_t ShownMode() const { return system_->LogPipeline().LogDisplayMode(); }

  sim::SimRig rig_ = sim::makeSimRig(sim::RigOptions{});
  FailureLog failures_;
  SystemPaths paths_;
  std::unique_ptr<SiteSystem> system_ = std::make_unique<SiteSystem>(*rig_.bus, Config(&failures_));
  std::unique_ptr<TMainForm> main_;
  S_SystemPara& para_ = system_->Para();
  ::RunControls& snapshot_ = system_->Controls();
  std::unique_ptr<TOptionsForm> form_;
  bool handlerMode_ = false;
  int loads_ = 0;
  std::string chooserStart_;
  std::string chosenFolder_;
};
}  // namespace

TEST_F(OptionsFormTest, PageListDependsOnTheModes) {
  Build(false, false);
  EXPECT_EQ(form_->PageNames(),
            QStringList({"Log Settings", "Self Test", "Information", "BIOS Update", "Auto Run"}));
  Build(true, false);
  EXPECT_EQ(form_->PageNames(), QStringList({"Log Settings", "Self Test", "Information",
                                             "BIOS Update", "Auto Run", "Debug"}));
  Build(false, true);
  EXPECT_EQ(form_->PageNames(), QStringList({"Log Settings", "Self Test", "Data Buffer",
                                             "Information", "BIOS Update", "Auto Run", "SDCard"}));
  Build(true, true);
  EXPECT_EQ(form_->PageNames(), kAllPages);
  // Another load without the handler mode removes what is there, and nothing twice.
  handlerMode_ = false;
  form_->FormActivate();
  form_->FormActivate();
  EXPECT_EQ(form_->PageNames(), QStringList({"Log Settings", "Self Test", "Information",
                                             "BIOS Update", "Auto Run", "Debug"}));
}

TEST_F(OptionsFormTest, ClickingAnEntryShowsItsPage) {
  Build(true, true);
  auto* list = Find<QListWidget>("ListBox1");
  auto* pages = Find<QStackedWidget>("PageControl1");
  EXPECT_EQ(pages->currentWidget()->property("caption").toString(), "Log Settings");
  for (int row = 0; row < list->count(); ++row) {
    list->setCurrentRow(row);
    EXPECT_EQ(pages->currentWidget()->property("caption").toString(), list->item(row)->text());
  }
}

TEST_F(OptionsFormTest, LogSettingsWriteTheirKeysAndKeepOtherLines) {
  WriteIni("; kept\r\n[System]\r\nPowerLed_RetryCount=7\r\nMBoxClrSel=0\r\n[Hardware]\r\nX=1\r\n");
  Build(false, false);
  Click("RadioGroup1_Item1");
  EXPECT_EQ(para_.MBoxClrSel, 1);
  Find<QSlider>("TrackBar1")->setValue(8);
  EXPECT_EQ(para_.MegLimitRows, 50000);
  EXPECT_EQ(Find<QGroupBox>("GroupBox2")->title(), " Message Limit = 50000 lines");
  Click("LogDisplayModeRadioGroup_Item2");
  EXPECT_EQ(para_.LogDisplayMode, 2);
  EXPECT_EQ(ShownMode(), 2);  // the log pipeline filters with the new mode at once
  EXPECT_EQ(ReadIni(),
            "; kept\r\n[System]\r\nPowerLed_RetryCount=7\r\nMBoxClrSel=1\r\nMegLimitRows=50000\r\n"
            "LogDisplayMode=2\r\n[Hardware]\r\nX=1\r\n");

  Find<QSlider>("TrackBar1")->setValue(0);
  S_SystemPara reread;
  std::string base = paths_.BaseDir;
  LoadSystemIniFile(base, false, reread);
  EXPECT_EQ(reread.MegLimitRows, 10000);
  EXPECT_TRUE(failures_.empty());
}

TEST_F(OptionsFormTest, BrowseWritesTheChosenFolderAndCancelWritesNothing) {
  Build(false, false);
  form_->FormActivate();
  const std::string before = ReadIni();
  chosenFolder_ = "";
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(chooserStart_, paths_.BaseDir + "History/MLOG");
  EXPECT_EQ(ReadIni(), before);

  chosenFolder_ = (root_ / "logs").string();
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(Find<QLineEdit>("Edit1")->text().toStdString(), chosenFolder_);
  EXPECT_EQ(para_.MegSaveDir, chosenFolder_);
  EXPECT_NE(ReadIni().find("MegSaveDir=" + chosenFolder_), std::string::npos);
}

TEST_F(OptionsFormTest, IntervalTrackBarWritesTheFileOnly) {
  WriteIni("[System]\r\nAutoRunInterval=500\r\n");
  Build(false, false);
  auto* bar = Find<QSlider>("TrackBar2");
  EXPECT_EQ(bar->maximum(), 96);
  EXPECT_EQ(Find<QLabel>("Label16")->text(), "200ms");
  EXPECT_EQ(Find<QLabel>("Label17")->text(), "5000ms");
  bar->setValue(96);
  EXPECT_EQ(ReadIni(), "[System]\r\nAutoRunInterval=5000\r\n");
  EXPECT_EQ(Find<QGroupBox>("GroupBox26")->title(), " Interval Time = 5000ms ");
  EXPECT_EQ(snapshot_.AutoRunInterval.load(), 5000);  // what the automatic runs use
  EXPECT_EQ(para_.AutoRunInterval, 500);              // the record keeps the loaded value

  Find<QCheckBox>("CheckBox1")->click();
  EXPECT_TRUE(snapshot_.IgnoreInsertionDetection.load());
}

TEST_F(OptionsFormTest, LoadedIntervalsShowOnTheTrackBar) {
  WriteIni("[System]\r\nAutoRunInterval=0\r\n");
  Build(false, false);
  EXPECT_EQ(para_.AutoRunInterval, 500);
  EXPECT_EQ(Find<QSlider>("TrackBar2")->value(), 6);
  EXPECT_EQ(Find<QGroupBox>("GroupBox26")->title(), " Interval Time = 500ms ");
  EXPECT_EQ(ReadIni(), "[System]\r\nAutoRunInterval=0\r\n");  // showing is no write

  WriteIni("[System]\r\nAutoRunInterval=5000\r\n");
  form_->FormActivate();
  EXPECT_EQ(Find<QSlider>("TrackBar2")->value(), 96);
  EXPECT_EQ(snapshot_.AutoRunInterval.load(), 5000);
}

TEST_F(OptionsFormTest, ActivationReloadsSettingsAndSiteLists) {
  Build(false, false);
  const int loadsAtCreation = loads_;
  WriteIni(
      "[System]\r\nMBoxClrSel=1\r\nMegLimitRows=30000\r\nMegSaveDir=/var/logs\r\n"
      "LogDisplayMode=0\r\n");
  SetStatus(0, siReady);
  SetStatus(2, siPass);
  form_->FormActivate();
  EXPECT_EQ(loads_, loadsAtCreation + 1);
  EXPECT_EQ(Find<TRadioGroup>("RadioGroup1")->ItemIndex(), 1);
  EXPECT_EQ(Find<QSlider>("TrackBar1")->value(), 4);
  EXPECT_EQ(Find<QGroupBox>("GroupBox2")->title(), " Message Limit = 30000 lines");
  EXPECT_EQ(Find<QLineEdit>("Edit1")->text(), "/var/logs");
  EXPECT_EQ(Find<TRadioGroup>("LogDisplayModeRadioGroup")->ItemIndex(), 0);
  for (const char* name : {"CheckListBox1", "CheckListBox2", "CheckListBox3", "CheckListBox4"}) {
    auto* list = Find<TSiteCheckList>(name);
    for (int site = 0; site < kSiteCount; ++site) {
      const bool present = site == 0 || site == 2;
      EXPECT_EQ(list->ItemChecked(site), present) << name << " " << site;
      EXPECT_EQ(list->ItemEnabled(site), present) << name << " " << site;
    }
  }
  // A site whose unit went is unticked and disabled at the next activation.
  SetStatus(2, siNone);
  form_->FormActivate();
  EXPECT_FALSE(Find<TSiteCheckList>("CheckListBox2")->ItemChecked(2));
  EXPECT_FALSE(Find<TSiteCheckList>("CheckListBox2")->ItemEnabled(2));
}

TEST_F(OptionsFormTest, BufferSelectSwitchesTheRunMode) {
  Build(false, true);
  form_->FormActivate();
  EXPECT_EQ(Find<TRadioGroup>("RadioGroup2")->ItemIndex(), 1);  // the handler mode's SD card

  main_->SetProjectPath("/p/part.zvprj");
  Click("RadioGroup2_Item0");
  EXPECT_TRUE(RunControls());  // a loaded project can run from the SDRAM
  EXPECT_EQ(para_.DataBufferSel, 0);
  Click("RadioGroup2_Item1");
  EXPECT_FALSE(ProjectLoaded());  // the SD card run forgets the PC project
  Click("RadioGroup2_Item0");
  EXPECT_FALSE(RunControls());
  EXPECT_FALSE(AutoRunTicked());
  Click("RadioGroup2_Item1");
  EXPECT_TRUE(RunControls());
  EXPECT_EQ(para_.DataBufferSel, 1);
  EXPECT_NE(ReadIni().find("DataBufferSel=1"), std::string::npos);
}

TEST_F(OptionsFormTest, FailedWriteIsReportedAndClosingEnablesTheMainWindow) {
  Build(false, false);
  fs::remove_all(root_ / "System");
  main_->setEnabled(false);
  Click("RadioGroup1_Item1");
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0], "Write System.ini Fail!");

  form_->show();
  form_->close();
  EXPECT_TRUE(main_->isEnabled());
  EXPECT_FALSE(form_->isVisible());
}
