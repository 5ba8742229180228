// The options window's command pages: one frame for every button that starts a recipe on the
// sites ticked in its page's check list, and the displays of what the units reported.
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include "app/message_box.h"
#include "app/mouse_flush.h"
#include "app/options_form.h"
#include "app/options_form_widgets.h"
#include "site/run_session.h"
#include "site/site_system.h"
#include "support/system_para.h"
#include "support/system_paths.h"

namespace {
constexpr double kTranslucentOpacity = 100.0 / 255.0;
constexpr unsigned kWarningFlags = MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2;
constexpr const char* kSelfTestWarning =
    "The Self Test Will Start...\nPlease make sure that the socket is EMPTY!\n"
    "Do You Want to Continue?";
constexpr const char* kQuickFormatWarning =
    "This will clear all data on the SDCard\nDo You Want To Continue?";

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}
}  // namespace

void TOptionsForm::ConnectCommandHandlers() {
  mouseFlush_ = std::make_unique<MouseFlush>(this);
  const std::pair<QPushButton*, void (TOptionsForm::*)()> buttons[] = {
      {selfTestExecuteButton, &TOptionsForm::Button2Click},
      {informationExecuteButton, &TOptionsForm::Button3Click},
      {flashLedButton, &TOptionsForm::Button5Click},
      {biosUpdateExecuteButton, &TOptionsForm::Button6Click},
      {sdCardTestButton, &TOptionsForm::Button12Click},
      {sdCardDetectButton, &TOptionsForm::Button13Click},
      {sdCardFreeSpaceButton, &TOptionsForm::Button14Click},
      {sdCardFilterButton, &TOptionsForm::Button15Click},
      {sdCardQuickFormatButton, &TOptionsForm::Button16Click},
      {debugResetButton, &TOptionsForm::Button7Click},
      {loopRunProgramButton, &TOptionsForm::Button8Click},
      {loopSelfTestButton, &TOptionsForm::Button9Click},
      {loopSetHardwareButton, &TOptionsForm::Button10Click},
      {setHardwareButton, &TOptionsForm::Button11Click},
      {ioModeButton, &TOptionsForm::Button17Click},
      {keyRunStartButton, &TOptionsForm::Button18Click},
      {keyRunStopButton, &TOptionsForm::Button19Click},
      {burnInSelfTestButton, &TOptionsForm::Button22Click},
  };
  for (const auto& [button, handler] : buttons)
    connect(button, &QPushButton::clicked, this, handler);
  const std::pair<TSiteCheckList*, void (TOptionsForm::*)()> lists[] = {
      {selfTestSiteList, &TOptionsForm::CheckListBox1Click},
      {informationSiteList, &TOptionsForm::CheckListBox2Click},
      {sdCardSiteList, &TOptionsForm::CheckListBox4Click},
  };
  for (const auto& [list, handler] : lists) {
    connect(list, &QListWidget::currentRowChanged, this, handler);
    connect(list, &QListWidget::itemClicked, this, handler);
  }
}

void TOptionsForm::RunPageCommand(const PageCommand& command) {
  BeginCommand(command);
  if (!command.before || command.before()) {
    RunSession& session = system_.Session();
    SiteList items = command.list->Items();
    const StartedRun run = session.Start(command.recipe, items);
    command.list->SetItems(items);
    if (run.Started() && command.onStarted) command.onStarted();
    session.WaitForEnd(run);  // the main window keeps the log below its limit
    if (run.Started() && command.after) command.after();
  }
  EndCommand(command);
}

void TOptionsForm::BeginCommand(const PageCommand& command) {
  closeEnabled_ = false;
  pageList->setEnabled(false);
  command.list->setEnabled(false);
  for (QWidget* widget : command.disabled) widget->setEnabled(false);
  if (command.translucent) setWindowOpacity(kTranslucentOpacity);
  if (command.marquee) progressBar->setRange(0, 0);  // a bar without range runs as a marquee
}

void TOptionsForm::EndCommand(const PageCommand& command) {
  command.list->viewport()->update();
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  pageList->setEnabled(true);
  command.list->setEnabled(true);
  for (QWidget* widget : command.disabled) widget->setEnabled(true);
  setWindowOpacity(1.0);
  closeEnabled_ = true;
  mouseFlush_->Flush();
}

void TOptionsForm::Button5Click() {
  PageCommand command;
  command.list = selfTestSiteList;
  command.disabled = {selfTestExecuteButton, flashLedButton};
  command.recipe = RunRecipe::FlashLed;
  command.translucent = command.marquee = true;
  RunPageCommand(command);
}

void TOptionsForm::Button2Click() {
  ExecuteSelfTest();
}

