#pragma once
// A base folder of its own with the demo database, the resource pack and one demo project per
// demo part (written by the same makers as the demo set-up), plus projects that cannot load: a
// damaged copy of a demo project and a project of a maker the database does not know.
#include <string>
#include <vector>

#include "project/group_define.h"
#include "support/archiver.h"
#include "support/system_paths.h"

class DemoBase {
 public:
  DemoBase();
  ~DemoBase();
  DemoBase(const DemoBase&) = delete;
  DemoBase& operator=(const DemoBase&) = delete;

  SystemPaths Paths() const;
  // A copy of `project` with one byte of its packed data image changed, below the work folder.
  std::string Damaged(const std::string& project, const std::string& name) const;
  // A project that passes the archive check but names a maker without a database folder.
  std::string Foreign(const std::string& name) const;
  // A project of the demo part without menu that carries and uses a group-define table.
  std::string GroupDefined(const std::string& name,
                           const std::vector<GroupDefineEntry>& table) const;
  std::string Work(const std::string& name) const { return root + "work/" + name; }

  std::string root;  // ends in "/": base/, temp/, work/ below it
  std::string base;
  std::string temp;
  std::vector<std::string> projects;  // the demo projects, one per part
  Archiver archiver;
};
