// The options window's "BIOS Update" page: the database's firmware version, and the update run
// on the sites ticked in its list.
#include <QLabel>
#include <QPushButton>

#include "app/message_box.h"
#include "app/options_form.h"
#include "app/options_form_widgets.h"
#include "site/firmware_files.h"
#include "site/firmware_run.h"
#include "site/site_system.h"

namespace {
FirmwareSiteList FirmwareSitesOf(const SiteList& items) {
  FirmwareSiteList sites;
  for (std::size_t i = 0; i < items.size(); ++i) sites[i] = {items[i].Enabled, items[i].Ticked};
  return sites;
}

SiteList ItemsOf(const FirmwareSiteList& sites) {
  SiteList items;
  for (std::size_t i = 0; i < sites.size(); ++i) items[i] = {sites[i].Enabled, sites[i].Checked};
  return items;
}
}  // namespace

// At creation: with a firmware image at hand, its version is shown and "Execute" offered.
void TOptionsForm::PrepareFirmwareImage() {
  if (!ExtractFirmware(system_)) return;
  firmwareVersionLabel->setText(
      QString::fromStdString(FirmwareVersionOf(FirmwareImagePath(system_.Paths()))));
  biosUpdateExecuteButton->setEnabled(true);
}

void TOptionsForm::Button6Click() {
  PageCommand command;
  command.list = biosUpdateSiteList;
  command.disabled = {biosUpdateExecuteButton};
  command.translucent = command.marquee = true;
  if (ShowMessageBox(FirmwareQuestionText(firmwareVersionLabel->text().toStdString()), "QUESTION",
                     kFirmwareQuestionFlags) != IDOK) {
    EndCommand(command);
    return;
  }
  BeginCommand(command);
  FirmwareSiteList sites = FirmwareSitesOf(biosUpdateSiteList->Items());
  RunFirmwareUpdate(system_, sites);  // extracts, starts, waits and removes the files
  biosUpdateSiteList->SetItems(ItemsOf(sites));
  EndCommand(command);
}
