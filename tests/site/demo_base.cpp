#include "tests/site/demo_base.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/resource_pack.h"
#include "tools/make_demo_db/demo_database.h"
#include "tools/make_demo_db/demo_parts.h"
#include "tools/make_project/project_maker.h"

namespace fs = std::filesystem;

namespace {
std::string MakeRoot() {
  std::string pattern = (fs::temp_directory_path() / "zv_demo_base_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern + "/";
}
}  // namespace

DemoBase::DemoBase() : root(MakeRoot()), base(root + "base/"), temp(root + "temp/") {
  for (const char* dir : {"base/System", "base/Temp", "base/History/Reload",
                          "base/History/Recovery", "temp", "work"}) {
    fs::create_directories(root + dir);
  }
  fs::copy_file(ZV_PLUS_MODULE, base + kPlusModulePath);
  std::string error;
  if (!MakeDemoDatabase(archiver, base, error) ||
      !MakeDemoProjects(archiver, base, root + "work/demo", projects, error)) {
    throw std::runtime_error("demo set-up failed: " + error);
  }
}

DemoBase::~DemoBase() {
  std::error_code error;
  fs::remove_all(root, error);
}

SystemPaths DemoBase::Paths() const {
  SystemPaths paths;
  paths.BaseDir = base;
  paths.TempDir = temp;
  paths.DesktopDir = root + "work/";
  return paths;
}

std::string DemoBase::Damaged(const std::string& project, const std::string& name) const {
  std::ifstream in(project, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The middle of the archive is packed data image: the archive still opens and lists its
  // members, and only the image's extraction finds the damage, after the small members.
  bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5A);
  const std::string path = Work(name);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

namespace {
std::string Make(const Archiver& archiver, const ProjectRecipe& recipe, const std::string& path,
                 const std::string& workDir) {
  std::string error;
  if (!MakeProject(archiver, recipe, path, workDir, error)) {
    throw std::runtime_error("project " + path + ": " + error);
  }
  return path;
}
}  // namespace

std::string DemoBase::GroupDefined(const std::string& name,
                                   const std::vector<GroupDefineEntry>& table) const {
  ProjectRecipe recipe;
  for (const DemoPart& part : kDemoParts) {
    if (std::string(part.MenuFile) != "NONE") continue;
    recipe.Keys.Manufacturer = part.Manufacturer;
    recipe.Keys.PartsNumber = part.PartName;
  }
  recipe.Keys.UsingGroupDefine = true;
  recipe.GroupDefine = table;
  return Make(archiver, recipe, Work(name), root + "work/");
}

std::string DemoBase::Foreign(const std::string& name) const {
  ProjectRecipe recipe;
  recipe.Keys.Manufacturer = "Elsewhere";
  recipe.Keys.PartsNumber = "EW100";
  return Make(archiver, recipe, Work(name), root + "work/");
}
