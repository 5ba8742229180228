// The main window: statistics, Reset, the close query, the run controls around a run and the
// device notice's rescan. The site engine is a fake that records what the window asks of it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <vector>

#include "app/main_form.h"
#include "app/message_box.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "log/core/log_thread.h"
#include "log/view/log_view.h"
#include "support/named_lock.h"
#include "support/system_para.h"
#include "support/system_paths.h"

namespace fs = std::filesystem;

namespace {
std::vector<Opcode> Drain(OpcodeQueue queue) {
  std::vector<Opcode> out;
  for (; !queue.empty(); queue.pop()) out.push_back(queue.front());
  return out;
}

class FakeEngine : public MainFormEngine {
 public:
  explicit FakeEngine(TMainForm& form) : form_(form) {}
  int RescanUnits() override {
    ++rescans;
    runControlsDuringRescan = form_.RunProgramButton->isEnabled();
    return unitsFound;
  }
  bool StartCommand(int site, OpcodeQueue queue) override {
    started.push_back({site, Drain(std::move(queue))});
    form_.SiteHost().SetStatus(site, siWorking);
    return true;
  }
  void WaitForSites() override {
    // What the window looks like while the sites run.
    stopAllDuringRun = form_.StopAllButton->isEnabled();
    runDuringRun = form_.RunProgramButton->isEnabled();
    groupDuringRun = form_.GroupBox3->isEnabled();
    closeDuringRun = form_.FormCloseQuery();
    busyDuringRun = form_.Busy();
    for (const auto& s : started) form_.SiteHost().SetStatus(s.site, siPass);
  }
  void ResetRunResults(int site) override { resets.push_back(site); }
  bool ProcedureSelected() override { return procedure; }

  struct Start {
    int site;
    std::vector<Opcode> queue;
  };
  std::vector<Start> started;
  std::vector<int> resets;
  int unitsFound = 0;
  int rescans = 0;
  bool procedure = true;
  bool stopAllDuringRun = false, runDuringRun = true, groupDuringRun = true;
  bool closeDuringRun = true, busyDuringRun = false, runControlsDuringRescan = true;

 private:
  TMainForm& form_;
};

class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest() {
    base = fs::temp_directory_path() /
           ("zv_mainform_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(base);
    fs::create_directories(base);
    paths.BaseDir = base.string() + "/";
    settings.MegSaveDir = (base / "History" / "MLOG").string();
    form = std::make_unique<TMainForm>(settings, paths, locks);
    engine = std::make_unique<FakeEngine>(*form);
    form->SetEngine(engine.get());
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call);
      return answer;
    });
  }
  ~MainFormTest() override {
    SetMessageBoxAnswerer(nullptr);
    engine.reset();
    form.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
  }
  void ShowLogLines(int count) {
    QElapsedTimer timer;
    timer.start();
    while (form->LogView().LineCount() < count && timer.elapsed() < 60000)
      QCoreApplication::processEvents();
  }
  QString Text(const char* name) {
    return form->findChild<QLabel*>(QString::fromLatin1(name))->text();
  }
  void SelectSites(std::initializer_list<int> sites) {
    for (int s : sites) form->SiteHost().SetStatus(s, siReady);
  }

  static inline int counter = 0;
  fs::path base;
  S_SystemPara settings;
  SystemPaths paths;
  NamedLocks locks;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<FakeEngine> engine;
  std::vector<MessageBoxCall> asked;
  int answer = IDNO;
};
}  // namespace

