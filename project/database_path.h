#pragma once
// Names of the database below BaseDir come from project and driver files. They are looked up
// as one plain name inside a known folder, without letter case where the exact name is
// absent (the database is written on systems whose file names ignore it), and a name that
// could leave the folder ("..", a separator) is never found.
#include <optional>
#include <string>

// True for a single path component: not empty, not "." or "..", no "/", "\" or NUL.
bool IsPlainFileName(const std::string& name);

// The path of `name` inside `folder`: the exact entry if it exists, else the first entry whose
// name equals it ignoring ASCII letter case. nullopt when none exists or the name is not plain.
std::optional<std::string> FindInFolder(const std::string& folder, const std::string& name);

// The path a database file is read from: FindInFolder's path, else `folder` + "/" + `name`,
// which does not exist. A name that is not plain gives the folder itself, which is no file, so
// no name can reach outside the folder.
std::string DatabaseFile(const std::string& folder, const std::string& name);
