// The station server inside the window program, on two simulated units and a demo project: a
// line controller loads the project and starts the automatic loop over HTTP; the main window
// shows the load and locks its run controls as its own "Run Program" does, the panels count the
// parts, a second start is refused, and "Stop All" at the window ends the run, which then reads
// "done" with the counts the window shows. A damaged project asked over the network is refused
// in the answer and the log, with no message box waiting for the operator; the event stream
// carries the log view's lines as they are shown.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "app/main_form.h"
#include "app/message_box.h"
#include "app/part_counts.h"
#include "app/project_form.h"
#include "app/qt_site_host.h"
#include "app/startup_program.h"
#include "log/view/log_view.h"
#include "tests/app/program_fixture.h"
#include "tests/serve/event_follower.h"
#include "tests/site/demo_base.h"

#include <httplib.h>

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {
constexpr int kWaitMs = 30000;

bool WaitFor(const std::function<bool()>& done) {
  return PumpEventsUntil(done, kWaitMs);
}

struct Answer {
  int status = 0;  // 0: no answer
  std::string body;
};

// The client's call on a thread of its own: the server takes its steps on this, the UI thread,
// which keeps handling events meanwhile.
Answer Call(int port, const std::string& method, const std::string& path,
            const std::string& body = {}) {
  std::future<Answer> answer = std::async(std::launch::async, [=] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(std::chrono::seconds(20));
    const httplib::Result result =
        method == "GET" ? client.Get(path) : client.Post(path, body, "application/json");
    return result ? Answer{result->status, result->body} : Answer{};
  });
  if (!WaitFor(
          [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; })) {
    ADD_FAILURE() << method << ' ' << path << " got no answer in time";
  }
  return answer.get();
}

// The "log" events' lines, in order.
std::vector<std::string> LogLines(const EventFollower& follower) {
  std::vector<std::string> lines;
  for (const StreamEvent& event : follower.Events()) {
    if (event.type == "log") lines.push_back(event.data["line"]);
  }
  return lines;
}

bool EndsWith(const std::vector<std::string>& lines, const std::vector<std::string>& tail) {
  return lines.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), lines.end() - static_cast<long>(tail.size()));
}

bool HasLineEndingIn(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.size() >= text.size() &&
           line.compare(line.size() - text.size(), text.size(), text) == 0;
  });
}
}  // namespace

TEST(WindowServeTest, ARunStartedOverHttpShowsAtTheWindowAndStopAllEndsIt) {
  DemoBase demo;
  int boxes = 0;
  SetMessageBoxAnswerer([&boxes](const MessageBoxCall&) {
    ++boxes;
    return IDNO;
  });
  fs::create_directories(demo.base + "Projects");
  const std::string project =
      demo.base + "Projects/" + fs::path(demo.projects[0]).filename().string();
  fs::copy_file(demo.projects[0], project);
  const std::string damaged = demo.base + "Projects/damaged.zvprj";
  std::ofstream(damaged) << "not an archive";
  {
    ProgramOptions options = DemoProgramOptions(demo, 2);
    options.serve = true;
    options.servePort = 0;
    GangProgram program(std::move(options));
    program.Show();
    ASSERT_TRUE(WaitFor([&] { return program.StartupDone(); }));
    const int port = program.ServePort();
    ASSERT_GT(port, 0);
    TMainForm& main = program.Main();
    EXPECT_FALSE(main.RunProgramButton->isEnabled());
    EventFollower follower(port, 0);  // from the stream's first event on

    const Answer refused = Call(port, "POST", "/api/v1/project", Json{{"path", damaged}}.dump());
    EXPECT_EQ(refused.status, 422);
    EXPECT_EQ(Json::parse(refused.body), (Json{{"error", "Decryption Fail!"}}));
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(main.ProjectPath(), "");
    EXPECT_EQ(program.ProjectWindow().LoadedRow(), 0);

    // Both windows show a load from the network as their own: path, information, history row.
    const Answer load = Call(port, "POST", "/api/v1/project", Json{{"path", project}}.dump());
    ASSERT_EQ(load.status, 200) << load.body;
    EXPECT_EQ(main.ProjectPath(), project);
    EXPECT_TRUE(main.RunProgramButton->isEnabled());
    EXPECT_TRUE(main.informationMemo->toPlainText().contains("Parts Number: "));
    EXPECT_EQ(program.ProjectWindow().LoadedRow(), 1);

    const Answer run = Call(port, "POST", "/api/v1/run", R"({"auto": true})");
    ASSERT_EQ(run.status, 202) << run.body;
    EXPECT_EQ(Json::parse(run.body), (Json{{"run", 1}}));
    // Locked as by "Run Program" with "Auto Run" ticked: only "Stop All" is left.
    EXPECT_FALSE(main.RunProgramButton->isEnabled());
    EXPECT_FALSE(main.AutoRunCheckBox->isEnabled());
    EXPECT_FALSE(main.projectToolButton->isEnabled());
    EXPECT_TRUE(main.StopAllButton->isEnabled());
    EXPECT_FALSE(main.FormCloseQuery());
    ASSERT_TRUE(WaitFor([&] { return PartCountsShownIn(main).Statistics.Pass >= 4; }));
    EXPECT_EQ(Call(port, "POST", "/api/v1/run", "{}").status, 409);

    main.StopAllButton->click();
    ASSERT_TRUE(WaitFor([&] { return main.RunProgramButton->isEnabled(); }));
    EXPECT_FALSE(main.StopAllButton->isEnabled());
    EXPECT_TRUE(main.projectToolButton->isEnabled());
    // The run reads "done" once its records are committed, just after the window's end.
    Answer state;
    ASSERT_TRUE(WaitFor([&] {
      state = Call(port, "GET", "/api/v1/runs/1");
      return state.status != 200 || Json::parse(state.body)["state"] == "done";
    }));
    ASSERT_EQ(state.status, 200) << state.body;
    main.SiteHost().Drain();
    const ShownPartCounts shown = PartCountsShownIn(main);
    EXPECT_EQ(Json::parse(state.body),
              (Json{{"run", 1},
                    {"state", "done"},
                    {"parts", shown.Statistics.Pass + shown.Statistics.Fail},
                    {"passed", shown.Statistics.Pass},
                    {"failed", shown.Statistics.Fail}}));
    EXPECT_EQ(shown.SiteSum(), shown.Statistics);
    EXPECT_EQ(shown.Statistics.Fail, 0u);

    // Every line the view showed since the station started is on the stream, in order.
    std::vector<std::string> viewed;
    ASSERT_TRUE(WaitFor([&] {
      main.LogView().FlushPending();
      viewed = main.LogView().Lines();
      const std::vector<std::string> streamed = LogLines(follower);
      return !streamed.empty() && streamed.back() == viewed.back() && EndsWith(viewed, streamed);
    })) << LogLines(follower).size()
        << " log events for " << viewed.size() << " lines";
    const std::vector<std::string> streamed = LogLines(follower);
    EXPECT_TRUE(HasLineEndingIn(streamed, "] Decryption Fail!"));
    EXPECT_TRUE(HasLineEndingIn(streamed, "] Load Project Complete"));
    for (const StreamEvent& event : follower.Events()) {
      if (event.type == "log" && event.data["line"].get<std::string>().ends_with("Fail!")) {
        EXPECT_EQ(event.data["colour"], "#FF0000");
      }
    }
  }
  SetMessageBoxAnswerer({});
}
