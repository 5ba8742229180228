// The main window: statistics, Reset, the close query, the run controls around a run and the
// device notice's rescan, on a system of eight simulated units.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "app/message_box.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "log/core/log_queue.h"
#include "log/view/log_view.h"
#include "sim/sim_bus.h"
#include "sim/sim_factory.h"
#include "site/headless_site_host.h"
#include "site/ops/run_report.h"
#include "site/rescan.h"
#include "site/run_recipes.h"
#include "site/site_context.h"
#include "site/site_system.h"
#include "site/site_wait.h"
#include "support/named_lock.h"
#include "support/system_para.h"
#include "support/system_paths.h"
#include "tests/support/hang_guard.h"
#include "tests/support/site_config.h"

namespace fs = std::filesystem;

namespace {
// The window on a real system over eight simulated units. The run's opcodes are replaced by
// recorders, so a test sees which queue each site ran; the first step of every PC run waits
// until the UI thread has looked at the window during the run.
class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest() : rig(MakeRig()), system(*rig.bus, StandardSiteConfig()) {
    base = fs::temp_directory_path() /
           ("zv_mainform_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(base);
    fs::create_directories(base);
    SystemPaths paths;
    paths.BaseDir = base.string() + "/";
    system.SetPaths(paths);
    settings().MegSaveDir = (base / "History" / "MLOG").string();
    form = std::make_unique<TMainForm>(system);
    for (Opcode op : {9, 10, 11, 12, 13, 17, 25, 26, 27, 28, 30, 32}) RecordOpcode(op);
    RescanUnits(system);  // every unit bound, greeted and ready
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call);
      return answer;
    });
  }
  ~MainFormTest() override {
    SetMessageBoxAnswerer(nullptr);
    system.Shutdown();
    form.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
  }
  static sim::SimRig MakeRig() {
    sim::RigOptions options;
    options.units = kSiteCount;
    return sim::makeSimRig(options);
  }
  S_SystemPara& settings() { return system.Para(); }
  void RecordOpcode(Opcode opcode) {
    system.Opcodes().Register(opcode, [this, opcode](SiteContext& ctx, const OperationTexts&) {
      const int site = ctx.Site();
      if (opcode == Opcodes::EmptyStepB) {
        // Hold the run until the UI thread has looked at the window (or a run needs no look).
        QMetaObject::invokeMethod(
            form.get(), [this] { LookDuringRun(); }, Qt::QueuedConnection);
        if (!WaitUntil([this] { return looked.load(); })) {
          ADD_FAILURE() << "the UI thread never looked at the window during the run";
        }
      }
      std::lock_guard<std::mutex> lock(mutex);
      ran[site].push_back(opcode);
      return SiteResultCode::Pass;
    });
  }
  void LookDuringRun() {
    if (looked.exchange(true)) return;
    stopAllDuringRun = form->StopAllButton->isEnabled();
    runDuringRun = form->RunProgramButton->isEnabled();
    groupDuringRun = form->SiteGroupEnabled();
    panelTextDuringRun = form->SiteFrame(1)->stateLabel->isEnabled();
    closeDuringRun = form->FormCloseQuery();
    busyDuringRun = form->Busy();
    if (noticeDuringRun) form->OnDeviceChange();
  }
  std::vector<Opcode> Ran(int site) {
    std::lock_guard<std::mutex> lock(mutex);
    return ran[site];
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
  // Selects exactly these sites (all eight units are present).
  void SelectSites(std::initializer_list<int> sites) {
    for (int s = 0; s < kSiteCount; ++s) system.Panels().SetStatus(s, siNone);
    for (int s : sites) system.Panels().SetStatus(s, siReady);
  }
  // A project with a procedure step for site 0, or none.
  void SetProcedure(bool selected) {
    system.Project().Records().ProjectValue[0].Step[StepFlag::Erase] = selected ? 1 : 0;
  }

  static inline int counter = 0;
  fs::path base;
  sim::SimRig rig;
  SiteSystem system;
  std::unique_ptr<TMainForm> form;
  std::vector<MessageBoxCall> asked;
  int answer = IDNO;
  std::mutex mutex;
  std::map<int, std::vector<Opcode>> ran;
  std::atomic<bool> looked{false};
  bool noticeDuringRun = false;
  bool stopAllDuringRun = false, runDuringRun = true, groupDuringRun = true,
       panelTextDuringRun = false;
  bool closeDuringRun = true, busyDuringRun = false;
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
  EXPECT_FALSE(form->projectToolButton->isEnabled());
  EXPECT_EQ(form->projectToolButton->text(), "Project");
  EXPECT_TRUE(form->optionsToolButton->isEnabled());
  EXPECT_FALSE(form->RunProgramButton->isEnabled());
  EXPECT_TRUE(form->AutoRunCheckBox->isChecked());
  EXPECT_FALSE(form->AutoRunCheckBox->isEnabled());
  EXPECT_FALSE(form->StopAllButton->isEnabled());
  EXPECT_EQ(Text("Label7"), "0%");
}

