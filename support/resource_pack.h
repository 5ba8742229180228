#pragma once
// The resource pack: the loadable module "System/Plus.dll" below the program directory,
// built from the files of resources/ ("SelfTest.pga", "INIOrder.tab"). Resources are found by
// name (the file name without extension) in one table the module exports.
// The archiver needs no resource: it is the 7zz program (support/archiver.h), so nothing like
// an archiver library is extracted.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// What the module exports, with C linkage so that dlsym finds it by name: an array of
// entries and its length, as data (no function pointer casts needed).
extern "C" {
struct PlusResource {
  const char* Name;  // "SelfTest", "INIOrder"
  const unsigned char* Data;
  std::size_t Size;
};
}
inline constexpr char kPlusTableSymbol[] = "ZvPlusResources";      // const PlusResource[]
inline constexpr char kPlusCountSymbol[] = "ZvPlusResourceCount";  // const std::size_t
inline constexpr char kPlusModulePath[] = "System/Plus.dll";       // below BaseDir

// The message box of a failure the user must see: (text, caption). The Qt layer shows a box
// and ends the program; tests record the call.
using ErrorReporter = std::function<void(const std::string& text, const std::string& caption)>;

// The loaded module. One per system; it is loaded at the first use and stays loaded.
class ResourcePack {
 public:
  ResourcePack(std::string baseDir, ErrorReporter reportError);
  ~ResourcePack();
  ResourcePack(const ResourcePack&) = delete;
  ResourcePack& operator=(const ResourcePack&) = delete;

  // Loads the module when needed. A missing module reports "Plus.dll Does Not Exist!"
  // (caption "ERROR") and gives false; so does a module without the table.
  bool Load();
  bool Loaded() const { return table_ != nullptr; }
  // The resource by name (ASCII letter case ignored); nullptr when absent or not loaded.
  const PlusResource* Find(std::string_view name) const;
  const std::string& ModulePath() const { return modulePath_; }
  void ReportError(const std::string& text, const std::string& caption) const;

 private:
  std::string modulePath_;
  ErrorReporter reportError_;
  void* handle_ = nullptr;
  const PlusResource* table_ = nullptr;
  std::size_t count_ = 0;
};

// One extracted resource file: temp directory + file name. Construction writes the resource
// named after the file name without extension, unless that file already exists; destruction
// deletes the file. Ok() is false when the pack is missing or lacks the resource.
class RC_Plus {
 public:
  RC_Plus(ResourcePack& pack, const std::string& tempDir, const std::string& fileName);
  ~RC_Plus();
  RC_Plus(const RC_Plus&) = delete;
  RC_Plus& operator=(const RC_Plus&) = delete;

  bool Ok() const { return ok_; }
  // The full path of the extracted file (set even when extraction failed).
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool ok_ = false;
};
