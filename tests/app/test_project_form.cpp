// The project window on the demo database: the history file (at most 20 paths, newest first,
// a missing or garbled file gives an empty list), Add List, Delete and Load, and a damaged
// project's message with the loaded project kept.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/message_box.h"
#include "app/project_form.h"
#include "app/qt_site_host.h"
#include "app/startup_program.h"
#include "project/driver_index.h"
#include "project/project_history.h"
#include "sim/sim_factory.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "support/system_para.h"
#include "tests/site/card_run_rig.h"
#include "tests/site/demo_base.h"

namespace fs = std::filesystem;

namespace {
class ProjectFormTest : public ::testing::Test {
 protected:
  ProjectFormTest() : rig(sim::makeSimRig({})), system(*rig.bus) {
    system.SetPaths(demo.Paths());
    system.AttachHost(host);  // the load's messages are boxes of the windows
    LoadSelectList(demo.base, system.SelectList(), system.Log());
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call.caption + ": " + call.text);
      return answer;
    });
  }
  ~ProjectFormTest() override {
    form.reset();
    system.AttachHost(noHost);
    SetMessageBoxAnswerer({});
  }

  void Open() {
    ProjectFormWiring wiring;
    wiring.showLoadedProject = [this](const std::string& info, const std::string& path) {
      shownInfo = info;
      shownPath = path;
    };
    wiring.enableMainWindow = [this] { ++closed; };
    wiring.openFiles = [this](const std::string& title, const std::string&, bool) {
      EXPECT_EQ(title, "Add Project");
      return chosen;
    };
    form = std::make_unique<TProjectForm>(system, std::move(wiring));
    form->show();
  }
  template <typename T>
  T* Find(const char* name) {
    T* control = form->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  std::string Cell(int row) {
    return Find<QTableWidget>("StringGrid1")->item(row, 1)->text().toStdString();
  }
  void Click(const char* button) { Find<QToolButton>(button)->click(); }
  std::vector<std::string> History() { return ProjectHistory::Read(form->HistoryFile()).Paths; }
  std::string HistoryFile() const { return demo.base + kProjectHistoryFile; }

  DemoBase demo;
  sim::SimRig rig;
  SiteSystem system;
  QtSiteHost host;
  NoSiteHost noHost;
  std::unique_ptr<TProjectForm> form;
  std::vector<std::string> chosen;
  std::vector<std::string> asked;
  int answer = IDYES;
  std::string shownInfo, shownPath;
  int closed = 0;
};

// Missing, garbled and overlong history files, and entries whose file went away.
TEST_F(ProjectFormTest, HistoryFileAtCreation) {
  const std::string good = demo.projects[1];
  const struct {
    const char* name;
    std::string content;  // empty name: no file at all
    std::vector<std::string> paths;
  } cases[] = {
      {"", "", {}},
      {"binary", std::string("\0\x01\xff\xfe garbage\n\0\0\n", 16), {}},
      {"header only", "Project Path\r\n", {}},
      {"gone and kept", "Project Path\r\n/nowhere/gone.zvprj\r\n" + good + "\r\n", {good}},
      {"huge line", "Project Path\n" + std::string(100000, 'x') + "\n" + good + "\n", {good}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(HistoryFile());
    if (*c.name != '\0') std::ofstream(HistoryFile(), std::ios::binary) << c.content;
    Open();
    EXPECT_EQ(Find<QStackedWidget>("PageControl1")->currentIndex(), 0);
    EXPECT_EQ(Find<QTableWidget>("StringGrid1")->rowCount(), 21);
    EXPECT_EQ(Cell(0), "Project Path");
    EXPECT_EQ(Cell(1), c.paths.empty() ? "" : c.paths[0]);
    EXPECT_EQ(Cell(2), "");
    if (c.paths.empty()) {
      EXPECT_EQ(Find<QPlainTextEdit>("Memo1")->toPlainText().toStdString(),
                "Project File Doesn't Exist!");
    } else {
      EXPECT_EQ(History(), c.paths);  // the gone entry is dropped from the file at once
    }
  }
}

// 21 adds keep 20 newest first; a known path in another letter case and a file that is no
// project are reported; Delete removes the reference only.
TEST_F(ProjectFormTest, AddListAndDelete) {
  Open();
  std::vector<std::string> copies;
  for (int i = 0; i < 21; ++i) {
    copies.push_back(demo.Work("P" + std::to_string(i) + ".zvprj"));
    fs::copy_file(demo.projects[2], copies.back());
  }
  chosen = copies;
  Click("ToolButton1");
  EXPECT_TRUE(asked.empty());
  std::vector<std::string> expected(copies.rbegin(), copies.rend() - 1);
  EXPECT_EQ(History(), expected);
  EXPECT_EQ(Cell(1), copies[20]);
  EXPECT_EQ(Cell(20), copies[1]);

  const std::string notProject = demo.Work("notes.zvprj");
  std::ofstream(notProject) << "text\n";
  std::string upper = copies[5];
  upper.replace(upper.rfind("P5"), 2, "p5");
  chosen = {notProject, upper};
  Click("ToolButton1");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0],
            "ERROR: " + notProject + "\n\n\rProject File Format or Load File Path Error!");
  EXPECT_EQ(asked[1], "INFORMATION: " + upper + "\n\n\rProject File Path Already Exists");
  EXPECT_EQ(History(), expected);

  asked.clear();
  form->SelectRow(2);
  answer = IDNO;
  Click("ToolButton2");
  EXPECT_EQ(History().size(), 20u);
  answer = IDYES;
  Click("ToolButton2");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1], "QUESTION: Are You Sure you want to Delete This Project by Reference?\r\n" +
                          copies[19]);
  EXPECT_EQ(History().size(), 19u);
  EXPECT_EQ(Cell(2), copies[18]);
  EXPECT_TRUE(fs::exists(copies[19]));  // the project file stays

  asked.clear();
  fs::remove(HistoryFile());
  Click("ToolButton2");
  EXPECT_EQ(asked, std::vector<std::string>{"ERROR: Project List File Doesn't Exist!"});
  EXPECT_EQ(Cell(1), "");
}

