// gangprog-cli info, self-test and led on simulated units: what each prints per unit, that
// what was read is printed even where a step failed, and the exit statuses.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "site/opcode_table.h"
#include "site/ops/firmware_ops.h"
#include "site/site_context.h"
#include "site/site_system.h"
#include "support/system_paths.h"
#include "tests/cli/cli_fixture.h"

namespace {
using Json = nlohmann::json;

// The firmware version step failing on site index `failing` (the serial read after it then never
// runs there) and reading the unit on the others; -1 leaves the step as it is.
std::function<void(SiteSystem&)> VersionStep(int failing) {
  return [failing](SiteSystem& system) {
    if (failing < 0) return;
    system.Opcodes().Register(Opcodes::BiosVersionGet,
                              [failing](SiteContext& ctx, const OperationTexts&) {
                                const int site = ctx.Site();
                                return site == failing ? SiteResultCode::Fail : BiosVersionGet(ctx);
                              });
  };
}

TEST_F(CliTest, InfoPrintsEveryUnitsFirmwareSerialAndIdentifier) {
  struct Case {
    const char* name;
    int failing;  // site index whose version step fails, -1 none
    int status;
  };
  for (const Case& c : {Case{"all read", -1, CliExit::AllPassed},
                        Case{"site 2's version fails", 1, CliExit::PartFailed}}) {
    SCOPED_TRACE(c.name);
    const CliResult result =
        Run({"--simulate", "2", "--base-dir", Base(), "info", "--json"}, VersionStep(c.failing));
    EXPECT_EQ(result.status, c.status) << result.err;
    const std::vector<Json> units = JsonLines(result);
    ASSERT_EQ(units.size(), 2u);
    for (std::size_t k = 0; k < units.size(); ++k) {
      const Json& unit = units[k];
      const bool failed = static_cast<int>(k) == c.failing;
      EXPECT_EQ(unit["site"], k + 1);
      EXPECT_EQ(unit["result"], failed ? "FAIL" : "PASS");
      EXPECT_EQ(unit["firmware_number"], 1);
      EXPECT_EQ(unit["firmware_version"], failed ? "" : "1.3");
      EXPECT_EQ(std::string(unit["order_key"]).rfind("0x", 0), 0u);
      // The serial read follows the version step: a unit whose version failed shows none.
      EXPECT_EQ(std::string(unit["serial"]).substr(0, 8), failed ? "" : "SIM-1000");
    }
  }
}

TEST_F(CliTest, SelfTestAndLedRunOnTheChosenUnitsAndReleaseTheImage) {
  std::string tempDir;
  const CliResult selfTest =
      Run({"--simulate", "2", "--base-dir", Base(), "self-test", "--json", "--sites", "2"},
          [&](SiteSystem& system) { tempDir = system.Paths().TempDir; });
  EXPECT_EQ(selfTest.status, CliExit::AllPassed) << selfTest.err;
  const std::vector<Json> units = JsonLines(selfTest);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0]["site"], 2);
  EXPECT_EQ(units[0]["self_test"], "SDRAM Test Pass, FPGA Test Pass, USB Test Pass");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(tempDir) / "SelfTest.pga"));

  const CliResult led = Run({"--simulate", "2", "--base-dir", Base(), "led"});
  EXPECT_EQ(led.status, CliExit::AllPassed) << led.err;
  EXPECT_NE(led.out.find("site  result\n1     PASS\n2     PASS\n"), std::string::npos) << led.out;
}

TEST_F(CliTest, ServiceCommandsWithoutUnitsOrWithBadSites) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {{"--simulate", "0", "--base-dir", Base(), "info"}, CliExit::NoUnit},
      {{"--simulate", "1", "--base-dir", Base(), "led", "--sites", "3"}, CliExit::NoUnit},
      {{"--simulate", "1", "--base-dir", Base(), "self-test", "--sites", "9"}, CliExit::BadInput},
      {{"--simulate", "1", "--base-dir", Base(), "info", "--sites", "1,1"}, CliExit::BadInput},
      {{"--simulate", "1", "--base-dir", Base(), "led", "--json"}, CliExit::BadInput},
  };
  for (const Case& c : cases) {
    const CliResult result = Run(c.args);
    EXPECT_EQ(result.status, c.status) << c.args.back() << result.err;
  }
  // Without the resource pack there is no self-test image: the program's message, nothing run.
  std::filesystem::remove(Base() + "System/Plus.dll");
  const CliResult noPack = Run({"--simulate", "1", "--base-dir", Base(), "self-test"});
  EXPECT_EQ(noPack.status, CliExit::BadInput);
  EXPECT_NE(noPack.err.find("ERROR: Plus.dll Does Not Exist!"), std::string::npos) << noPack.err;
}

}  // namespace
