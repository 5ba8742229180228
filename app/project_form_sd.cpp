// The project window's "From SDCard" page: the sites' check list, the selected site's stored
// projects with the row it runs painted, the chosen project's information, and Add, Delete and
// Load, each run as the site workers' card queues through the store's front-end calls.
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QToolButton>
#include <optional>

#include "app/message_box.h"
#include "app/mouse_flush.h"
#include "app/project_form.h"
#include "site/card_store.h"
#include "site/site_system.h"

namespace {
constexpr int kPathColumn = 1;
const QColor kRunRowColour(0x00, 0xFF, 0xFF);  // 0xFFFF00 in the 0x00BBGGRR order
constexpr const char* kDeleteCardQuestion = "Are You Sure you want to Delete This Project?";

bool ItemEnabled(const QListWidgetItem* item) {
  return (item->flags() & Qt::ItemIsEnabled) != 0;
}

void SetItemEnabled(QListWidgetItem* item, bool enabled) {
  item->setFlags(enabled ? item->flags() | Qt::ItemIsEnabled : item->flags() & ~Qt::ItemIsEnabled);
}
}  // namespace

void TProjectForm::ConnectCardPage() {
  connect(sdCardSiteList, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { CheckListBox1Click(sdCardSiteList->row(item)); });
  connect(sdCardProjectGrid, &QTableWidget::cellClicked, this,
          [this](int row, int) { StringGrid2SelectCell(row); });
  connect(sdCardAddButton, &QToolButton::clicked, this, &TProjectForm::ToolButton4Click);
  connect(sdCardDeleteButton, &QToolButton::clicked, this, &TProjectForm::ToolButton5Click);
  connect(sdCardLoadButton, &QToolButton::clicked, this, &TProjectForm::ToolButton6Click);
}

int TProjectForm::SDCardProjNumber(int site) const {
  return IsSiteIndex(site) ? system_.CardView().RunRow(site) : 0;
}

void TProjectForm::SetSDCardProjNumber(int site, int row) {
  if (!IsSiteIndex(site)) return;
  system_.CardView().SetRunRow(site, row);
  PaintCardRunRow();
}

int TProjectForm::CardSite() const {
  return system_.CardView().SelectedSite();
}

void TProjectForm::ShowCardPage() {
  const std::vector<std::string> rows = system_.CardView().Rows(CardSite());
  for (int row = 1; row < sdCardProjectGrid->rowCount(); ++row) {
    const std::size_t at = static_cast<std::size_t>(row);
    const std::string text = at < rows.size() ? rows[at] : "";
    sdCardProjectGrid->item(row, kPathColumn)->setText(QString::fromStdString(text));
  }
  sdCardInfoMemo->setPlainText(QString::fromStdString(system_.CardView().InfoText()));
  PaintCardRunRow();
}

void TProjectForm::PaintCardRunRow() {
  const int site = CardSite();
  const QListWidgetItem* item = sdCardSiteList->item(site);
  const bool shown = item != nullptr && item->checkState() == Qt::Checked;
  const int runRow = shown ? SDCardProjNumber(site) : 0;
  for (int row = 1; row < sdCardProjectGrid->rowCount(); ++row) {
    const QBrush brush = row == runRow ? QBrush(kRunRowColour) : QBrush();
    sdCardProjectGrid->item(row, 0)->setBackground(brush);
    sdCardProjectGrid->item(row, kPathColumn)->setBackground(brush);
  }
}

// A click that arrives while card work runs is dropped, and so are those queued meanwhile:
// the page would otherwise start a second queue on sites that are still working.
void TProjectForm::RunCardWork(const std::function<void()>& work) {
  if (cardWorkRunning_) return;
  cardWorkRunning_ = true;
  sdCardPage->setEnabled(false);
  progressBar->setRange(0, 0);  // marquee while the sites work
  work();
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  sdCardPage->setEnabled(true);
  ShowCardPage();
  mouseFlush_->Flush();
  cardWorkRunning_ = false;
}

std::vector<int> TProjectForm::CardTargetSites() {
  std::vector<int> sites;
  for (int site = 0; site < kSiteCount; ++site) {
    QListWidgetItem* item = sdCardSiteList->item(site);
    const TSiteStatus status = system_.Panels().Status(site);
    const bool present = status != siNone;
    if (item->checkState() != Qt::Checked || !ItemEnabled(item)) {
      item->setCheckState(Qt::Unchecked);
      SetItemEnabled(item, present);
    } else if (!present) {
      item->setCheckState(Qt::Unchecked);
      SetItemEnabled(item, false);
    } else if (status != siWorking) {
      sites.push_back(site);
    }
  }
  return sites;
}

void TProjectForm::CheckListBox1Click(int site) {
  QListWidgetItem* item = sdCardSiteList->item(site);
  if (item == nullptr || cardWorkRunning_) return;
  const bool present = system_.Panels().Status(site) != siNone;
  if (!ItemEnabled(item) || !present) {
    item->setCheckState(Qt::Unchecked);
    SetItemEnabled(item, present);
    system_.CardView().Forget(CardSite());
    ShowCardPage();
    return;
  }
  RunCardWork([&] { ChooseCardSite(system_, site); });
}

void TProjectForm::StringGrid2SelectCell(int row) {
  const int site = CardSite();
  if (!IsSiteIndex(site) || row < 1 || cardWorkRunning_) return;
  if (system_.Panels().Status(site) == siNone) {
    QListWidgetItem* item = sdCardSiteList->item(site);
    item->setCheckState(Qt::Unchecked);
    SetItemEnabled(item, false);
    return;
  }
  RunCardWork([&] { ChooseCardRow(system_, site, row); });
}

// "Add": the chosen project onto every checked card, where it becomes the run project.
void TProjectForm::ToolButton4Click() {
  if (cardWorkRunning_) return;
  const std::vector<std::string> files = AskForFiles(false);
  if (files.empty()) return;
  const std::vector<int> sites = CardTargetSites();
  RunCardWork([&] { AddProjectToCards(system_, files.front(), sites); });
}

void TProjectForm::ToolButton5Click() {
  const int site = CardSite();
  if (!IsSiteIndex(site)) return;
  const auto confirm = [] {
    return ShowMessageBox(kDeleteCardQuestion, "QUESTION",
                          MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
  };
  RunCardWork([&] { DeleteSelectedCardProject(system_, site, confirm); });
}

// "Load": the selected site's project becomes the run project of every checked card, the
// selected site's own included.
void TProjectForm::ToolButton6Click() {
  const int site = CardSite();
  if (!IsSiteIndex(site) || cardWorkRunning_) return;
  const TSiteStatus status = system_.Panels().Status(site);
  if (status == siNone || status == siWorking) return;
  const std::optional<std::string> name = SelectedCardProject(system_, site);
  if (!name) return;
  const std::vector<int> sites = CardTargetSites();
  RunCardWork([&] { CopyProjectBetweenCards(system_, site, *name, sites); });
}