// False when the warning was not answered OK.
bool TOptionsForm::ExecuteSelfTest() {
  PageCommand command;
  command.list = selfTestSiteList;
  command.disabled = {selfTestExecuteButton, flashLedButton};
  command.recipe = RunRecipe::SelfTest;
  command.translucent = command.marquee = true;
  if (ShowMessageBox(kSelfTestWarning, "WARNING", kWarningFlags) != IDOK) {
    EndCommand(command);
    return false;
  }
  command.before = [this] {
    ClearIdleReports(system_, [](S_GetUSBCmdData& report) { report.SelfTestText.clear(); });
    return true;
  };
  command.onStarted = [this] { selfTestDisplay->clear(); };
  command.after = [this] {
    selfTestSiteList->SelectedSiteOrFirst();
    ShowSelectedSelfTest();
  };
  RunPageCommand(command);
  return true;
}

void TOptionsForm::Button3Click() {
  PageCommand command;
  command.list = informationSiteList;
  command.disabled = {informationExecuteButton, flashLedButton};
  command.recipe = RunRecipe::Information;
  command.translucent = command.marquee = true;
  command.before = [this] {
    ClearIdleReports(system_, [](S_GetUSBCmdData& report) {
      report.BiosNumber = 0;
      report.BiosVersion.clear();
      // A new string moved in: GCC 12 warns (-Wrestrict) on an inlined copy-assign of "0".
      report.SerialText = std::string(1, '0');
    });
    return true;
  };
  command.onStarted = [this] {
    for (QLabel* label : {biosNumberLabel, biosVersionLabel, seriesNumberLabel, dateTimeIdLabel})
      label->clear();
  };
  command.after = [this] {
    informationSiteList->SelectedSiteOrFirst();
    ShowSelectedInformation();
  };
  RunPageCommand(command);
}

TOptionsForm::PageCommand TOptionsForm::SdCardCommand(RunRecipe recipe) {
  PageCommand command;
  command.list = sdCardSiteList;
  command.disabled = {sdCardDetectButton, sdCardTestButton, sdCardFreeSpaceButton,
                      sdCardFilterButton, sdCardQuickFormatButton};
  command.recipe = recipe;
  command.marquee = true;
  return command;
}

void TOptionsForm::Button13Click() {
  RunPageCommand(SdCardCommand(RunRecipe::SdDetect));
}

void TOptionsForm::Button12Click() {
  RunPageCommand(SdCardCommand(RunRecipe::SdTest));
}

void TOptionsForm::Button14Click() {
  PageCommand command = SdCardCommand(RunRecipe::SdFreeSpace);
  command.before = [this] {
    ClearIdleReports(system_, [](S_GetUSBCmdData& report) { report.SdFreeKBytes = 0; });
    return true;
  };
  command.after = [this] {
    sdCardSiteList->SelectedSiteOrFirst();
    ShowSelectedFreeSpace();
  };
  RunPageCommand(command);
}

void TOptionsForm::Button15Click() {
  RunPageCommand(SdCardCommand(RunRecipe::SdFilter));
}

void TOptionsForm::Button16Click() {
  // Refused, the format leaves the window exactly as it was.
  if (ShowMessageBox(kQuickFormatWarning, "WARNING", kWarningFlags) != IDOK) return;
  RunPageCommand(SdCardCommand(RunRecipe::SdQuickFormat));
}

void TOptionsForm::CheckListBox1Click() {
  ShowSelectedSelfTest();
}

void TOptionsForm::CheckListBox2Click() {
  ShowSelectedInformation();
}

void TOptionsForm::CheckListBox4Click() {
  ShowSelectedFreeSpace();
}

void TOptionsForm::ShowSelectedInformation() {
  const int site = informationSiteList->currentRow();
  QLabel* const labels[] = {biosNumberLabel, biosVersionLabel, seriesNumberLabel, dateTimeIdLabel};
  for (QLabel* label : labels) label->clear();
  // A site that is held still writes its report; one that is not shows it.
  if (!informationSiteList->ItemEnabled(site) || SiteHeld(system_.Panels().Status(site))) return;
  const S_GetUSBCmdData& report = system_.CmdData(site);
  if (report.BiosNumber == 0 || report.BiosVersion.empty() || report.SerialText.empty()) return;
  biosNumberLabel->setText(QString::number(report.BiosNumber));
  biosVersionLabel->setText(Text(report.BiosVersion));
  seriesNumberLabel->setText(Text(report.SerialText));
  dateTimeIdLabel->setText(QString::number(system_.Link(site).GetOrderKey()));
}

void TOptionsForm::ShowSelectedSelfTest() {
  const int site = selfTestSiteList->currentRow();
  selfTestDisplay->clear();
  if (!selfTestSiteList->ItemEnabled(site) || SiteHeld(system_.Panels().Status(site))) return;
  const QString text = Text(system_.CmdData(site).SelfTestText);
  if (!text.trimmed().isEmpty()) selfTestDisplay->setPlainText(text);
}

void TOptionsForm::ShowSelectedFreeSpace() {
  const int site = sdCardSiteList->currentRow();
  sdCardFreeSpaceLabel->clear();
  if (!sdCardSiteList->ItemEnabled(site) || SiteHeld(system_.Panels().Status(site))) return;
  sdCardFreeSpaceLabel->setText(QString::number(system_.CmdData(site).SdFreeKBytes) +
                                QStringLiteral(" KBytes"));
}