TEST_F(MainFormTest, StatisticsShowSumsAndTwoDecimals) {
  SitePanels& host = system.Panels();
  host.SetPassCount(0, 1);
  host.SetPassCount(5, 1);
  host.SetFailCount(7, 1);
  host.UpdateStatistics();
  EXPECT_EQ(Text("Label4"), "2");
  EXPECT_EQ(Text("Label5"), "1");
  EXPECT_EQ(Text("Label6"), "3");
  EXPECT_EQ(Text("Label7"), "66.67%");
  EXPECT_EQ(Text("Label8"), "33.33%");

  host.SetPassCount(0, 0);
  host.SetPassCount(5, 0);
  host.SetFailCount(2, 1);
  host.UpdateStatistics();
  EXPECT_EQ(Text("Label7"), "0.00%");
  EXPECT_EQ(Text("Label8"), "100.00%");
}

TEST_F(MainFormTest, ResetAsksFirstAndNoKeepsTheCounts) {
  system.Panels().SetPassCount(1, 4);
  system.Panels().SetFailCount(2, 1);
  system.Panels().UpdateStatistics();
  answer = IDNO;
  QTest::mouseClick(form->resetStatisticsButton, Qt::LeftButton);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, "Are You Sure you want to Reset the Statistics Counters?");
  EXPECT_EQ(asked[0].caption, "QUESTION");
  EXPECT_EQ(asked[0].flags, unsigned{MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2});
  EXPECT_EQ(system.Panels().PassCount(1), 4u);
  EXPECT_EQ(Text("Label6"), "5");
  EXPECT_EQ(Text("Label7"), "80.00%");

  answer = IDYES;
  QTest::mouseClick(form->resetStatisticsButton, Qt::LeftButton);
  EXPECT_EQ(system.Panels().PassCount(1), 0u);
  EXPECT_EQ((form->SiteHost().Drain(), form->SiteFrame(2)->failCountLabel->text()), "Fail:0");
  EXPECT_EQ(Text("Label4"), "0");
  EXPECT_EQ(Text("Label6"), "0");
  EXPECT_EQ(Text("Label8"), "0%");
}

TEST_F(MainFormTest, CloseIsRefusedDuringARunWithoutAsking) {
  SelectSites({0});
  SetProcedure(true);
  form->AutoRunCheckBox->setChecked(false);
  form->RunProgramButtonClick();
  EXPECT_FALSE(closeDuringRun);
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
  QObject::connect(form.get(), &TMainForm::ExitCleanupRequested, [&] { ++cleanups; });
  form->LogView().AppendLogLine("kept", 0);
  answer = IDCANCEL;
  EXPECT_FALSE(form->FormCloseQuery());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, "Do You Want to Save the Log file?");
  EXPECT_EQ(asked[0].flags, unsigned{MB_YESNOCANCEL | MB_ICONQUESTION});
  EXPECT_EQ(cleanups, 0);
  EXPECT_EQ(form->LogView().LineCount(), 1);
  EXPECT_FALSE(form->LogPipeline().Terminated());

  answer = IDNO;
  EXPECT_TRUE(form->FormCloseQuery());
  EXPECT_EQ(cleanups, 1);
  EXPECT_TRUE(form->LogPipeline().Terminated());
}

