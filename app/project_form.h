#pragma once
// The project window: the history of project files on the PC ("From PC") and, in SD card mode,
// the projects on each unit's SD card ("From SDCard"). Only the page of the run mode is shown.
// A load goes through the run session, whose observers (this window's among them) show it.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "project/project_history.h"

class MouseFlush;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QStackedWidget;
class QTableWidget;
class QToolButton;
class RunObserver;
class SiteSystem;

class TProjectForm : public QDialog {
  Q_OBJECT
 public:
  TProjectForm(SiteSystem& system, QWidget* parent = nullptr);
  ~TProjectForm() override;

  // Run at every showing and after a device notice: the run mode's page, the site items.
  void FormActivate();
  // A project loaded by any front end (this window, the start-up, the station server): it
  // joins the history if it is not there yet, and its row is shown as the loaded one.
  void NoteLoadedProject(const std::string& path);
  // The grid row of the project loaded last, 0 for none.
  int LoadedRow() const { return loadedRow_; }
  int SelectedRow() const;
  void SelectRow(int row);
  std::string HistoryFile() const;

  // SDCardProjNumber: the grid row of the project each site holds as loaded (0: none); the
  // row is painted while its site is the selected, checked one.
  int SDCardProjNumber(int site) const;
  void SetSDCardProjNumber(int site, int row);
  // The "From SDCard" page again from the store's view: the selected site's projects, the
  // information text, the painted row.
  void ShowCardPage();

  // Published controls; each comment gives the objectName that tests and users find it by.
  QStackedWidget* sourcePages;      // PageControl1
  QWidget* pcPage;                  // TabSheet1: "From PC"
  QWidget* sdCardPage;              // TabSheet2: "From SDCard"
  QTableWidget* pcHistoryGrid;      // StringGrid1
  QPlainTextEdit* pcInfoMemo;       // Memo1
  QToolButton* pcAddListButton;     // ToolButton1: "Add List"
  QToolButton* pcDeleteButton;      // ToolButton2: "Delete"
  QToolButton* pcLoadButton;        // ToolButton3: "Load"
  QListWidget* sdCardSiteList;      // CheckListBox1
  QTableWidget* sdCardProjectGrid;  // StringGrid2
  QPlainTextEdit* sdCardInfoMemo;   // Memo2
  QToolButton* sdCardAddButton;     // ToolButton4: "Add"
  QToolButton* sdCardDeleteButton;  // ToolButton5: "Delete"
  QToolButton* sdCardLoadButton;    // ToolButton6: "Load"
  QProgressBar* progressBar;        // ProgressBar1

 public slots:
  void ToolButton1Click();
  void ToolButton2Click();
  void ToolButton3Click();
  void ShowSelectedInfo();
  // "From SDCard": a click on a site item, on a project row, and the three tool buttons.
  void CheckListBox1Click(int site);
  void StringGrid2SelectCell(int row);
  void ToolButton4Click();
  void ToolButton5Click();
  void ToolButton6Click();

 signals:
  // The window closed: the main window, disabled while it was shown, takes input again.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildPcPage();
  void BuildSdCardPage();
  void FormCreate();
  void ShowHistory(const ProjectHistory& history);
  void PaintLoadedRow();
  std::vector<std::string> AskForFiles(bool several);
  // Adds each file as "Add List" does; reports refused and known files; the row of the last.
  int AddFiles(const std::vector<std::string>& files, bool& refused);
  bool LoadFile(const std::string& path);
  std::string RowPath(int row) const;
  void ConnectCardPage();
  void PaintCardRunRow();
  // The checked, enabled sites whose unit is there and idle; the items follow the panels.
  std::vector<int> CardTargetSites();
  // Card work with the page's controls off, the progress bar in its marquee style and the
  // window's close refused; none starts while one runs.
  void RunCardWork(const std::function<void()>& work);
  int CardSite() const;

  SiteSystem& system_;
  std::unique_ptr<RunObserver> observer_;  // the loads of every front end
  int loadedRow_ = 0;
  bool cardWorkRunning_ = false;
  std::unique_ptr<MouseFlush> mouseFlush_;
};
