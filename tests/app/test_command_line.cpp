// The program's command line: options, values, refusals.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/command_line.h"

namespace {
CommandLineOptions Parse(std::initializer_list<const char*> args) {
  std::vector<std::string> list;
  for (const char* arg : args) list.emplace_back(arg);
  return ParseCommandLine(list);
}
}  // namespace

TEST(CommandLine, NoArgumentsMeanTheRealBusInTheProgramFolder) {
  const CommandLineOptions options = Parse({});
  EXPECT_TRUE(options.error.empty());
  EXPECT_FALSE(options.simulate.has_value());
  EXPECT_TRUE(options.baseDir.empty());
  EXPECT_FALSE(options.logStdout);
  EXPECT_FALSE(options.help);
}

TEST(CommandLine, EveryOptionInBothSpellings) {
  const CommandLineOptions a = Parse({"--simulate",
                                      "8",
                                      "--base-dir",
                                      "build/demo",
                                      "--log-stdout",
                                      "--usb-trace",
                                      "t.txt",
                                      "--project",
                                      "build/demo/Projects/CV25Q64.zvprj",
                                      "--sim-fail-rate",
                                      "0.25",
                                      "--sim-speed",
                                      "40",
                                      "--auto-run",
                                      "--project-window",
                                      "--sim-cards",
                                      "cards",
                                      "--exit-after-parts",
                                      "1000000",
                                      "--records-url",
                                      "postgresql://station@line/trail"});
  ASSERT_TRUE(a.error.empty()) << a.error;
  EXPECT_EQ(a.simulate, 8);
  EXPECT_EQ(a.simFailRate, 0.25);
  EXPECT_EQ(a.simSpeed, 40.0);
  EXPECT_EQ(a.simCards, "cards");
  EXPECT_EQ(a.recordsUrl, "postgresql://station@line/trail");
  EXPECT_TRUE(a.autoRun);
  EXPECT_TRUE(a.showProjectWindow);
  EXPECT_EQ(a.exitAfterParts, 1000000);
  EXPECT_EQ(a.baseDir, "build/demo");
  EXPECT_TRUE(a.logStdout);
  EXPECT_EQ(a.usbTrace, "t.txt");
  EXPECT_EQ(a.project, "build/demo/Projects/CV25Q64.zvprj");

  const CommandLineOptions b = Parse({"--simulate=0", "--base-dir=/x y", "--help"});
  ASSERT_TRUE(b.error.empty()) << b.error;
  EXPECT_EQ(b.simulate, 0);  // a simulated bus without units, not the real bus
  EXPECT_FALSE(b.simFailRate.has_value());
  EXPECT_FALSE(b.simSpeed.has_value());
  EXPECT_FALSE(b.autoRun);
  EXPECT_EQ(b.baseDir, "/x y");
  EXPECT_EQ(b.exitAfterParts, 0);
  EXPECT_EQ(Parse({"--exit-after-parts=1", "--auto-run"}).exitAfterParts, 1);
  EXPECT_TRUE(b.help);
  EXPECT_FALSE(b.logStdout);
}

TEST(CommandLine, BadInputIsRefusedWithAReason) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"--simulate"},
           {"--simulate", "-1"},
           {"--simulate", "17"},
           {"--simulate", "8x"},
           {"--simulate", ""},
           {"--simulate=", "8"},
           {"--base-dir"},
           {"--usb-trace"},
           {"--project"},
           {"--project", "a.zvprj", "--project=b.zvprj"},
           {"--verbose"},
           {"stray"},
           {"--help=yes"},
           {"--simulate", "2", "--simulate", "3"},
           {"--log-stdout", "--log-stdout"},
           {"--sim-fail-rate", "1.5"},
           {"--sim-fail-rate", "-0.1"},
           {"--sim-fail-rate", "nan"},
           {"--sim-fail-rate", "0.5x"},
           {"--sim-fail-rate", "0", "--sim-fail-rate", "1"},
           {"--sim-speed", "0"},
           {"--sim-speed", "-2"},
           {"--sim-speed", "inf"},
           {"--sim-speed", "nan"},
           {"--sim-speed", "4", "--sim-speed", "8"},
           {"--auto-run=yes"},
           {"--auto-run", "--auto-run"},
           {"--auto-run", "--exit-after-parts", "0"},
           {"--auto-run", "--exit-after-parts", "1000001"},
           {"--auto-run", "--exit-after-parts", "16x"},
           {"--auto-run", "--exit-after-parts", "8", "--exit-after-parts", "8"},
           {"--exit-after-parts", "8"},
           {"--records-url"},
           {"--records-url", "a", "--records-url=b"},
       }) {
    const CommandLineOptions options = ParseCommandLine(args);
    EXPECT_FALSE(options.error.empty()) << args.front();
  }
}

// The station server's address and token file, checked before any window exists.
TEST(CommandLine, ServeOptionsAndTheirRefusals) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zv_serve_line_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string closed = (folder / "closed").string();
  const std::string open = (folder / "open").string();
  std::ofstream(closed) << "  line-secret \nsecond line\n";
  std::ofstream(open) << "line-secret\n";
  ::chmod(closed.c_str(), 0600);
  ::chmod(open.c_str(), 0640);
  struct Accepted {
    std::vector<std::string> args;
    std::string host;
    int port;
    std::string token;
  };
  for (const Accepted& row : std::vector<Accepted>{
           {{"--serve", "127.0.0.1:0"}, "127.0.0.1", 0, ""},
           {{"--serve=[::1]:65535"}, "::1", 65535, ""},
           {{"--serve", "0.0.0.0:8470", "--serve-token-file", closed},
            "0.0.0.0",
            8470,
            "line-secret"},
       }) {
    const CommandLineOptions options = ParseCommandLine(row.args);
    EXPECT_EQ(options.error, "") << row.args.front();
    EXPECT_EQ(options.serveHost, row.host);
    EXPECT_EQ(options.servePort, row.port);
    EXPECT_EQ(options.serveToken, row.token);
  }
  const std::string notPrivate =
      "the token file " + open +
      " may be read or written by its group or others (chmod 600 it); not serving";
  for (const auto& [args, error] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--serve", "0.0.0.0:8470"},
            "--serve on 0.0.0.0 reaches other machines; give a --serve-token-file; not serving"},
           {{"--serve", "0.0.0.0:8470", "--serve-token-file", open}, notPrivate},
           {{"--serve", "127.0.0.1:8470", "--serve-token-file", open}, notPrivate},
           {{"--serve-token-file", closed}, "--serve-token-file needs --serve"},
           {{"--serve", "8470"}, "--serve needs HOST:PORT, not 8470"},
           {{"--serve", "127.0.0.1:65536"}, "--serve needs HOST:PORT, not 127.0.0.1:65536"},
           {{"--serve", "a:1", "--serve", "b:2"}, "--serve given twice"},
           {{"--serve"}, "--serve needs a value"},
       }) {
    EXPECT_EQ(ParseCommandLine(args).error, error) << args.back();
  }
  std::filesystem::remove_all(folder);
}

TEST(CommandLine, UsageNamesEveryOption) {
  const std::string usage = CommandLineUsage("gangprog");
  for (const char* option :
       {"--base-dir", "--simulate", "--log-stdout", "--usb-trace", "--project", "--help",
        "--sim-speed", "--auto-run", "--project-window", "--sim-cards", "--exit-after-parts",
        "--records-url", "--serve", "--serve-token-file"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}