TEST_F(MainFormTest, DesignStateOfTheControls) {
  for (const char* name :
       {"ToolBar1",      "ToolButton1", "ToolButton2", "GroupBox1",        "Panel2",
        "Panel3",        "Panel5",      "Button3",     "Button4",          "RichEdit1",
        "GroupBox3",     "GroupBox4",   "Memo1",       "GroupBox5",        "Label1",
        "Label8",        "Button5",     "GroupBox2",   "RunProgramButton", "AutoRunCheckBox",
        "StopAllButton", "StatusBar1"})
    EXPECT_NE(form->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_EQ(form->size(), QSize(1024, 700));
  EXPECT_FALSE(form->ToolButton1->isEnabled());
  EXPECT_EQ(form->ToolButton1->text(), "Project");
  EXPECT_TRUE(form->ToolButton2->isEnabled());
  EXPECT_FALSE(form->RunProgramButton->isEnabled());
  EXPECT_TRUE(form->AutoRunCheckBox->isChecked());
  EXPECT_FALSE(form->AutoRunCheckBox->isEnabled());
  EXPECT_FALSE(form->StopAllButton->isEnabled());
  EXPECT_EQ(Text("Label7"), "0%");
}

TEST_F(MainFormTest, StatisticsShowSumsAndTwoDecimals) {
  QtSiteHost& host = form->SiteHost();
  host.SetPassCount(0, 1);
  host.SetPassCount(5, 1);
  host.SetFailCount(7, 1);
  form->UpdateStatistics();
  EXPECT_EQ(Text("Label4"), "2");
  EXPECT_EQ(Text("Label5"), "1");
  EXPECT_EQ(Text("Label6"), "3");
  EXPECT_EQ(Text("Label7"), "66.67%");
  EXPECT_EQ(Text("Label8"), "33.33%");

  host.SetPassCount(0, 0);
  host.SetPassCount(5, 0);
  host.SetFailCount(2, 1);
  form->UpdateStatistics();
  EXPECT_EQ(Text("Label7"), "0.00%");
  EXPECT_EQ(Text("Label8"), "100.00%");
}

TEST_F(MainFormTest, ResetAsksFirstAndNoKeepsTheCounts) {
  form->SiteHost().SetPassCount(1, 4);
  form->SiteHost().SetFailCount(2, 1);
  form->UpdateStatistics();
  answer = IDNO;
  QTest::mouseClick(form->Button5, Qt::LeftButton);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, "Are You Sure you want to Reset the Statistics Counters?");
  EXPECT_EQ(asked[0].caption, "QUESTION");
  EXPECT_EQ(asked[0].flags, unsigned{MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2});
  EXPECT_EQ(form->SiteHost().PassCount(1), 4u);
  EXPECT_EQ(Text("Label6"), "5");
  EXPECT_EQ(Text("Label7"), "80.00%");

  answer = IDYES;
  QTest::mouseClick(form->Button5, Qt::LeftButton);
  EXPECT_EQ(form->SiteHost().PassCount(1), 0u);
  EXPECT_EQ(form->SiteFrame(2)->LB_Fail->text(), "Fail:0");
  EXPECT_EQ(Text("Label4"), "0");
  EXPECT_EQ(Text("Label6"), "0");
  EXPECT_EQ(Text("Label8"), "0%");
}

TEST_F(MainFormTest, CloseIsRefusedDuringARunWithoutAsking) {
  SelectSites({0});
  engine->procedure = true;
  form->AutoRunCheckBox->setChecked(false);
  form->RunProgramButtonClick();
  EXPECT_FALSE(engine->closeDuringRun);
  EXPECT_TRUE(asked.empty());
  // An automatic run keeps "Stop All" enabled: also refused.
  form->SetStopAllEnabled(true);
  EXPECT_FALSE(form->FormCloseQuery());
  EXPECT_TRUE(asked.empty());
  form->SetStopAllEnabled(false);
  form->setEnabled(false);  // the options window is open
  EXPECT_FALSE(form->FormCloseQuery());
  EXPECT_TRUE(asked.empty());
}

TEST_F(MainFormTest, CancelAtTheLogQuestionKeepsRunningWithTheLog) {
  int cleanups = 0;
  form->SetExitCleanup([&] { ++cleanups; });
  form->LogView().AppendLogLine("kept", 0);
  answer = IDCANCEL;
  EXPECT_FALSE(form->FormCloseQuery());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, "Do You Want to Save the Log file?");
  EXPECT_EQ(asked[0].flags, unsigned{MB_YESNOCANCEL | MB_ICONQUESTION});
  EXPECT_EQ(cleanups, 0);
  EXPECT_EQ(form->LogView().LineCount(), 1);
  EXPECT_FALSE(form->LogThread().Terminated());

  answer = IDNO;
  EXPECT_TRUE(form->FormCloseQuery());
  EXPECT_EQ(cleanups, 1);
  EXPECT_TRUE(form->LogThread().Terminated());
}

TEST_F(MainFormTest, CloseWithAutoSaveWritesTheLogWithoutAsking) {
  settings.MBoxClrSel = 1;
  int cleanups = 0;
  form->SetExitCleanup([&] { ++cleanups; });
  form->LogView().AppendLogLine("saved at close", 0);
  EXPECT_TRUE(form->FormCloseQuery());
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(cleanups, 1);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(settings.MegSaveDir)) files.push_back(entry);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string().substr(16), "1.TXT");
  EXPECT_EQ(form->LogView().LineCount(), 0);
}

