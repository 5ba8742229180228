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

  // Published controls (objectName = member name).
  QListWidget* ListBox1;
  QStackedWidget* PageControl1;
  QProgressBar* ProgressBar1;
  // "Log Settings"
  QGroupBox* GroupBox1;
  QLineEdit* Edit1;
  QPushButton* Button1;
  TRadioGroup* RadioGroup1;
  QGroupBox* GroupBox2;
  QSlider* TrackBar1;
  QLabel* Label1;
  QLabel* Label2;
  TRadioGroup* LogDisplayModeRadioGroup;
  // "Self Test"
  TSiteCheckList* CheckListBox1;
  QPushButton* Button2;
  QTextEdit* RichEdit1;
  QPushButton* Button5;
  // "Data Buffer"
  TRadioGroup* RadioGroup2;
  // "Information"
  TSiteCheckList* CheckListBox2;
  QLabel* Label6;
  QLabel* Label7;
  QLabel* Label8;
  QLabel* Label15;
  QPushButton* Button3;
  QPushButton* Button4;
  // "BIOS Update"
  QLabel* Label10;
  QPushButton* Button6;
  TSiteCheckList* CheckListBox3;
  // "Auto Run"
  QGroupBox* GroupBox26;
  QSlider* TrackBar2;
  QLabel* Label16;  // "200ms"
  QLabel* Label17;  // "5000ms"
  QCheckBox* CheckBox1;
  // "SDCard"
  TSiteCheckList* CheckListBox4;
  QFrame* Panel1;
  QLabel* Label13;
  QPushButton* Button12;
  QPushButton* Button13;
  QPushButton* Button14;
  QPushButton* Button15;
  QPushButton* Button16;
  // "Debug"
  QPushButton* Button7;
  QLineEdit* Edit2;
  QLabel* Label11;
  QPushButton* Button8;
  QPushButton* Button9;
  QPushButton* Button10;
  QPushButton* Button11;
  QPushButton* Button17;
  QPushButton* Button18;
  QPushButton* Button19;
  QPushButton* Button22;

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