TEST_F(MainFormTest, CloseWithAutoSaveWritesTheLogWithoutAsking) {
  settings().MBoxClrSel = 1;
  int cleanups = 0;
  QObject::connect(form.get(), &TMainForm::ExitCleanupRequested, [&] { ++cleanups; });
  form->LogView().AppendLogLine("saved at close", 0);
  EXPECT_TRUE(form->FormCloseQuery());
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(cleanups, 1);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(settings().MegSaveDir)) files.push_back(entry);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string().substr(16), "1.TXT");
  EXPECT_EQ(form->LogView().LineCount(), 0);
}

TEST_F(MainFormTest, PcRunQueuesTheSelectedSitesAndLocksTheControls) {
  SelectSites({1, 6});
  SetProcedure(true);
  form->SetRunControlsEnabled(true);
  form->AutoRunCheckBox->setChecked(false);
  system.RunBytes(3).RunResult = 0xA1;
  form->RunProgramButtonClick();
  EXPECT_EQ(Ran(1), (std::vector<Opcode>{32, 30, 9, 10, 11, 12}));
  EXPECT_EQ(Ran(6), Ran(1));
  EXPECT_TRUE(Ran(0).empty());
  EXPECT_EQ(system.RunBytes(3).RunResult.load(), 0);  // every site's run bytes were reset
  EXPECT_EQ(system.Panels().Status(1), siPass);
  EXPECT_FALSE(stopAllDuringRun);  // never without "Auto Run"
  EXPECT_FALSE(runDuringRun);
  EXPECT_FALSE(groupDuringRun);
  EXPECT_TRUE(panelTextDuringRun);  // locked, not greyed
  EXPECT_TRUE(busyDuringRun);
  EXPECT_TRUE(form->RunProgramButton->isEnabled());
  EXPECT_TRUE(form->SiteGroupEnabled());
  EXPECT_TRUE(form->clearLogButton->isEnabled());
  EXPECT_FALSE(form->Busy());

  ran.clear();
  looked = false;
  SelectSites({1, 6});
  form->AutoRunCheckBox->setChecked(true);
  form->RunProgramButtonClick();
  EXPECT_EQ(Ran(1).back(), 13);
  EXPECT_TRUE(stopAllDuringRun);
  EXPECT_FALSE(form->StopAllButton->isEnabled());
  EXPECT_FALSE(system.Controls().StopAllEnabled.load());
}

TEST_F(MainFormTest, SdCardRunNeedsNoProcedure) {
  settings().DataBufferSel = 1;
  SetProcedure(false);
  SelectSites({0});
  form->AutoRunCheckBox->setChecked(false);
  form->RunProgramButtonClick();
  EXPECT_EQ(Ran(0), (std::vector<Opcode>{9, 17, 27, 25}));
  ran.clear();
  SelectSites({0});
  form->AutoRunCheckBox->setChecked(true);
  form->RunProgramButtonClick();
  EXPECT_EQ(Ran(0), (std::vector<Opcode>{9, 17, 27, 28, 26}));
}

TEST_F(MainFormTest, RunWithoutProcedureStartsNothingAndSaysSo) {
  SelectSites({0});
  SetProcedure(false);
  form->RunProgramButtonClick();
  EXPECT_TRUE(Ran(0).empty());
  ShowLogLines(1);
  ASSERT_EQ(form->LogView().LineCount(), 1);
  EXPECT_NE(form->LogView().Lines()[0].find("No Select Procedure for Project!"), std::string::npos);
}

