// A system of its own for project tests: BaseDir with a small database, TempDir, the records
// a load fills, and recorders for the log and the message boxes. Projects are written with
// the project maker, as the project editor writes them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "log/core/log_sink.h"
#include "project/cproject.h"
#include "project/driver_index.h"
#include "project/hardware_ini.h"
#include "project/project_records.h"
#include "support/archiver.h"
#include "support/named_lock.h"
#include "support/resource_pack.h"
#include "support/system_paths.h"
#include "tools/make_project/project_maker.h"

struct LoggedLine {
  std::string text;
  std::uint32_t colour;
};

class RecordingLog : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    lines.push_back({text, colour});
  }
  std::vector<LoggedLine> lines;
};

class ProjectSystem {
 public:
  ProjectSystem();
  ~ProjectSystem();

  // Adds a driver to the database (folder = manufacturer) and the index ("Select.SEL",
  // reloaded at once). `extraKeys`: more "key=value" lines of section ZV80ExternValue.
  void AddPart(const std::string& manufacturer, const std::string& part,
               const std::string& menuFile = "NONE", const std::string& extraKeys = "");
  void WriteFile(const std::string& relative, const std::string& text) const;
  void WriteMenu(const std::string& name, const std::string& date, const std::string& pages);
  // A project recipe for a part of the database, with a small generated image.
  ProjectRecipe RecipeFor(const std::string& manufacturer, const std::string& part) const;
  // Writes the project below the test folder and returns its path.
  std::string Make(const ProjectRecipe& recipe, const std::string& name = "test.zvprj") const;

  std::string Base(const std::string& relative) const { return paths.BaseDir + relative; }
  std::string Temp(const std::string& relative) const { return paths.TempDir + relative; }

  std::string root;
  SystemPaths paths;
  Archiver archiver;
  DriverIndex index;
  std::unique_ptr<ResourcePack> pack;
  ProjectRecords records;
  HardwareValues hardware;
  NamedLock groupLock;
  RecordingLog log;
  std::vector<std::string> boxes;  // texts of the error boxes shown
  std::uint64_t freeBytes = UINT64_MAX / 4;
  std::unique_ptr<CProject> project;

 private:
  std::string selectList_;
};
