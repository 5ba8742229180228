#include "tests/cli/cli_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "site/ops/part_record_ops.h"
#include "site/ops/run_report.h"
#include "site/site_context.h"
#include "site/site_system.h"
#include "support/archiver.h"
#include "support/resource_pack.h"
#include "tools/make_demo_db/demo_database.h"
#include "tools/make_project/project_maker.h"

namespace fs = std::filesystem;

namespace {
std::string MakeTempFolder(const char* stem) {
  std::string pattern = (fs::temp_directory_path() / (std::string(stem) + "_XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern + "/";
}

PartRecord RecordOf(int site, bool pass) {
  PartRecord record;
  record.Site = site + 1;
  record.ProjectFile = "demo.zvprj";
  record.Manufacturer = "Demo";
  record.PartNumber = "Part";
  record.Sockets = 0b0011;
  record.Steps = {{0x0101, "Program", SiteResultCode::Pass, 12},
                  {0x0102, "Verify", pass ? SiteResultCode::Pass : SiteResultCode::Fail, 7}};
  record.RunResult = pass ? SiteResultCode::Pass : SiteResultCode::Fail;
  record.RunVerdict = record.RunResult;
  record.Pass = pass;
  record.ElapsedMs = 19;
  return record;
}

SiteResult OnePart(SiteContext& ctx, bool pass) {
  const SiteResult result = pass ? SiteResultCode::Pass : SiteResultCode::Fail;
  CountRunEnd(ctx.Panels(), ctx.Site(), result);
  SubmitPartRecord(ctx, RecordOf(ctx.Site(), pass));
  return result;
}
}  // namespace

std::vector<std::string> CliResult::OutLines() const {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<nlohmann::json> JsonLines(const CliResult& result) {
  std::vector<nlohmann::json> lines;
  for (const std::string& line : result.OutLines()) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

void RegisterStandIns(SiteSystem& system, PartVerdict verdict,
                      std::function<void(int site, int part)> onPart) {
  OpcodeTable& table = system.Opcodes();
  for (Opcode prepare :
       {Opcodes::CheckUsbPower, Opcodes::HardwareSettings, Opcodes::DriverSettings}) {
    table.Register(prepare,
                   [](SiteContext&, const OperationTexts&) { return SiteResultCode::Pass; });
  }
  table.Register(Opcodes::RunAll, [verdict](SiteContext& ctx, const OperationTexts&) {
    const int site = ctx.Site();
    return OnePart(ctx, verdict(site, 0));
  });
  table.Register(Opcodes::AutoRunLoop, [verdict, onPart](SiteContext& ctx, const OperationTexts&) {
    const int site = ctx.Site();
    SiteResult last = 0;
    for (int part = 0; ctx.Controls().StopAllEnabled; ++part) {
      last = OnePart(ctx, verdict(site, part));
      if (onPart) onPart(site, part);
    }
    return last;
  });
}

std::string CliTest::templateRoot_;

void CliTest::SetUpTestSuite() {
  const std::string root = MakeTempFolder("cli_template");
  const std::string base = root + "base/";
  Archiver archiver;
  std::string error;
  std::vector<std::string> written;
  fs::create_directories(base + "System");
  ASSERT_TRUE(MakeDemoDatabase(archiver, base, error)) << error;
  ASSERT_TRUE(MakeDemoProjects(archiver, base, base + "Projects", written, error)) << error;
  fs::copy_file(ZV_PLUS_MODULE, base + kPlusModulePath);
  templateRoot_ = root;
}

void CliTest::TearDownTestSuite() {
  std::error_code error;
  fs::remove_all(templateRoot_, error);
}

void CliTest::SetUp() {
  root_ = MakeTempFolder("cli_test");
  base_ = root_ + "base/";
  fs::copy(templateRoot_ + "base", base_, fs::copy_options::recursive);
}

void CliTest::TearDown() {
  std::error_code error;
  fs::remove_all(root_, error);
}

std::string CliTest::Project() const {
  std::vector<std::string> projects;
  for (const auto& entry : fs::directory_iterator(base_ + "Projects")) {
    projects.push_back(entry.path().string());
  }
  std::sort(projects.begin(), projects.end());
  return projects.empty() ? std::string() : projects.front();
}

std::string CliTest::NewBase(const std::string& name) {
  const std::string base = root_ + name + "/base/";
  fs::create_directories(base);
  fs::copy(templateRoot_ + "base", base, fs::copy_options::recursive);
  return base;
}

CliResult CliTest::Run(const std::vector<std::string>& args,
                       std::function<void(SiteSystem&)> prepare) {
  return RunWithTemp(root_, args, std::move(prepare));
}

CliResult CliTest::RunWithTemp(const std::string& tempRoot, const std::vector<std::string>& args,
                               std::function<void(SiteSystem&)> prepare) {
  std::ostringstream out;
  std::ostringstream err;
  CliEnvironment env(out, err);
  env.tempRoot = tempRoot;
  env.simulationTiming = false;
  env.prepare = std::move(prepare);
  env.stop = &stop_;
  CliResult result;
  result.status = RunCli(args, env);
  result.out = out.str();
  result.err = err.str();
  return result;
}
