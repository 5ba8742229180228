#pragma once
// The options window: a page list on the left and one page per topic. The settings pages write
// System/System.ini the moment a control changes; every activation reloads the settings and
// re-derives the site check lists from the panels.
//
// The command pages ("Self Test", "Information", "BIOS Update", "SDCard") start a run recipe on
// the sites ticked in their own check list and wait for them; the "Debug" page acts on the
// sites selected in the main window. The work runs in the site workers; the window shows what
// they reported once they have ended.
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "site/run_session.h"
#include "site/site_status.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTextEdit;
class QFrame;
class TRadioGroup;
class TSiteCheckList;
class MouseFlush;
struct RunControls;
class SiteSystem;
class RunObserver;
struct S_SystemPara;
struct SystemPaths;

class TOptionsForm : public QDialog {
  Q_OBJECT
 public:
  // The system outlives this window. The settings pages write the system's settings and run
  // controls; what the other windows must follow is said by the signals below. `debugMode`
  // (read once, at creation) keeps the "Debug" page.
  TOptionsForm(SiteSystem& system, bool debugMode, QWidget* parent = nullptr);
  ~TOptionsForm() override;

  // Creation: page list, check lists, the first settings load, the "Debug" entry.
  void FormCreate();
  // Each activation (and after a device notice that found units).
  void FormActivate();
  void FormShow();

  // The options-window part of the settings load: interval track bar and caption, buffer
  // selection and the removal of the SD card pages without handler mode, display mode.
  void ShowLoadedSettings(bool handlerMode);
  // The start-up defaults of the interval track bar (maximum 96, labels "200ms", "5000ms").
  void SetIntervalDefaults();
  // Removes the page list entry with this text; nothing when it is gone already.
  void RemovePage(const QString& text);
  QStringList PageNames() const;

  // Published controls; each comment gives the objectName that tests and users find it by.
  QListWidget* pageList;      // ListBox1
  QStackedWidget* pageStack;  // PageControl1
  QProgressBar* progressBar;  // ProgressBar1
  // "Log Settings"
  QGroupBox* logFolderGroup;                 // GroupBox1
  QLineEdit* logFolderEdit;                  // Edit1
  QPushButton* browseLogFolderButton;        // Button1
  TRadioGroup* clearingSelectionRadioGroup;  // RadioGroup1
  QGroupBox* messageLimitGroup;              // GroupBox2
  QSlider* messageLimitTrackBar;             // TrackBar1
  QLabel* messageLimitMinLabel;              // Label1
  QLabel* messageLimitMaxLabel;              // Label2
  TRadioGroup* LogDisplayModeRadioGroup;
  // "Self Test"
  TSiteCheckList* selfTestSiteList;    // CheckListBox1
  QPushButton* selfTestExecuteButton;  // Button2
  QTextEdit* selfTestDisplay;          // RichEdit1
  QPushButton* flashLedButton;         // Button5
  // "Data Buffer"
  TRadioGroup* bufferSelectRadioGroup;  // RadioGroup2
  // "Information"
  TSiteCheckList* informationSiteList;    // CheckListBox2
  QLabel* biosNumberLabel;                // Label6
  QLabel* biosVersionLabel;               // Label7
  QLabel* seriesNumberLabel;              // Label8
  QLabel* dateTimeIdLabel;                // Label15
  QPushButton* informationExecuteButton;  // Button3
  QPushButton* informationStopAllButton;  // Button4
  // "BIOS Update"
  QLabel* firmwareVersionLabel;          // Label10
  QPushButton* biosUpdateExecuteButton;  // Button6
  TSiteCheckList* biosUpdateSiteList;    // CheckListBox3
  // "Auto Run"
  QGroupBox* intervalGroup;            // GroupBox26
  QSlider* intervalTrackBar;           // TrackBar2
  QLabel* intervalMinLabel;            // Label16: "200ms"
  QLabel* intervalMaxLabel;            // Label17: "5000ms"
  QCheckBox* ignoreInsertionCheckBox;  // CheckBox1
  // "SDCard"
  TSiteCheckList* sdCardSiteList;        // CheckListBox4
  QFrame* sdCardPanel;                   // Panel1
  QLabel* sdCardFreeSpaceLabel;          // Label13
  QPushButton* sdCardTestButton;         // Button12
  QPushButton* sdCardDetectButton;       // Button13
  QPushButton* sdCardFreeSpaceButton;    // Button14
  QPushButton* sdCardFilterButton;       // Button15
  QPushButton* sdCardQuickFormatButton;  // Button16
  // "Debug"
  QPushButton* debugResetButton;       // Button7
  QLineEdit* loopCountEdit;            // Edit2
  QLabel* loopCounterLabel;            // Label11
  QPushButton* loopRunProgramButton;   // Button8
  QPushButton* loopSelfTestButton;     // Button9
  QPushButton* loopSetHardwareButton;  // Button10
  QPushButton* setHardwareButton;      // Button11
  QPushButton* ioModeButton;           // Button17
  QPushButton* keyRunStartButton;      // Button18
  QPushButton* keyRunStopButton;       // Button19
  QPushButton* burnInSelfTestButton;   // Button22

