#pragma once
// The program's main window: the site panels, the log, the statistics, the run controls and the
// tool buttons that open the project and options windows.
//
// It draws the system's panel model and statistics (through its Qt site host), shows the log
// pipeline's lines in its log view and starts the run recipes on the system; it decides nothing
// that the engine needs.
#include <QMainWindow>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "site/run_session.h"
#include "site/site_host.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
class QToolButton;
class QStatusBar;
class QFrame;
class Journal;
class SiteSystem;
class QtSiteHost;
class LogQueue;
class TLogView;
class TSiteFrame;
class MouseFlush;
struct S_SystemPara;
struct SystemPaths;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // The system outlives the window. The window attaches its site host and log view to it.
  explicit TMainForm(SiteSystem& system, QWidget* parent = nullptr);
  ~TMainForm() override;

  // --- wiring done by start-up (app/window_wiring.h) ---
  // The windows shown by "Project" and "Options"; each is activated again (UnitsFound) after
  // a device notice that found units.
  void SetOptionsWindow(QWidget* window) { optionsWindow_ = window; }
  void SetProjectWindow(QWidget* window) { projectWindow_ = window; }
  // Lays out the eight panels Site1..Site8 in " Site Status " and resets them (siNone, counters
  // 0, ID i+1). Done by the constructor; may be run again.
  void LayoutSitePanels();

  // --- what other windows and the engine use ---
  LogQueue& LogPipeline();
  QtSiteHost& SiteHost() { return *host_; }
  TLogView& LogView() { return *logView; }
  TSiteFrame* SiteFrame(int site) const;
  // Status bar panel 0: the loaded project's file path, empty when none.
  void SetProjectPath(const std::string& path);
  std::string ProjectPath() const;
  bool ProjectLoaded() const;
  // Enables or disables "Run Program" and "Auto Run" together.
  void SetRunControlsEnabled(bool on);
  // The data buffer chosen in the options (0 the SDRAM, else the SD card): the run controls
  // follow it, so that no other window sets this window's controls one by one.
  void ShowDataBuffer(std::int32_t selection);
  void SetStopAllEnabled(bool on);
  // Grey or restore "Close": while greyed the close query refuses.
  void SetCloseEnabled(bool on) { closeEnabled_ = on; }
  bool CloseEnabled() const { return closeEnabled_; }
  bool Busy() const { return busy_.load(); }
  // A run started elsewhere (the station server) shown as "Run Program" shows its own: the
  // run controls locked, "Stop All" left for an automatic run, until EndOutsideRun.
  void BeginOutsideRun(bool autoRun);
  void EndOutsideRun();

  // A project loaded by any front end: its information text, its path, the run controls on.
  void ShowLoadedProject(const std::string& path, const std::string& info);
  // The main window's part of a settings load: from the SD card the units run without a PC
  // project, so the run controls are on.
  void ShowLoadedSettings();

  // Row-limit check with the current settings (the options window's Execute commands).
  void CheckLogLimit(std::int32_t clearSelection, std::int32_t rowLimit);
  // UI thread: what the site host brings from the panel model.
  void ShowStatistics(std::uint32_t pass, std::uint32_t fail);
  void ShowSiteGroupEnabled(bool enabled);
  bool SiteGroupEnabled() const { return siteGroupEnabled_; }
  // The close query; true when the window may close (also used by closeEvent).
  bool FormCloseQuery();

  // Published controls; each comment gives the objectName that tests and users find it by.
  QToolBar* mainToolBar;               // ToolBar1
  QToolButton* projectToolButton;      // ToolButton1
  QToolButton* optionsToolButton;      // ToolButton2
  QGroupBox* logGroup;                 // GroupBox1
  QFrame* logTimeCaptionPanel;         // Panel2
  QFrame* logTextCaptionPanel;         // Panel3
  QFrame* logButtonPanel;              // Panel5
  QPushButton* clearLogButton;         // Button3
  QPushButton* saveLogButton;          // Button4
  TLogView* logView;                   // RichEdit1
  QGroupBox* siteStatusGroup;          // GroupBox3
  QGroupBox* informationGroup;         // GroupBox4
  QPlainTextEdit* informationMemo;     // Memo1
  QGroupBox* statisticsGroup;          // GroupBox5
  QLabel* passCaptionLabel;            // Label1
  QLabel* failCaptionLabel;            // Label2
  QLabel* totalCaptionLabel;           // Label3
  QLabel* passCountLabel;              // Label4
  QLabel* failCountLabel;              // Label5
  QLabel* totalCountLabel;             // Label6
  QLabel* passRateLabel;               // Label7
  QLabel* failRateLabel;               // Label8
  QPushButton* resetStatisticsButton;  // Button5
  QGroupBox* actionGroup;              // GroupBox2
  QPushButton* RunProgramButton;
  QCheckBox* AutoRunCheckBox;
  QPushButton* StopAllButton;
  QStatusBar* projectStatusBar;  // StatusBar1
  QLabel* projectPathLabel;      // StatusPanel0

 signals:
  // The statistics as just shown (UI thread).
  void StatisticsShown(std::uint32_t pass, std::uint32_t fail);
  // A "Run Program" click's run has ended and the run controls are back.
  void RunEnded();
  // A device notice's rescan found units: the other windows look again.
  void UnitsFound();
  // The close query's log step reached the exit clean-up (the program's, not the window's).
  void ExitCleanupRequested();

 public slots:
  // The platform's device arrival or removal notice.
  void OnDeviceChange();
  // The rescan of the notice; the number of units found.
  int RunRescan();
  void RunProgramButtonClick();
  // The start-up's --auto-run: "Auto Run" ticked and "Run Program" pressed, as the operator would.
  void StartAutomaticRun();
  void StopAllButtonClick();
  void Button3Click();  // log Clear
  void Button4Click();  // log Save
  void Button5Click();  // statistics Reset
  void ToolButton1Click();
  void ToolButton2Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void BuildToolBar();
  void BuildLogGroup();
  void BuildSiteGroup();
  void BuildInformationGroup();
  void BuildStatisticsGroup();
  void BuildActionGroup();
  void ConnectHandlers();
  void StartLogPipeline();
  void RunSites(RunSource source);
  void SetBusy(bool busy);
  void SetRunLocked(bool running, bool autoRun);
  void ShowCentred(QWidget* window);

  SiteSystem& system_;
  S_SystemPara& settings_;
  std::unique_ptr<QtSiteHost> host_;
  NoSiteHost noHost_;  // what the system shows to once the window is gone
  std::unique_ptr<MouseFlush> mouseFlush_;
  std::unique_ptr<RunObserver> observer_;  // the session's events this window shows
  QWidget* optionsWindow_ = nullptr;
  QWidget* projectWindow_ = nullptr;
  std::atomic<bool> busy_{false};
  bool closeEnabled_ = true;
  bool siteGroupEnabled_ = true;  // false while a run holds the selection of sites
  bool closing_ = false;
  bool outsideRunAuto_ = false;          // BeginOutsideRun's until EndOutsideRun
  bool outsideRunProjectButton_ = true;  // "Project" as it was before the outside run
};
