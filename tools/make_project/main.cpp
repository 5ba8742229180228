// make_project: writes one project archive, or one demo project per part of a database.
//   make_project --demo <BaseDir> <out dir>
//   make_project --out <file.zvprj> --manufacturer <name> --part <number>
//                [--image <file> | --image-size <bytes>] [--steps <list>] [--menu-date <text>]
//                [--menu-value <line>]... [--menu-values <file>] [--group-define <file>]
//                [--key <Name>=<value>]... [--password <text>] [--7zz <program>]
// --steps: comma-separated of pinscan,id,erase,blank,program,verify,protect (the rest off).
// --group-define: a text file of lines "Parameter,Start,End,Size".
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "project/menu_record.h"
#include "support/ini_file.h"
#include "support/system_paths_init.h"
#include "tools/make_project/project_maker.h"

namespace {
int Usage() {
  std::cerr << "usage: make_project --demo <BaseDir> <out dir>\n"
               "       make_project --out <file> --manufacturer <name> --part <number> [options]\n";
  return 2;
}

bool SetSteps(const std::string& list, ProjectKeys& keys) {
  keys.PinscanCheck = keys.IDCheck = keys.EraseCheck = keys.BlankCheck = false;
  keys.ProgramCheck = keys.VerifyCheck = keys.ProtectCheck = false;
  std::stringstream stream(list);
  for (std::string step; std::getline(stream, step, ',');) {
    if (step == "pinscan")
      keys.PinscanCheck = true;
    else if (step == "id")
      keys.IDCheck = true;
    else if (step == "erase")
      keys.EraseCheck = true;
    else if (step == "blank")
      keys.BlankCheck = true;
    else if (step == "program")
      keys.ProgramCheck = true;
    else if (step == "verify")
      keys.VerifyCheck = true;
    else if (step == "protect")
      keys.ProtectCheck = true;
    else
      return false;
  }
  return true;
}

// Sets one key of the table by name, read with the key's own type.
bool SetKey(const std::string& assignment, ProjectKeys& keys) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string::npos) return false;
  const std::string name = assignment.substr(0, equals);
  bool known = false;
  for (const ProjectKey& key : kProjectKeys) known = known || IniNamesEqual(key.name, name);
  IniFile ini;
  WriteProjectKeys(ini, keys);
  if (!known || !ini.WriteString(kProjectInfoSection, name, assignment.substr(equals + 1))) {
    return false;
  }
  ReadProjectKeys(ini, keys);
  return true;
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::stringstream text;
  text << file.rdbuf();
  lines = SplitValueLines(text.str());
  return true;
}

bool ReadGroupDefineText(const std::string& path, std::vector<GroupDefineEntry>& entries) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return false;
  for (const std::string& line : lines) {
    if (TrimIniBlanks(line).empty()) continue;
    GroupDefineEntry entry;
    char comma[3];
    std::istringstream fields(line);
    if (!(fields >> entry.Parameter >> comma[0] >> entry.Start >> comma[1] >> entry.End >>
          comma[2] >> entry.Size)) {
      return false;
    }
    entries.push_back(entry);
  }
  return true;
}

int Demo(const Archiver& archiver, const std::string& baseDir, const std::string& outDir) {
  std::vector<std::string> written;
  std::string error;
  if (!MakeDemoProjects(archiver, WithTrailingSlash(baseDir), outDir, written, error)) {
    std::cerr << "make_project: " << error << "\n";
    return 1;
  }
  for (const std::string& path : written) std::cout << path << "\n";
  return 0;
}
}  // namespace

namespace {
struct Options {
  ProjectRecipe recipe;
  std::string out;
  std::string program = "7zz";
  std::vector<std::string> menuValues;
  bool haveMenuValues = false;
};

// Parses one option with its value; false for an unknown option or a bad value.
bool ParseOption(const std::string& name, const std::string& value, Options& options) {
  ProjectRecipe& recipe = options.recipe;
  if (name == "--out")
    options.out = value;
  else if (name == "--manufacturer")
    recipe.Keys.Manufacturer = value;
  else if (name == "--part")
    recipe.Keys.PartsNumber = value;
  else if (name == "--image")
    recipe.ImageFile = value;
  else if (name == "--image-size")
    recipe.ImageSize = std::stoull(value);
  else if (name == "--steps")
    return SetSteps(value, recipe.Keys);
  else if (name == "--menu-date")
    recipe.Keys.MenuDate = value;
  else if (name == "--password")
    recipe.Password = value;
  else if (name == "--7zz")
    options.program = value;
  else if (name == "--key")
    return SetKey(value, recipe.Keys);
  else if (name == "--menu-value") {
    options.menuValues.push_back(value);
    options.haveMenuValues = true;
  } else if (name == "--menu-values") {
    std::vector<std::string> lines;
    if (!ReadLines(value, lines)) return false;
    options.menuValues.insert(options.menuValues.end(), lines.begin(), lines.end());
    options.haveMenuValues = true;
  } else if (name == "--group-define") {
    std::vector<GroupDefineEntry> entries;
    if (!ReadGroupDefineText(value, entries)) return false;
    recipe.GroupDefine = entries;
    recipe.Keys.UsingGroupDefine = true;
  } else {
    return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "--demo") return Demo(Archiver(), args[1], args[2]);
  Options options;
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    bool ok = false;
    try {
      ok = ParseOption(args[i], args[i + 1], options);
    } catch (const std::exception&) {
      ok = false;
    }
    if (!ok) {
      std::cerr << "make_project: bad option " << args[i] << " " << args[i + 1] << "\n";
      return Usage();
    }
  }
  if (args.size() % 2 != 0 || options.out.empty() || options.recipe.Keys.PartsNumber == "0") {
    return Usage();
  }
  if (options.haveMenuValues) options.recipe.MenuValues = options.menuValues;
  const std::filesystem::path out = std::filesystem::absolute(options.out);
  std::string error;
  if (!MakeProject(Archiver(options.program), options.recipe, out.string(),
                   out.parent_path().string(), error)) {
    std::cerr << "make_project: " << error << "\n";
    return 1;
  }
  std::cout << out.string() << "\n";
  return 0;
}
