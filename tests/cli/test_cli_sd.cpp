// gangprog-cli sd on simulated units with SD cards: a demo project added to every card,
// listed, deleted from one, copied back from the other, and the cards formatted.
#include <filesystem>
#include <fstream>

#include "tests/cli/cli_fixture.h"

namespace {

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

class CliSdTest : public CliTest {
 protected:
  CliResult Sd(std::vector<std::string> args) {
    std::vector<std::string> all{"--simulate",     "2", "--base-dir", Base(), "--sim-cards",
                                 Base() + "cards", "sd"};
    all.insert(all.end(), args.begin(), args.end());
    return Run(all);
  }
  std::string Name() const { return std::filesystem::path(Project()).stem().string(); }
};

TEST_F(CliSdTest, AddListDeleteCopyAndFormat) {
  ASSERT_EQ(Sd({"add", "--project", Project()}).status, CliExit::AllPassed);
  CliResult list = Sd({"list"});
  ASSERT_EQ(list.status, CliExit::AllPassed) << list.out << list.err;
  EXPECT_TRUE(Has(list.out, "Site 1: 1 project(s)")) << list.out;
  EXPECT_TRUE(Has(list.out, "Site 2: 1 project(s)"));
  EXPECT_TRUE(Has(list.out, "  0    ")) << list.out;
  EXPECT_TRUE(Has(list.out, Name()));

  EXPECT_EQ(Sd({"--sites", "1", "delete", "0"}).status, CliExit::AllPassed);
  EXPECT_TRUE(Has(Sd({"--sites", "1", "list"}).out, "Site 1: 0 project(s)"));
  EXPECT_EQ(Sd({"--sites", "1", "delete", "0"}).status, CliExit::PartFailed);

  const CliResult copy = Sd({"copy", "--from", "2"});
  EXPECT_EQ(copy.status, CliExit::AllPassed) << copy.out << copy.err;
  EXPECT_TRUE(Has(Sd({"--sites", "1", "list"}).out, "Site 1: 1 project(s)"));

  const CliResult refused = Sd({"format"});
  EXPECT_EQ(refused.status, CliExit::BadInput);
  EXPECT_TRUE(Has(refused.err, "--yes"));
  EXPECT_EQ(Sd({"format", "--yes"}).status, CliExit::AllPassed);
  EXPECT_EQ(Sd({"list"}).status, CliExit::PartFailed);  // a blank card has no list
}

// One object per site, the projects newest first; a card without a list has none.
TEST_F(CliSdTest, ListAsJson) {
  const std::filesystem::path cards = Base() + "cards";
  std::filesystem::create_directories(cards / "Site1");
  std::filesystem::create_directories(cards / "Site2");
  // The card folder of the unit that the rescan orders to site 1.
  std::ofstream(cards / "Site2" / "List") << "[ListName]\r\nProjCount=2\r\nProjNumber=0\r\n"
                                             "Proj0=Old\r\nProjDate0=20200101000000\r\n"
                                             "Proj3=New\r\nProjDate3=20250101000000\r\n";
  const CliResult list = Sd({"list", "--json"});
  EXPECT_EQ(list.status, CliExit::PartFailed);
  EXPECT_EQ(list.OutLines(),
            (std::vector<std::string>{R"({"site":1,"result":"pass","projects":[)"
                                      R"({"slot":3,"date":"20250101000000","name":"New"},)"
                                      R"({"slot":0,"date":"20200101000000","name":"Old"}]})",
                                      R"({"site":2,"result":"fail","projects":[]})"}))
      << list.out;
  EXPECT_TRUE(Has(list.err, "Site #2 - Not Find List File!")) << list.err;
}

TEST_F(CliSdTest, BadProjectAndMissingUnitHaveTheirStatus) {
  EXPECT_EQ(Sd({"add", "--project", Base() + "none.zvprj"}).status, CliExit::BadInput);
  std::ofstream(Base() + "text.zvprj") << "not a project";
  const CliResult foreign = Sd({"add", "--project", Base() + "text.zvprj"});
  EXPECT_EQ(foreign.status, CliExit::BadInput);
  EXPECT_TRUE(Has(foreign.out + foreign.err, "Project File Format Error!")) << foreign.out;
  EXPECT_EQ(Sd({"--sites", "5", "list"}).status, CliExit::NoUnit);
  // Units without cards: every site fails.
  EXPECT_EQ(Run({"--simulate", "1", "--base-dir", Base(), "sd", "list"}).status,
            CliExit::PartFailed);
}

}  // namespace
