#include "app/project_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/file_dialogs.h"
#include "app/message_box.h"
#include "app/mouse_flush.h"
#include "app/window_observer.h"
#include "project/cproject.h"
#include "site/card_store.h"
#include "site/project_load.h"
#include "site/run_session.h"
#include "site/site_system.h"
#include "support/system_para.h"

namespace fs = std::filesystem;

namespace {
constexpr int kGridRows = static_cast<int>(kProjectHistoryMax) + 1;  // the header row and 20
constexpr int kPathColumn = 1;
const QColor kLoadedRowColour(0x00, 0xFF, 0xFF);  // 0xFFFF00 in the 0x00BBGGRR order
constexpr const char* kProjectFilter = "Project File(*.zvprj)";
constexpr const char* kAddTitle = "Add Project";
constexpr const char* kBadFiles = "\n\rProject File Format or Load File Path Error!";
constexpr const char* kKnownFiles = "\n\rProject File Path Already Exists";
constexpr const char* kDeleteQuestion =
    "Are You Sure you want to Delete This Project by Reference?\r\n";
constexpr const char* kNoHistoryFile = "Project List File Doesn't Exist!";
constexpr int kSdCardPage = 1;
constexpr qreal kBusyOpacity = 0.6;

bool FileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(path, error);
}

QTableWidget* MakeGrid(QWidget* parent, const char* name) {
  auto* grid = new QTableWidget(kGridRows, 2, parent);
  grid->setObjectName(name);
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->setColumnWidth(0, 28);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int row = 0; row < kGridRows; ++row) {
    auto* number = new QTableWidgetItem(row == 0 ? QString() : QString::number(row));
    auto* path = new QTableWidgetItem(row == 0 ? QString(kProjectHistoryHeader) : QString());
    if (row == 0) {  // the fixed title row
      number->setFlags(Qt::ItemIsEnabled);
      path->setFlags(Qt::ItemIsEnabled);
    }
    grid->setItem(row, 0, number);
    grid->setItem(row, kPathColumn, path);
  }
  return grid;
}

QToolButton* MakeToolButton(QToolBar* bar, const char* name, const char* text) {
  auto* button = new QToolButton(bar);
  button->setObjectName(name);
  button->setText(text);
  bar->addWidget(button);
  return button;
}

std::string Lines(const std::vector<std::string>& paths) {
  std::string text;
  for (const std::string& path : paths) text += path + "\n";
  return text;
}
}  // namespace

namespace {
class ProjectWindowObserver final : public WindowObserver {
 public:
  ProjectWindowObserver(RunSession& session, TProjectForm& form)
      : WindowObserver(session, form), form_(form) {}
  void OnProjectLoaded(const std::string& path) override {
    OnWindowThread([&form = form_, path] { form.NoteLoadedProject(path); });
  }

 private:
  TProjectForm& form_;
};
}  // namespace

TProjectForm::TProjectForm(SiteSystem& system, QWidget* parent)
    : QDialog(parent), system_(system), mouseFlush_(std::make_unique<MouseFlush>()) {
  setObjectName("ProjectForm");
  setWindowTitle("Project");
  sourcePages = new QStackedWidget(this);
  sourcePages->setObjectName("PageControl1");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sourcePages);
  BuildPcPage();
  BuildSdCardPage();
  setFixedSize(640, 480);
  FormCreate();
  observer_ = std::make_unique<ProjectWindowObserver>(system_.Session(), *this);
}

TProjectForm::~TProjectForm() = default;

void TProjectForm::BuildPcPage() {
  pcPage = new QWidget(sourcePages);
  pcPage->setObjectName("TabSheet1");
  auto* bar = new QToolBar(pcPage);
  bar->setObjectName("ToolBar1");
  pcAddListButton = MakeToolButton(bar, "ToolButton1", "Add List");
  pcDeleteButton = MakeToolButton(bar, "ToolButton2", "Delete");
  pcLoadButton = MakeToolButton(bar, "ToolButton3", "Load");
  pcHistoryGrid = MakeGrid(pcPage, "StringGrid1");
  pcInfoMemo = new QPlainTextEdit(pcPage);
  pcInfoMemo->setObjectName("Memo1");
  pcInfoMemo->setReadOnly(true);
  auto* layout = new QVBoxLayout(pcPage);
  layout->addWidget(bar);
  layout->addWidget(pcHistoryGrid, 3);
  layout->addWidget(pcInfoMemo, 2);
  sourcePages->addWidget(pcPage);
  connect(pcAddListButton, &QToolButton::clicked, this, &TProjectForm::ToolButton1Click);
  connect(pcDeleteButton, &QToolButton::clicked, this, &TProjectForm::ToolButton2Click);
  connect(pcLoadButton, &QToolButton::clicked, this, &TProjectForm::ToolButton3Click);
  connect(pcHistoryGrid, &QTableWidget::itemSelectionChanged, this,
          &TProjectForm::ShowSelectedInfo);
}

