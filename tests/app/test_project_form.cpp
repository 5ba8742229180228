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
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/file_dialogs.h"
#include "app/message_box.h"
#include "app/project_form.h"
#include "app/qt_site_host.h"
#include "app/startup_program.h"
#include "project/driver_index.h"
#include "project/project_history.h"
#include "sim/sd_card_commands.h"
#include "sim/sim_factory.h"
#include "site/card_list.h"
#include "site/card_store_view.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "support/system_para.h"
#include "tests/app/program_fixture.h"
#include "tests/site/card_queues.h"
#include "tests/site/card_run_rig.h"
#include "tests/site/demo_base.h"
#include "tests/support/site_config.h"

namespace fs = std::filesystem;

namespace {
class ProjectFormTest : public ::testing::Test {
 protected:
  ProjectFormTest() : rig(sim::makeSimRig({})), system(*rig.bus, StandardSiteConfig()) {
    system.SetPaths(demo.Paths());
    system.AttachHost(host);  // the load's messages are boxes of the windows
    system.Session().Attach(loads);
    LoadSelectList(demo.base, system.SelectList(), system.Log());
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call.caption + ": " + call.text);
      return answer;
    });
  }
  ~ProjectFormTest() override {
    form.reset();
    system.Session().Detach(loads);
    system.AttachHost(noHost);
    SetMessageBoxAnswerer({});
    SetFileDialogAnswerer({});
  }
  // The loads the session tells its observers (the main window among them).
  struct LoadsSeen final : RunObserver {
    void OnProjectLoaded(const std::string& path) override { paths.push_back(path); }
    std::vector<std::string> paths;
  };

  void Open() {
    SetFileDialogAnswerer([this](const FileDialogCall& call) {
      EXPECT_EQ(call.caption, "Add Project");
      EXPECT_FALSE(call.folder);
      return chosen;
    });
    form = std::make_unique<TProjectForm>(system);
    QObject::connect(form.get(), &TProjectForm::Closed, [this] { ++closed; });
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
  LoadsSeen loads;
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
  EXPECT_EQ(loads.paths, std::vector<std::string>{demo.projects[0]});
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
    loads.paths.clear();
    form->SelectRow(failure.row);
    Click("ToolButton3");
    EXPECT_EQ(asked, std::vector<std::string>{failure.message});
    EXPECT_EQ(&system.Project(), first);
    EXPECT_EQ(system.Project().Path(), demo.projects[0]);
    EXPECT_TRUE(loads.paths.empty());
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
    ProgramOptions options = DemoProgramOptions(demo, 2);
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
  CardPageTest()
      : rig(sim::makeSimRig(Options(cards.Base()))),
        system(*rig.bus, Config(&captured)),
        queues(system) {
    system.SetPaths(demo.Paths());
    system.AttachHost(host);
    LoadSelectList(demo.base, system.SelectList(), system.Log());
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      asked.push_back(call.caption + ": " + call.text);
      return IDYES;
    });
    // Rising identifiers: the rescan orders unit k (and its card) to site k.
    for (int unit = 0; unit < 2; ++unit) {
      rig.units[static_cast<std::size_t>(unit)]->setDateTimeId(0x0134B1C500016F30ULL + unit);
    }
    FillCards();
    system.Para().DataBufferSel = 1;  // SD card mode
  }
  ~CardPageTest() override {
    form.reset();
    system.Shutdown();
    system.AttachHost(noHost);
    SetMessageBoxAnswerer({});
    SetFileDialogAnswerer({});
  }
  static sim::RigOptions Options(const std::string& cards) {
    sim::RigOptions options;
    options.units = 2;
    options.virtualOperator = false;
    options.sdCardRoot = cards;
    return options;
  }
  static SiteSystemConfig Config(LogSink* log) {
    SiteSystemConfig config;
    config.LogOverride = log;
    config.Operations = SiteOperationList();
    return config;
  }
  // Alpha in slot 1 (the run project) and the newer Beta in slot 4 on both cards.
  void FillCards() {
    PartPlan part;
    for (int unit = 0; unit < 2; ++unit) {
      const fs::path card = Card(unit);
      fs::remove_all(card);
      fs::create_directories(card);
      card_rig::PutRunProject(card, 4, part, PatternImage(part.dataBytes));
      card_rig::PutRunProject(card, 1, part, PatternImage(part.dataBytes));
      card_rig::WriteFile(card / "List", card_rig::Bytes("[ListName]\nProjCount=2\nProjNumber=1\n"
                                                         "Proj1=Alpha\nProjDate1=20260101120000\n"
                                                         "Proj4=Beta\nProjDate4=20260202120000\n"));
      rig.units[static_cast<std::size_t>(unit)]->withState<sim::SdCardState>(
          [](sim::SdCardState& state) { state.freeKBytes.reset(); });
    }
  }
  fs::path Card(int unit) { return rig.units[static_cast<std::size_t>(unit)]->sdCardFolder(); }
  void Open() {
    SetFileDialogAnswerer([this](const FileDialogCall&) { return chosen; });
    form = std::make_unique<TProjectForm>(system);
    QObject::connect(form.get(), &TProjectForm::Closed, [this] { ++closed; });
    form->show();
    form->FormActivate();
  }
  std::string Cell(int row) {
    return form->findChild<QTableWidget*>("StringGrid2")->item(row, 1)->text().toStdString();
  }
  std::string Memo() {
    return form->findChild<QPlainTextEdit*>("Memo2")->toPlainText().toStdString();
  }
  bool Painted(int row) {
    const QTableWidgetItem* cell = form->findChild<QTableWidget*>("StringGrid2")->item(row, 1);
    return cell->background().color() == QColor(0x00, 0xFF, 0xFF);
  }
  void Click(const char* button) { form->findChild<QToolButton*>(button)->click(); }
  std::string RunName(int unit) {
    CardList list;
    list.Load((Card(unit) / "List").string());
    return list.NameOf(list.RunSlot(-1));
  }

  TestFolder cards;
  DemoBase demo;
  sim::SimRig rig;
  CapturingLog captured;
  SiteSystem system;
  CardQueues queues;
  QtSiteHost host;
  NoSiteHost noHost;
  std::unique_ptr<TProjectForm> form;
  std::vector<std::string> chosen;
  std::vector<std::string> asked;
  int closed = 0;
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
  EXPECT_NE(Memo(), "");

  form->StringGrid2SelectCell(1);
  Click("ToolButton5");
  EXPECT_EQ(Cell(1), "Alpha");
  EXPECT_EQ(Cell(2), "");
  EXPECT_FALSE(fs::exists(Card(0) / "Proj4"));
  EXPECT_TRUE(fs::exists(Card(1) / "Proj4"));  // gone from one card only

  const std::string project = demo.projects[1];
  chosen = {project};
  Click("ToolButton4");
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

