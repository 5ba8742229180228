#include "tests/project/project_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
std::string MakeRoot() {
  std::string pattern = (fs::temp_directory_path() / "zv_project_test_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern + "/";
}
}  // namespace

ProjectSystem::ProjectSystem() : root(MakeRoot()) {
  paths.BaseDir = root + "base/";
  paths.TempDir = root + "temp/";
  for (const char* dir : {"base/System", "base/DataBase/INI", "base/DataBase/Menu",
                          "base/DataBase/Driver", "base/DataBase/FPGA", "base/DataBase/Update",
                          "base/History/Recovery", "base/Temp", "temp", "work"}) {
    fs::create_directories(root + dir);
  }
  fs::copy_file(ZV_PLUS_MODULE, paths.BaseDir + kPlusModulePath);
  WriteFile("System/Hardware.ini", "[Hardware]\nVDD_Offset=25\nBurnInTest_ErrorCount=3\n");
  WriteFile("DataBase/Driver/drv.bin", "driver-bytes");
  WriteFile("DataBase/FPGA/fpga.bit", std::string(300, '\xF0'));
  selectList_ = "Device List\r\nVersion 1\r\n";
  WriteFile(kSelectListPath, selectList_);
  pack =
      std::make_unique<ResourcePack>(paths.BaseDir, [](const std::string&, const std::string&) {});
  project = std::make_unique<CProject>(
      ProjectEnvironment{paths, archiver, index, *pack, records, hardware, groupLock, log,
                         [this](const std::string& text, const std::string&, unsigned) {
                           boxes.push_back(text);
                           return 1;
                         },
                         [this](const std::string&) { return freeBytes; }});
}

ProjectSystem::~ProjectSystem() {
  project.reset();
  pack.reset();
  std::error_code error;
  fs::remove_all(root, error);
}

void ProjectSystem::WriteFile(const std::string& relative, const std::string& text) const {
  const fs::path path = fs::path(paths.BaseDir) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

void ProjectSystem::AddPart(const std::string& manufacturer, const std::string& part,
                            const std::string& menuFile, const std::string& extraKeys) {
  const std::string relative = "DataBase/INI/" + manufacturer + "/" + part + ".ini";
  WriteFile(relative, "[ZV80ExternValue]\nMenuFile=" + menuFile +
                          "\nUserWav=drv.bin\nFPGAFile=fpga.bit\nTYPE=EEPROM\n"
                          "MainStartLow=0\nMainEndLow=4095\nBlockLength=512\n" +
                          extraKeys);
  selectList_ += manufacturer + "\r\n" + part + "\r\nunused\r\n" + relative + "\r\n";
  WriteFile(kSelectListPath, selectList_);
  index = ParseDriverIndex(selectList_);
}

void ProjectSystem::WriteMenu(const std::string& name, const std::string& date,
                              const std::string& pages) {
  WriteFile("DataBase/Menu/" + name, "[CurrentUserPage]\nDate=" + date + "\n" + pages);
}

ProjectRecipe ProjectSystem::RecipeFor(const std::string& manufacturer,
                                       const std::string& part) const {
  ProjectRecipe recipe;
  recipe.Keys.Manufacturer = manufacturer;
  recipe.Keys.PartsNumber = part;
  recipe.ImageSize = 3000;
  return recipe;
}

std::string ProjectSystem::Make(const ProjectRecipe& recipe, const std::string& name) const {
  const std::string path = root + "work/" + name;
  std::string error;
  if (!MakeProject(archiver, recipe, path, root + "work", error)) {
    throw std::runtime_error("project not made: " + error);
  }
  return path;
}