// The SD card page: the sites, the selected site's stored projects, their information, the
// progress.
void TProjectForm::BuildSdCardPage() {
  sdCardPage = new QWidget(sourcePages);
  sdCardPage->setObjectName("TabSheet2");
  auto* bar = new QToolBar(sdCardPage);
  bar->setObjectName("ToolBar2");
  sdCardAddButton = MakeToolButton(bar, "ToolButton4", "Add");
  sdCardDeleteButton = MakeToolButton(bar, "ToolButton5", "Delete");
  sdCardLoadButton = MakeToolButton(bar, "ToolButton6", "Load");
  sdCardSiteList = new QListWidget(sdCardPage);
  sdCardSiteList->setObjectName("CheckListBox1");
  for (int site = 0; site < kSiteCount; ++site) {
    auto* item = new QListWidgetItem("Site #" + QString::number(site + 1), sdCardSiteList);
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setCheckState(Qt::Unchecked);
  }
  sdCardProjectGrid = MakeGrid(sdCardPage, "StringGrid2");
  sdCardInfoMemo = new QPlainTextEdit(sdCardPage);
  sdCardInfoMemo->setObjectName("Memo2");
  sdCardInfoMemo->setReadOnly(true);
  progressBar = new QProgressBar(sdCardPage);
  progressBar->setObjectName("ProgressBar1");
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  auto* lists = new QHBoxLayout;
  lists->addWidget(sdCardSiteList, 1);
  lists->addWidget(sdCardProjectGrid, 3);
  auto* layout = new QVBoxLayout(sdCardPage);
  layout->addWidget(bar);
  layout->addLayout(lists, 3);
  layout->addWidget(sdCardInfoMemo, 2);
  layout->addWidget(progressBar);
  sourcePages->addWidget(sdCardPage);
  ConnectCardPage();
}

std::string TProjectForm::HistoryFile() const {
  return system_.Paths().BaseDir + kProjectHistoryFile;
}

// Creation: entries whose file went away are dropped from the history file at once.
void TProjectForm::FormCreate() {
  sourcePages->setCurrentIndex(system_.Para().DataBufferSel == 1 ? kSdCardPage : 0);
  ProjectHistory history = ProjectHistory::Read(HistoryFile());
  if (history.DropMissing()) history.Write(HistoryFile());
  ShowHistory(history);
  SelectRow(1);
  ShowSelectedInfo();
}

void TProjectForm::FormActivate() {
  const bool sdCard = system_.Para().DataBufferSel == 1;
  sourcePages->setCurrentIndex(sdCard ? kSdCardPage : 0);
  if (!sdCard) return;
  for (int site = 0; site < kSiteCount; ++site) {
    QListWidgetItem* item = sdCardSiteList->item(site);
    const bool present = system_.Panels().Status(site) != siNone;
    item->setCheckState(present ? Qt::Checked : Qt::Unchecked);
    item->setFlags(present ? item->flags() | Qt::ItemIsEnabled
                           : item->flags() & ~Qt::ItemIsEnabled);
  }
  ShowCardPage();
}

void TProjectForm::ShowHistory(const ProjectHistory& history) {
  for (int row = 1; row < kGridRows; ++row) {
    const std::size_t index = static_cast<std::size_t>(row - 1);
    const std::string path = index < history.Paths.size() ? history.Paths[index] : "";
    pcHistoryGrid->item(row, kPathColumn)->setText(QString::fromStdString(path));
  }
  PaintLoadedRow();
}

void TProjectForm::PaintLoadedRow() {
  for (int row = 1; row < kGridRows; ++row) {
    const QBrush brush = row == loadedRow_ ? QBrush(kLoadedRowColour) : QBrush();
    pcHistoryGrid->item(row, 0)->setBackground(brush);
    pcHistoryGrid->item(row, kPathColumn)->setBackground(brush);
  }
}

int TProjectForm::SelectedRow() const {
  const int row = pcHistoryGrid->currentRow();
  return row >= 1 ? row : 1;
}

void TProjectForm::SelectRow(int row) {
  pcHistoryGrid->setCurrentCell(std::clamp(row, 1, kGridRows - 1), kPathColumn);
}

std::string TProjectForm::RowPath(int row) const {
  return pcHistoryGrid->item(row, kPathColumn)->text().toStdString();
}