// Load, Add and Delete on the page: the queue each site ran, where a failure stopped it, the
// store's lines of the case (the card commands' own lines aside), and which project each card
// runs afterwards. Site 1 (the first) is the selected one with Beta's row chosen; both are
// checked.
TEST_F(CardPageTest, TheQueuesEachSiteGets) {
  using Queues = std::map<int, std::vector<Opcode>>;
  const auto noInfoOnCard2 = [this] { fs::remove(Card(1) / "Proj4" / "Info"); };
  const auto littleSpaceOnCard2 = [this] {
    rig.units[1]->withState<sim::SdCardState>([](sim::SdCardState& s) { s.freeKBytes = 2; });
  };
  const auto betaGoneFromCard1 = [this] { fs::remove_all(Card(0) / "Proj4"); };
  const std::string added = fs::path(demo.projects[1]).stem().string();
  struct Row {
    const char* name;
    std::function<void()> arm;
    const char* button;
    int row;  // the chosen row of site 1's list
    Queues queues;
    std::vector<std::string> lines;
    std::string runs1, runs2;  // the run project of each card afterwards
    std::size_t questions;
  };
  const std::vector<Row> rows = {
      {"load: every checked card runs Beta, its own included",
       {},
       "ToolButton6",
       1,
       Queues{{0, {21, 23, 22, 17, 18}}, {1, {23, 22, 17, 18}}},
       {"Site #1 - Project File Already Exists!", "Site #2 - Project File Already Exists!"},
       "Beta",
       "Beta",
       0},
      {"load: the second card's store fails",
       noInfoOnCard2,
       "ToolButton6",
       1,
       Queues{{0, {21, 23, 22, 17, 18}}, {1, {23, 22}}},
       {"Site #1 - Project File Already Exists!", "Site #2 - Get Info's File Fail!",
        "Site #2 - Project File Already Exists!"},
       "Beta",
       "Alpha",
       0},
      {"add: a new project on both cards",
       {},
       "ToolButton4",
       1,
       Queues{{0, {23, 20, 17, 18}}, {1, {23, 20, 17, 18}}},
       {"Execute Project File Pass"},
       added,
       added,
       0},
      {"add: the second card is too full",
       littleSpaceOnCard2,
       "ToolButton4",
       1,
       Queues{{0, {23, 20, 17, 18}}, {1, {23, 20}}},
       {"Execute Project File Pass", "Site #2 - Not enough file space!",
        "Site #2 - Send INI File Fail!"},
       added,
       "Alpha",
       0},
      {"delete: Beta from the first card",
       {},
       "ToolButton5",
       1,
       Queues{{0, {23, 19, 17, 18}}},
       {},
       "Alpha",
       "Alpha",
       1},
      {"delete: the card cannot delete it",
       betaGoneFromCard1,
       "ToolButton5",
       1,
       Queues{{0, {23, 19}}},
       {"Site #1 - Delete Project Fail!"},
       "Alpha",
       "Alpha",
       1},
      {"delete: an empty row",
       {},
       "ToolButton5",
       5,
       Queues{},
       {"Site #1 - Field is empty!"},
       "Alpha",
       "Alpha",
       0},
  };
  ASSERT_TRUE(RescanUnits(system));
  Open();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FillCards();
    form->CheckListBox1Click(0);
    form->findChild<QListWidget*>("CheckListBox1")->item(1)->setCheckState(Qt::Checked);
    form->StringGrid2SelectCell(row.row);
    if (row.arm) row.arm();
    chosen = {demo.projects[1]};
    asked.clear();
    queues.Clear();
    captured.Clear();
    Click(row.button);
    EXPECT_EQ(queues.Ran(), row.queues);
    std::vector<std::string> lines = StoreLines(captured);
    std::sort(lines.begin(), lines.end());  // the sites work at the same time
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(RunName(0), row.runs1);
    EXPECT_EQ(RunName(1), row.runs2);
    EXPECT_EQ(asked.size(), row.questions);
    EXPECT_FALSE(fs::exists(system.Paths().TempDir + "Proj"));  // the fetched set is gone
  }
}