// Load through the dialog, then a damaged and a foreign project from the history: their
// messages, the window stays open, and the first project stays loaded and marked.
TEST_F(ProjectFormTest, LoadAndFailedLoadsKeepTheLoadedProject) {
  Open();
  chosen = {demo.projects[0]};
  Click("ToolButton3");  // the empty row: the dialog, added, loaded
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(system.Project().Path(), demo.projects[0]);
  EXPECT_EQ(shownPath, demo.projects[0]);
  EXPECT_NE(shownInfo.find("Parts Number: "), std::string::npos) << shownInfo;
  EXPECT_EQ(form->LoadedRow(), 1);
  EXPECT_EQ(closed, 1);
  const LoadedProject* first = &system.Project();

  const std::string damaged = demo.Damaged(demo.projects[1], "damaged.zvprj");
  chosen = {demo.Foreign("foreign.zvprj")};
  Click("ToolButton1");
  ProjectHistory history = ProjectHistory::Read(HistoryFile());
  history.AddFirst(damaged);  // damaged after it was listed
  history.Write(HistoryFile());
  form = nullptr;
  Open();
  EXPECT_EQ(Cell(1), damaged);
  const struct {
    int row;
    const char* message;
  } failures[] = {{1, "ERROR: Decryption Fail!"},
                  {2, "ERROR: Manufacturers Folder doesn't exist!"}};
  for (const auto& failure : failures) {
    asked.clear();
    shownPath.clear();
    form->SelectRow(failure.row);
    Click("ToolButton3");
    EXPECT_EQ(asked, std::vector<std::string>{failure.message});
    EXPECT_EQ(&system.Project(), first);
    EXPECT_EQ(system.Project().Path(), demo.projects[0]);
    EXPECT_TRUE(shownPath.empty());
    EXPECT_TRUE(form->isVisible());
  }
}
}  // namespace

