#pragma once
// Writes project archives (".zvprj") as the separate project editor does: "Info.meg" with the
// 49 keys, "Temp.BIN", "Recovery.ini", and optionally "MenuOption.sav" and "GrpDef.def", in a
// 7z archive protected by the project password. Used by the make_project program, the demo
// set-up and the tests; the omission switches make the broken archives the tests need.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "project/group_define.h"
#include "project/project_keys.h"
#include "support/archiver.h"

struct MenuLayout;

struct ProjectRecipe {
  ProjectKeys Keys;       // Manufacturer, PartsNumber, step flags, MenuDate, ...
  std::string ImageFile;  // data image to copy; empty: generate ImageSize bytes
  std::uint64_t ImageSize = 4096;
  std::optional<std::vector<std::string>> MenuValues;  // lines of "MenuOption.sav"
  std::optional<std::vector<GroupDefineEntry>> GroupDefine;
  std::optional<std::string> TempSizeText;  // "TempSize" as written; empty: the image size
  std::string Password = ArchivePassword::Project;
  bool OmitInfo = false;
  bool OmitImage = false;
  bool OmitRecovery = false;
};

// Writes the archive at `outPath` (replacing it). `workDir` receives the members for a moment
// and is emptied of them again. False with `error` set when anything fails.
bool MakeProject(const Archiver& archiver, const ProjectRecipe& recipe, const std::string& outPath,
                 const std::string& workDir, std::string& error);

// Writes `size` bytes of the generated data image (an address pattern, so that archives of
// large images stay quick to make) to `path`.
bool WriteGeneratedImage(const std::string& path, std::uint64_t size);

// Values for every component of `layout` that takes a line: numbers 0 (1 for value-typed
// numbers), "TEXT" for text fields; plus one spare line when the menu ends with components
// that take none, as the loader checks that a line remains for each component.
std::vector<std::string> DefaultMenuValues(const MenuLayout& layout);

// One demo project per part of the demo database below `baseDir` (its "Select.SEL"), written
// to `outDir` as part number + ".zvprj". Returns the paths written; `error` on failure.
bool MakeDemoProjects(const Archiver& archiver, const std::string& baseDir,
                      const std::string& outDir, std::vector<std::string>& written,
                      std::string& error);