// While card work runs the window stays open and a click made meanwhile starts nothing;
// choosing a site whose card cannot be read shows nothing of the list shown before, and
// closing the window empties the page's model and removes the working lists.
TEST_F(CardPageTest, BusyWindowStaysOpenAndTheModelIsClearedOnChoiceAndClose) {
  ASSERT_TRUE(RescanUnits(system));
  Open();
  form->CheckListBox1Click(1);
  form->CheckListBox1Click(0);
  form->StringGrid2SelectCell(1);
  std::atomic<bool> tried = false;
  QTimer::singleShot(0, form.get(), [&] {
    form->close();
    form->ToolButton6Click();  // a second Load while the first runs
    form->ToolButton4Click();
    tried = true;
  });
  queues.Clear();
  queues.BeforeNext(
      [&](int, Opcode) { WaitUntil([&] { return tried.load(); }, std::chrono::seconds(20)); });
  Click("ToolButton6");
  EXPECT_TRUE(tried);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(queues.Ran(),
            (std::map<int, std::vector<Opcode>>{{0, {21, 23, 22, 17, 18}}, {1, {23, 22, 17, 18}}}));
  EXPECT_EQ(Cell(1), "Beta");
  EXPECT_NE(Memo(), "");

  // The second card loses its list: its choice shows an empty page, not the first card's.
  fs::remove(Card(1) / "List");
  form->CheckListBox1Click(1);
  EXPECT_EQ(system.CardView().Rows(1), std::vector<std::string>{"Project Path"});
  EXPECT_EQ(system.CardView().InfoText(), "");
  EXPECT_EQ(Cell(1), "");
  EXPECT_EQ(Memo(), "");

  form->CheckListBox1Click(0);
  const std::string temp = system.Paths().TempDir;
  ASSERT_TRUE(fs::exists(temp + "List0"));
  form->close();
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(system.CardView().SelectedSite(), kNoCardSite);
  EXPECT_TRUE(system.CardView().Rows(0).empty());
  EXPECT_EQ(system.CardView().InfoText(), "");
  EXPECT_FALSE(fs::exists(temp + "List0"));
  EXPECT_EQ(Cell(1), "");
  EXPECT_EQ(Memo(), "");
}

}  // namespace