TEST_F(MainFormTest, DeviceNoticeRescansAndRefreshesTheOtherWindows) {
  int activations = 0;
  QObject::connect(form.get(), &TMainForm::UnitsFound, [&] { ++activations; });
  form->OnDeviceChange();
  form->OnDeviceChange();
  EXPECT_EQ(activations, 2);
  EXPECT_EQ(system.Panels().Status(7), siReady);      // the rescan found the units
  EXPECT_FALSE(form->RunProgramButton->isEnabled());  // no project loaded
  EXPECT_TRUE(form->CloseEnabled());

  form->SetProjectPath("/p/part.zvprj");
  form->OnDeviceChange();
  EXPECT_TRUE(form->RunProgramButton->isEnabled());
  EXPECT_TRUE(form->AutoRunCheckBox->isEnabled());

  for (auto& unit : rig.units) rig.bus->pull(*unit);
  form->SetStopAllEnabled(true);
  form->OnDeviceChange();
  EXPECT_FALSE(form->RunProgramButton->isEnabled());
  EXPECT_FALSE(form->StopAllButton->isEnabled());
  EXPECT_EQ(activations, 3);  // no unit found: nothing to look at again
}

TEST_F(MainFormTest, NoticeDuringARunIsIgnored) {
  SelectSites({0});
  SetProcedure(true);
  noticeDuringRun = true;
  form->RunProgramButtonClick();
  EXPECT_TRUE(looked.load());
  // A rescan would have selected every unit; the notice left the panels alone.
  EXPECT_FALSE(system.Panels().Checked(5));
}

TEST_F(MainFormTest, OptionsButtonShowsTheWindowAndDisablesTheMainWindow) {
  QWidget options;
  form->SetOptionsWindow(&options);
  QTest::mouseClick(form->optionsToolButton, Qt::LeftButton);
  EXPECT_TRUE(options.isVisible());
  EXPECT_FALSE(form->isEnabled());
  form->setEnabled(true);
}

// The same queue on a system drawn by the windows and on a headless one ends with the same panel
// states, selections and counters, and the windows draw exactly those.
TEST_F(MainFormTest, QtAndHeadlessHostsEndWithTheSamePanels) {
  sim::SimRig otherRig = MakeRig();
  SiteSystem headless(*otherRig.bus, StandardSiteConfig());
  HeadlessSiteHost headlessHost;
  headless.AttachHost(headlessHost);
  RescanUnits(headless);
  auto countByParity = [](SiteContext& ctx, const OperationTexts&) {
    const int site = ctx.Site();
    CountRunEnd(ctx.Panels(), site, site % 2 == 0 ? SiteResultCode::Pass : SiteResultCode::Fail);
    return site % 3 == 0 ? SiteResultCode::Fail : SiteResultCode::Pass;
  };
  for (SiteSystem* each : {&system, &headless}) {
    for (Opcode op : {9, 10, 11, 12, 32}) {
      each->Opcodes().Register(
          op, [](SiteContext&, const OperationTexts&) { return SiteResultCode::Pass; });
    }
    each->Opcodes().Register(Opcodes::EmptyStepA, countByParity);
    each->Panels().SetChecked(4, false);
  }
  looked = true;  // nobody needs to look during this run
  for (SiteSystem* each : {&system, &headless}) {
    each->Session().Wait(each->Session().Start(RunRecipe::PcRun, SiteChoice::SelectedSites()));
    each->Panels().UpdateStatistics();
  }
  form->SiteHost().Drain();
  for (int site = 0; site < kSiteCount; ++site) {
    EXPECT_EQ(system.Panels().Status(site), headless.Panels().Status(site)) << site;
    EXPECT_EQ(system.Panels().Checked(site), headless.Panels().Checked(site)) << site;
    EXPECT_EQ(system.Panels().PassCount(site), headless.Panels().PassCount(site)) << site;
    EXPECT_EQ(system.Panels().FailCount(site), headless.Panels().FailCount(site)) << site;
    const TSiteFrame* frame = form->SiteFrame(site);
    EXPECT_EQ(frame->siteCheckBox->isChecked(), headless.Panels().Checked(site)) << site;
    EXPECT_EQ(frame->passCountLabel->text(),
              QStringLiteral("Pass:%1").arg(headless.Panels().PassCount(site)));
  }
  EXPECT_EQ(system.Panels().Status(3), siFail);
  EXPECT_EQ(system.Panels().Status(4), siReady);  // unselected: not run
  EXPECT_EQ(Text("Label6"), QString::number(7));
  headless.Shutdown();
}
