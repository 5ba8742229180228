#pragma once
// A loaded project with every record the workers read from it: the per-site driver records,
// project values and process plans, the driver image, the hardware values, the menu record and
// the group-define table (CProject). A load builds a new one and the system replaces the old
// one whole, only while no worker runs, so a worker never sees half of two projects and a load
// that fails leaves the previous project in place.
#include <cstdint>
#include <memory>
#include <string>

#include "project/cproject.h"
#include "project/hardware_ini.h"
#include "project/project_records.h"

// Where a project load leaves the data image that the runs stream: BaseDir + "Temp/Temp.BIN".
std::string DataImagePath(const SystemPaths& paths);

class LoadedProject {
 public:
  // `services` names everything a load works with but the records, which this object owns.
  struct Services {
    const SystemPaths& Paths;
    const Archiver& Archive;
    const DriverIndex& Index;
    ResourcePack& Pack;
    NamedLock& GroupDefineLock;
    LogSink& Log;
    MessageBoxFn Box;
  };
  explicit LoadedProject(const Services& services);
  LoadedProject(const LoadedProject&) = delete;
  LoadedProject& operator=(const LoadedProject&) = delete;

  ProjectRecords& Records() { return records_; }
  const ProjectRecords& Records() const { return records_; }
  HardwareValues& Hardware() { return hardware_; }
  CProject& Project() { return *project_; }
  const CProject& Project() const { return *project_; }
  // The archive it was loaded from; empty for the empty project of start-up.
  const std::string& Path() const { return path_; }
  void SetPath(std::string path) { path_ = std::move(path); }

  // The CRC-32 of the data image, taken once when the project is put in place (the per-part
  // records carry it); 0 when there is no image.
  std::uint32_t ImageCrc() const { return imageCrc_; }
  bool HasImage() const { return hasImage_; }
  void NoteImage(const std::string& imagePath);

  // Whether at least one procedure step is selected for site 0 (what a PC run needs).
  bool ProcedureSelected() const;

 private:
  ProjectRecords records_;
  HardwareValues hardware_;
  std::unique_ptr<CProject> project_;  // refers to the records above
  std::string path_;
  std::uint32_t imageCrc_ = 0;
  bool hasImage_ = false;
};