TEST_F(MainFormTest, PcRunQueuesTheSelectedSitesAndLocksTheControls) {
  SelectSites({1, 6});
  form->SetRunControlsEnabled(true);
  form->AutoRunCheckBox->setChecked(false);
  form->RunProgramButtonClick();
  ASSERT_EQ(engine->started.size(), 2u);
  EXPECT_EQ(engine->started[0].site, 1);
  EXPECT_EQ(engine->started[1].site, 6);
  EXPECT_EQ(engine->started[0].queue, (std::vector<Opcode>{32, 30, 9, 10, 11, 12}));
  EXPECT_EQ(engine->resets.size(), 8u);
  EXPECT_FALSE(engine->stopAllDuringRun);  // never without "Auto Run"
  EXPECT_FALSE(engine->runDuringRun);
  EXPECT_FALSE(engine->groupDuringRun);
  EXPECT_TRUE(engine->busyDuringRun);
  EXPECT_TRUE(form->RunProgramButton->isEnabled());
  EXPECT_TRUE(form->GroupBox3->isEnabled());
  EXPECT_TRUE(form->Button3->isEnabled());
  EXPECT_FALSE(form->Busy());

  engine->started.clear();
  form->AutoRunCheckBox->setChecked(true);
  form->RunProgramButtonClick();
  ASSERT_EQ(engine->started.size(), 2u);
  EXPECT_EQ(engine->started[0].queue.back(), 13);
  EXPECT_TRUE(engine->stopAllDuringRun);
  EXPECT_FALSE(form->StopAllButton->isEnabled());
  EXPECT_FALSE(form->SiteHost().StopAllEnabled());
}

TEST_F(MainFormTest, SdCardRunNeedsNoProcedure) {
  settings.DataBufferSel = 1;
  engine->procedure = false;
  SelectSites({0});
  form->AutoRunCheckBox->setChecked(false);
  form->RunProgramButtonClick();
  ASSERT_EQ(engine->started.size(), 1u);
  EXPECT_EQ(engine->started[0].queue, (std::vector<Opcode>{9, 17, 27, 25}));
  engine->started.clear();
  form->AutoRunCheckBox->setChecked(true);
  form->RunProgramButtonClick();
  EXPECT_EQ(engine->started[0].queue, (std::vector<Opcode>{9, 17, 27, 28, 26}));
}

TEST_F(MainFormTest, RunWithoutProcedureStartsNothingAndSaysSo) {
  SelectSites({0});
  engine->procedure = false;
  form->RunProgramButtonClick();
  EXPECT_TRUE(engine->started.empty());
  ShowLogLines(1);
  ASSERT_EQ(form->LogView().LineCount(), 1);
  EXPECT_NE(form->LogView().Lines()[0].find("No Select Procedure for Project!"), std::string::npos);
}

TEST_F(MainFormTest, DeviceNoticeRescansAndRefreshesTheOtherWindows) {
  int activations = 0;
  form->SetOptionsWindow(nullptr, [&] { ++activations; });
  form->SetProjectWindow(nullptr, [&] { ++activations; });
  engine->unitsFound = 2;
  form->OnDeviceChange();
  form->OnDeviceChange();
  EXPECT_EQ(engine->rescans, 2);
  EXPECT_EQ(activations, 4);
  EXPECT_FALSE(engine->runControlsDuringRescan);
  EXPECT_FALSE(form->RunProgramButton->isEnabled());  // no project loaded
  EXPECT_TRUE(form->CloseEnabled());

  form->SetProjectPath("/p/part.zvprj");
  form->OnDeviceChange();
  EXPECT_TRUE(form->RunProgramButton->isEnabled());
  EXPECT_TRUE(form->AutoRunCheckBox->isEnabled());

  engine->unitsFound = 0;
  form->SetStopAllEnabled(true);
  form->OnDeviceChange();
  EXPECT_FALSE(form->RunProgramButton->isEnabled());
  EXPECT_FALSE(form->StopAllButton->isEnabled());
  EXPECT_EQ(activations, 6);
}

TEST_F(MainFormTest, NoticeDuringARunIsIgnored) {
  SelectSites({0});
  struct NoticeInWait : FakeEngine {
    using FakeEngine::FakeEngine;
    TMainForm* form = nullptr;
    void WaitForSites() override {
      form->OnDeviceChange();
      FakeEngine::WaitForSites();
    }
  } inWait(*form);
  inWait.form = form.get();
  form->SetEngine(&inWait);
  form->RunProgramButtonClick();
  EXPECT_EQ(inWait.rescans, 0);
  form->SetEngine(engine.get());
}

TEST_F(MainFormTest, OptionsButtonShowsTheWindowAndDisablesTheMainWindow) {
  QWidget options;
  form->SetOptionsWindow(&options, nullptr);
  QTest::mouseClick(form->ToolButton2, Qt::LeftButton);
  EXPECT_TRUE(options.isVisible());
  EXPECT_FALSE(form->isEnabled());
  form->setEnabled(true);
}