// A project named on the command line loads at start-up, enables the run and joins the history
// as the loaded row, once however often the program is started with it.
TEST(StartupProjectTest, ProjectNamedAtStartUpLoadsAndJoinsTheHistoryOnce) {
  DemoBase demo;
  SetMessageBoxAnswerer([](const MessageBoxCall&) { return IDNO; });
  for (int start = 0; start < 2; ++start) {
    ProgramOptions options;
    options.baseDir = demo.base;
    options.simulatedUnits = 2;
    options.simulationTiming = false;
    options.tempRoot = demo.temp;
    options.registry = RegistryStore(demo.root + "registry.ini");
    options.project = demo.projects[0];
    GangProgram program(std::move(options));
    program.Show();
    QElapsedTimer timer;
    timer.start();
    while (!program.StartupDone() && timer.elapsed() < 20000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_TRUE(program.StartupDone());
    EXPECT_TRUE(program.Main().RunProgramButton->isEnabled());
    EXPECT_EQ(program.ProjectWindow().LoadedRow(), 1);
  }
  const ProjectHistory history = ProjectHistory::Read(demo.base + kProjectHistoryFile);
  ASSERT_EQ(history.Paths.size(), 1u);
  EXPECT_EQ(history.Find(demo.projects[0]), 0);
  SetMessageBoxAnswerer({});
}
namespace {

// The "From SDCard" page on two simulated units whose cards hold the same two projects.
class CardPageTest : public ::testing::Test {
 protected:
  CardPageTest() : rig(sim::makeSimRig(Options(cards.Base()))), system(*rig.bus) {
    system.SetPaths(demo.Paths());
    system.AttachHost(host);
    LoadSelectList(demo.base, system.SelectList(), system.Log());
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call.caption + ": " + call.text);
      return IDYES;
    });
    PartPlan part;
    for (int unit = 0; unit < 2; ++unit) {
      const fs::path card = rig.units[static_cast<std::size_t>(unit)]->sdCardFolder();
      card_rig::PutRunProject(card, 4, part, PatternImage(part.dataBytes));
      card_rig::PutRunProject(card, 1, part, PatternImage(part.dataBytes));
      card_rig::WriteFile(card / "List", card_rig::Bytes("[ListName]\nProjCount=2\nProjNumber=1\n"
                                                         "Proj1=Alpha\nProjDate1=20260101120000\n"
                                                         "Proj4=Beta\nProjDate4=20260202120000\n"));
    }
    system.Para().DataBufferSel = 1;  // SD card mode
  }
  ~CardPageTest() override {
    form.reset();
    system.Shutdown();
    system.AttachHost(noHost);
    SetMessageBoxAnswerer({});
  }
  static sim::RigOptions Options(const std::string& cards) {
    sim::RigOptions options;
    options.units = 2;
    options.virtualOperator = false;
    options.sdCardRoot = cards;
    return options;
  }
  void Open() {
    ProjectFormWiring wiring;
    wiring.openFiles = [this](const std::string&, const std::string&, bool) { return chosen; };
    form = std::make_unique<TProjectForm>(system, std::move(wiring));
    form->show();
    form->FormActivate();
  }
  std::string Cell(int row) {
    return form->findChild<QTableWidget*>("StringGrid2")->item(row, 1)->text().toStdString();
  }
  bool Painted(int row) {
    const QTableWidgetItem* cell = form->findChild<QTableWidget*>("StringGrid2")->item(row, 1);
    return cell->background().color() == QColor(0x00, 0xFF, 0xFF);
  }

  TestFolder cards;
  DemoBase demo;
  sim::SimRig rig;
  SiteSystem system;
  QtSiteHost host;
  NoSiteHost noHost;
  std::unique_ptr<TProjectForm> form;
  std::vector<std::string> chosen;
  std::vector<std::string> asked;
};

// A site's click lists its card newest first with the run project painted; Delete removes the
// selected project from the card; Add stores a project file on every checked card, where it
// becomes the run project.
TEST_F(CardPageTest, SitesListsDeleteAndAdd) {
  ASSERT_TRUE(RescanUnits(system));
  Open();
  EXPECT_EQ(form->findChild<QStackedWidget*>("PageControl1")->currentIndex(), 1);
  auto* sites = form->findChild<QListWidget*>("CheckListBox1");
  ASSERT_NE(sites, nullptr);
  EXPECT_EQ(sites->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(sites->item(2)->checkState(), Qt::Unchecked);
  EXPECT_FALSE(sites->item(2)->flags() & Qt::ItemIsEnabled);

  form->CheckListBox1Click(0);
  EXPECT_EQ(Cell(0), "Project Path");
  EXPECT_EQ(Cell(1), "Beta");
  EXPECT_EQ(Cell(2), "Alpha");
  EXPECT_EQ(Cell(3), "");
  EXPECT_EQ(form->SDCardProjNumber(0), 2);  // Alpha is the run project
  EXPECT_TRUE(Painted(2));
  EXPECT_FALSE(Painted(1));
  EXPECT_NE(form->findChild<QPlainTextEdit*>("Memo2")->toPlainText().toStdString(), "");

  form->StringGrid2SelectCell(1);
  form->findChild<QToolButton*>("ToolButton5")->click();
  EXPECT_EQ(Cell(1), "Alpha");
  EXPECT_EQ(Cell(2), "");
  EXPECT_FALSE(fs::exists(rig.units[0]->sdCardFolder() / "Proj4") &&
               fs::exists(rig.units[1]->sdCardFolder() / "Proj4"));  // gone from one card

  const std::string project = demo.projects[1];
  chosen = {project};
  form->findChild<QToolButton*>("ToolButton4")->click();
  const std::string name = fs::path(project).stem().string();
  EXPECT_EQ(Cell(1), name);
  EXPECT_EQ(Cell(2), "Alpha");
  EXPECT_EQ(form->SDCardProjNumber(0), 1);
  EXPECT_TRUE(Painted(1));
  form->CheckListBox1Click(1);
  EXPECT_EQ(Cell(1), name);                     // the other checked card got it too
  EXPECT_EQ(asked.size(), 1u) << asked.back();  // only the question
  EXPECT_EQ(form->findChild<QProgressBar*>("ProgressBar1")->maximum(), 100);
}

}  // namespace
