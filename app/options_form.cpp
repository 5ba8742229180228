#include "app/options_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QTextEdit>
#include <utility>

#include "app/file_dialogs.h"
#include "app/mouse_flush.h"
#include "app/options_form_widgets.h"
#include "app/window_observer.h"
#include "site/run_controls.h"
#include "site/site_start_rule.h"
#include "site/site_system.h"
#include "support/system_ini.h"
#include "support/system_para.h"
#include "support/system_paths.h"

namespace {
constexpr const char* kWriteFailure = "Write System.ini Fail!";

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// The settings as every load read them, shown on this window's thread.
class OptionsWindowObserver final : public WindowObserver {
 public:
  OptionsWindowObserver(RunSession& session, TOptionsForm& form)
      : WindowObserver(session, form), form_(form) {}
  void OnSettingsLoaded(bool handlerMode) override {
    OnWindowThread([&form = form_, handlerMode] { form.ShowLoadedSettings(handlerMode); });
  }

 private:
  TOptionsForm& form_;
};
}  // namespace

TOptionsForm::TOptionsForm(SiteSystem& system, bool debugMode, QWidget* parent)
    : QDialog(parent),
      para_(system.Para()),
      system_(system),
      paths_(system.Paths()),
      snapshot_(&system.Controls()),
      debugMode_(debugMode) {
  setObjectName(QStringLiteral("OptionsForm"));
  BuildWindow();
  ConnectHandlers();
  ConnectCommandHandlers();
  observer_ = std::make_unique<OptionsWindowObserver>(system_.Session(), *this);
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::ConnectHandlers() {
  connect(pageList, &QListWidget::itemSelectionChanged, this, &TOptionsForm::ListBox1Click);
  connect(browseLogFolderButton, &QPushButton::clicked, this, &TOptionsForm::Button1Click);
  connect(clearingSelectionRadioGroup, &TRadioGroup::Clicked, this,
          &TOptionsForm::RadioGroup1Click);
  connect(messageLimitTrackBar, &QSlider::valueChanged, this, &TOptionsForm::TrackBar1Change);
  connect(LogDisplayModeRadioGroup, &TRadioGroup::Clicked, this,
          &TOptionsForm::LogDisplayModeRadioGroupClick);
  connect(bufferSelectRadioGroup, &TRadioGroup::Clicked, this, &TOptionsForm::RadioGroup2Click);
  connect(intervalTrackBar, &QSlider::valueChanged, this, &TOptionsForm::TrackBar2Change);
  connect(ignoreInsertionCheckBox, &QCheckBox::toggled, this, &TOptionsForm::CheckBox1Click);
}

void TOptionsForm::FormCreate() {
  pageList->setCurrentRow(0);
  ListBox1Click();
  messageLimitMinLabel->setText(QStringLiteral("10000"));
  messageLimitMaxLabel->setText(QStringLiteral("50000"));
  {
    const QSignalBlocker block(messageLimitTrackBar);
    messageLimitTrackBar->setMaximum(SettingScale::LimitMaxPosition);
    messageLimitTrackBar->setPageStep(1);
  }
  for (TSiteCheckList* list : {selfTestSiteList, informationSiteList, biosUpdateSiteList})
    list->setCurrentRow(0);
  emit SettingsLoadRequested();  // the paths are set by start-up before
  PrepareFirmwareImage();
  if (!debugMode_) RemovePage(QStringLiteral("Debug"));
}

void TOptionsForm::FormShow() {
  barStyleSaved_ = true;  // the bar's normal look is what it has now
}

void TOptionsForm::FormActivate() {
  // A command's wait lets the window be activated again (after its warning box, or by a
  // click); that must not re-tick its lists, stop its marquee or clear reports mid-command.
  if (activating_ || !closeEnabled_) return;
  activating_ = true;
  emit SettingsLoadRequested();
  progressBar->setRange(0, 100);  // the saved style back: no marquee
  progressBar->setValue(0);
  logFolderEdit->setText(Text(para_.MegSaveDir));
  clearingSelectionRadioGroup->SetItemIndex(para_.MBoxClrSel);
  {
    // Showing a loaded value is no change by the user: nothing is written back.
    const QSignalBlocker block(messageLimitTrackBar);
    messageLimitTrackBar->setValue(LimitTrackPosition(para_.MegLimitRows));
  }
  ShowLimitCaption(LimitOfPosition(messageLimitTrackBar->value()));
  selfTestDisplay->clear();
  for (QLabel* label : {biosNumberLabel, biosVersionLabel, seriesNumberLabel, dateTimeIdLabel})
    label->clear();
  // Status-based: a worker that has set its end state writes no report any more, even while
  // its thread is still finishing; a key run's sites keep theirs.
  ClearIdleReports(system_, [](S_GetUSBCmdData& report) {
    report.BiosNumber = 0;
    report.BiosVersion.clear();
    report.SerialText.clear();
    report.SelfTestText.clear();
  });
  RefreshCheckLists();
  bufferSelectRadioGroup->SetItemIndex(para_.DataBufferSel);
  activating_ = false;
}

void TOptionsForm::RefreshCheckLists() {
  for (int site = 0; site < kSiteCount; ++site) {
    const bool present = system_.Panels().Status(site) != siNone;
    for (TSiteCheckList* list :
         {selfTestSiteList, informationSiteList, biosUpdateSiteList, sdCardSiteList}) {
      list->SetSitePresent(site, present);
    }
  }
  for (TSiteCheckList* list :
       {selfTestSiteList, informationSiteList, biosUpdateSiteList, sdCardSiteList}) {
    list->viewport()->update();
  }
}

void TOptionsForm::ShowLoadedSettings(bool handlerMode) {
  {
    const QSignalBlocker block(intervalTrackBar);
    intervalTrackBar->setValue(IntervalTrackPosition(para_.AutoRunInterval));
  }
  ShowIntervalCaption(para_.AutoRunInterval);
  if (snapshot_ != nullptr)
    snapshot_->AutoRunInterval.store(IntervalOfPosition(intervalTrackBar->value()));
  if (!handlerMode) {
    bufferSelectRadioGroup->SetItemIndex(0);
    RemovePage(QStringLiteral("SDCard"));
    RemovePage(QStringLiteral("Data Buffer"));
  }
  LogDisplayModeRadioGroup->SetItemIndex(para_.LogDisplayMode);
}

void TOptionsForm::SetIntervalDefaults() {
  const QSignalBlocker block(intervalTrackBar);
  intervalTrackBar->setMaximum(SettingScale::IntervalMaxPosition);
  intervalMinLabel->setText(QString::number(SettingScale::IntervalBase) + QStringLiteral("ms"));
  intervalMaxLabel->setText(QString::number(IntervalOfPosition(SettingScale::IntervalMaxPosition)) +
                            QStringLiteral("ms"));
}

void TOptionsForm::RemovePage(const QString& text) {
  const auto items = pageList->findItems(text, Qt::MatchExactly);
  for (QListWidgetItem* item : items) delete pageList->takeItem(pageList->row(item));
}

QStringList TOptionsForm::PageNames() const {
  QStringList names;
  for (int i = 0; i < pageList->count(); ++i) names << pageList->item(i)->text();
  return names;
}

void TOptionsForm::ListBox1Click() {
  const QListWidgetItem* item = pageList->currentItem();
  if (item == nullptr) return;
  for (int i = 0; i < pageStack->count(); ++i) {
    QWidget* page = pageStack->widget(i);
    if (page->property("caption").toString() == item->text()) {
      pageStack->setCurrentWidget(page);
      return;
    }
  }
}

void TOptionsForm::Button1Click() {
  const std::string folder = ChooseFolder(this, "Browse", logFolderEdit->text().toStdString());
  if (folder.empty()) return;
  logFolderEdit->setText(Text(folder));
  para_.MegSaveDir = folder;
  WriteString(SystemIni::MegSaveDir, folder);
}

void TOptionsForm::RadioGroup1Click(int index) {
  para_.MBoxClrSel = index;
  WriteInteger(SystemIni::MBoxClrSel, index);
}

void TOptionsForm::TrackBar1Change(int position) {
  const std::int32_t rows = LimitOfPosition(position);
  para_.MegLimitRows = rows;
  WriteInteger(SystemIni::MegLimitRows, rows);
  ShowLimitCaption(rows);
}

void TOptionsForm::LogDisplayModeRadioGroupClick(int index) {
  para_.LogDisplayMode = index;
  system_.LogPipeline().SetLogDisplayMode(index);
  WriteInteger(SystemIni::LogDisplayMode, index);
}

void TOptionsForm::RadioGroup2Click(int index) {
  emit DataBufferChosen(index);
  WriteInteger(SystemIni::DataBufferSel, index);
  para_.DataBufferSel = index;
}

void TOptionsForm::TrackBar2Change(int position) {
  const std::int32_t interval = IntervalOfPosition(position);
  // The file only: the automatic runs read the track bar itself (through the snapshot).
  if (snapshot_ != nullptr) snapshot_->AutoRunInterval.store(interval);
  WriteInteger(SystemIni::AutoRunInterval, interval);
  ShowIntervalCaption(interval);
}

void TOptionsForm::CheckBox1Click(bool checked) {
  if (snapshot_ != nullptr) snapshot_->IgnoreInsertionDetection.store(checked);
}

void TOptionsForm::ShowLimitCaption(std::int32_t rows) {
  messageLimitGroup->setTitle(QStringLiteral(" Message Limit = ") + QString::number(rows) +
                              QStringLiteral(" lines"));
}

void TOptionsForm::ShowIntervalCaption(std::int32_t intervalMs) {
  intervalGroup->setTitle(QStringLiteral(" Interval Time = ") + QString::number(intervalMs) +
                          QStringLiteral("ms "));
}

void TOptionsForm::WriteInteger(const char* key, std::int64_t value) {
  if (!WriteSystemIniInteger(paths_.BaseDir, key, value)) {
    system_.Log().Write(kWriteFailure, LogColour::Red);
  }
}

void TOptionsForm::WriteString(const char* key, const std::string& value) {
  if (!WriteSystemIniString(paths_.BaseDir, key, value)) {
    system_.Log().Write(kWriteFailure, LogColour::Red);
  }
}

void TOptionsForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TOptionsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TOptionsForm::closeEvent(QCloseEvent* event) {
  if (!closeEnabled_) {  // "Close" is greyed while a page command runs
    event->ignore();
    return;
  }
  loopAbandoned_ = true;
  hide();
  event->accept();
  emit Closed();
}