 public slots:
  void ListBox1Click();
  void Button1Click();
  void RadioGroup1Click(int index);
  void TrackBar1Change(int position);
  void LogDisplayModeRadioGroupClick(int index);
  void RadioGroup2Click(int index);
  void TrackBar2Change(int position);
  void CheckBox1Click(bool checked);
  // Command pages.
  void CheckListBox1Click();
  void CheckListBox2Click();
  void CheckListBox4Click();
  void Button2Click();   // Self Test: Execute
  void Button3Click();   // Information: Execute
  void Button5Click();   // Self Test: Flash LED
  void Button6Click();   // BIOS Update: Execute
  void Button12Click();  // SDCard: Test
  void Button13Click();  // SDCard: Detect
  void Button14Click();  // SDCard: Free Space
  void Button15Click();  // SDCard: Filter
  void Button16Click();  // SDCard: Quick Format
  // Debug page.
  void Button7Click();   // Reset
  void Button8Click();   // loop: Run Program
  void Button9Click();   // loop: SelfTest
  void Button10Click();  // loop: Set Hardware
  void Button11Click();  // Set Hardware
  void Button17Click();  // IO Mode
  void Button18Click();  // key run Start
  void Button19Click();  // key run Stop
  void Button22Click();  // Burn In SelfTest

 public:
  // Whether "Close" is available (greyed while a page command runs).
  bool CloseEnabled() const { return closeEnabled_; }

 signals:
  // The settings are to be read again (creation and every activation); the program's load
  // runs at once and its observers show what it read.
  void SettingsLoadRequested();
  // "Data Buffer" chose the SDRAM (0) or the SD card (1): the run controls follow it.
  void DataBufferChosen(std::int32_t selection);
  // One pass of the "Debug" page's "Run Program" loop: the main window's own "Run Program".
  void RunProgramRequested();
  // The window closed: the main window, disabled while it was shown, takes input again.
  void Closed();

 protected:
  void changeEvent(QEvent* event) override;
  void reject() override { close(); }  // Escape closes like the close button
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  QWidget* AddPage(const QString& caption);
  void BuildLogSettingsPage();
  void BuildSelfTestPage();
  void BuildDataBufferPage();
  void BuildInformationPage();
  void BuildBiosUpdatePage();
  void BuildAutoRunPage();
  void BuildSdCardPage();
  void BuildDebugPage();
  void ConnectHandlers();
  // What a page's command is made of: its list, what it disables, its recipe and steps.
  struct PageCommand {
    TSiteCheckList* list = nullptr;
    std::vector<QWidget*> disabled;
    RunRecipe recipe = RunRecipe::FlashLed;
    bool translucent = false;
    bool marquee = false;
    std::function<bool()> before;     // false: nothing is started
    std::function<void()> onStarted;  // once, when at least one site was started
    std::function<void()> after;      // after the wait
  };
  void ConnectCommandHandlers();
  void RunPageCommand(const PageCommand& command);
  void BeginCommand(const PageCommand& command);
  void EndCommand(const PageCommand& command);
  bool ExecuteSelfTest();
  PageCommand SdCardCommand(RunRecipe recipe);
  void ShowSelectedInformation();
  void ShowSelectedSelfTest();
  void ShowSelectedFreeSpace();
  void PrepareFirmwareImage();
  void RunDebugCommand(RunRecipe recipe);
  void RunLoop(const std::function<bool()>& pass, bool showPasses);
  void ShowLimitCaption(std::int32_t rows);
  void ShowIntervalCaption(std::int32_t intervalMs);
  void RefreshCheckLists();
  void WriteInteger(const char* key, std::int64_t value);
  void WriteString(const char* key, const std::string& value);

  S_SystemPara& para_;
  SiteSystem& system_;
  const SystemPaths& paths_;
  RunControls* snapshot_;
  bool debugMode_;
  std::unique_ptr<RunObserver> observer_;  // the settings loads
  bool barStyleSaved_ = false;
  bool activating_ = false;  // an activation's own load must not start another
  bool closeEnabled_ = true;
  bool loopAbandoned_ = false;  // the window was closed while a debug loop ran
  StartedRun keyRun_;           // where the key run runs until "Stop"
  std::unique_ptr<MouseFlush> mouseFlush_;
};