void TProjectForm::ShowSelectedInfo() {
  const std::string path = RowPath(SelectedRow());
  // Appended, not "text" + std::string: GCC 12 warns (-Wrestrict) on the inlined insert.
  std::string loading = "\"";
  loading += fs::path(path).filename().string();
  loading += "\"  Loading...";
  pcInfoMemo->setPlainText(QString::fromStdString(loading));
  pcInfoMemo->repaint();
  const std::string info = system_.Project().Project().ProjectInfoText(path);
  pcInfoMemo->setPlainText(QString::fromStdString(info));
}

std::vector<std::string> TProjectForm::AskForFiles(bool several) {
  const std::string selected = RowPath(SelectedRow());
  const std::string folder = fs::path(selected).parent_path().string();
  std::error_code error;
  const std::string start =
      !selected.empty() && fs::is_directory(folder, error) ? folder : system_.Paths().DesktopDir;
  return ChooseFiles(this, kAddTitle, start, kProjectFilter, several);
}

void TProjectForm::NoteLoadedProject(const std::string& path) {
  ProjectHistory history = ProjectHistory::Read(HistoryFile());
  int index = history.Find(path);
  if (index < 0) {
    history.AddFirst(path);
    history.Write(HistoryFile());
    index = 0;
  }
  loadedRow_ = index + 1;
  ShowHistory(history);
}

int TProjectForm::AddFiles(const std::vector<std::string>& files, bool& refused) {
  std::vector<std::string> bad;
  std::vector<std::string> known;
  int row = 0;
  for (const std::string& file : files) {
    ProjectHistory history = ProjectHistory::Read(HistoryFile());
    const int found = history.Find(file);
    if (found >= 0) {
      known.push_back(file);
      row = found + 1;
    } else if (system_.Project().Project().CheckArchive(file)) {
      history.AddFirst(file);
      if (loadedRow_ > 0 && ++loadedRow_ > static_cast<int>(kProjectHistoryMax)) loadedRow_ = 0;
      row = 1;
    } else {
      bad.push_back(file);
    }
    history.Write(HistoryFile());
    ShowHistory(ProjectHistory::Read(HistoryFile()));
  }
  refused = !bad.empty();
  if (!bad.empty()) ShowMessageBox(Lines(bad) + kBadFiles, "ERROR", MB_OK | MB_ICONERROR);
  if (!known.empty()) {
    ShowMessageBox(Lines(known) + kKnownFiles, "INFORMATION", MB_OK | MB_ICONINFORMATION);
  }
  return row;
}

void TProjectForm::ToolButton1Click() {
  const std::vector<std::string> files = AskForFiles(true);
  if (files.empty()) return;
  bool refused = false;
  AddFiles(files, refused);
  ShowSelectedInfo();
}

void TProjectForm::ToolButton2Click() {
  if (!FileExists(HistoryFile())) {
    ShowMessageBox(kNoHistoryFile, "ERROR", MB_OK | MB_ICONERROR);
    ShowHistory(ProjectHistory{});
    return;
  }
  const int row = SelectedRow();
  const std::string path = RowPath(row);
  if (path.empty()) return;
  const int answer = ShowMessageBox(kDeleteQuestion + path, "QUESTION",
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (answer != IDYES) return;
  ProjectHistory history = ProjectHistory::Read(HistoryFile());
  const int index = history.Find(path);
  if (index >= 0) history.Remove(static_cast<std::size_t>(index));
  history.Write(HistoryFile());  // the project file itself stays
  if (loadedRow_ == row) {
    loadedRow_ = 0;
  } else if (row < loadedRow_) {
    --loadedRow_;
  }
  ShowHistory(history);
  ShowSelectedInfo();
}

void TProjectForm::ToolButton3Click() {
  const std::string selected = RowPath(SelectedRow());
  if (FileExists(selected)) {
    LoadFile(selected);
    return;
  }
  const std::vector<std::string> files = AskForFiles(false);
  if (files.empty()) return;
  bool refused = false;
  const int row = AddFiles(files, refused);
  if (row > 0) SelectRow(row);
  ShowSelectedInfo();
  if (!refused && row > 0) LoadFile(RowPath(row));
}

// The window is see-through and cannot be closed while the load runs.
bool TProjectForm::LoadFile(const std::string& path) {
  setWindowOpacity(kBusyOpacity);
  setEnabled(false);
  const int code = system_.Session().LoadProject(path);
  setEnabled(true);
  setWindowOpacity(1.0);
  if (code != LoadCode::Loaded) return false;  // the load has said why
  close();
  return true;
}

void TProjectForm::closeEvent(QCloseEvent* event) {
  if (!isEnabled() || cardWorkRunning_) {  // a load or card work is running
    event->ignore();
    return;
  }
  CloseCardPage(system_);
  ShowCardPage();
  sdCardSiteList->setCurrentRow(-1);
  event->accept();
  emit Closed();
}
