#pragma once
// The options window: a page list on the left and one page per topic. The settings pages write
// System/System.ini the moment a control changes; every activation reloads the settings and
// re-derives the site check lists from the panels.
//
// The pages that run unit commands ("Self Test", "Information", "BIOS Update", "SDCard",
// "Debug") are present with their controls, but their command buttons stay disabled until the
// operations they start are wired in.
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

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
struct RunControls;
class SiteSystem;
class TMainForm;
struct S_SystemPara;
struct SystemPaths;

// What the window needs beyond the system and the main window.
struct OptionsFormConfig {
  bool debugMode = false;               // read once, at creation
  std::function<void()> loadSystemIni;  // the settings load (start-up's)
  // The project window's pending counter; empty while there is no project window.
  std::function<void()> resetProjectSelection;
  // Chooses a folder starting at `initial` (dialog caption "Browse"); empty when cancelled.
  std::function<std::string(QWidget* parent, const std::string& initial)> chooseFolder;
};

class TOptionsForm : public QDialog {
  Q_OBJECT
 public:
  // The system and the main window outlive this window. The settings pages write the
  // system's settings and run controls; the run controls of the main window follow the data
  // buffer's choice.
  TOptionsForm(SiteSystem& system, TMainForm& mainForm, OptionsFormConfig config,
               QWidget* parent = nullptr);
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
  void ShowLimitCaption(std::int32_t rows);
  void ShowIntervalCaption(std::int32_t intervalMs);
  void RefreshCheckLists();
  void WriteInteger(const char* key, std::int64_t value);
  void WriteString(const char* key, const std::string& value);

  S_SystemPara& para_;
  SiteSystem& system_;
  TMainForm& mainForm_;
  const SystemPaths& paths_;
  RunControls* snapshot_;
  OptionsFormConfig config_;
  bool barStyleSaved_ = false;
  bool activating_ = false;  // an activation's own load must not start another
};
