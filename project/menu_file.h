#pragma once
// Loading side of the menu record: the driver's menu file (an INI text below
// "DataBase/Menu/") and the project's saved values ("History/Recovery/MenuOption.sav").
#include <string>

#include "project/menu_record.h"
#include "project/message_box_fn.h"

class IniFile;

inline constexpr const char* kMenuMainSection = "CurrentUserPage";
inline constexpr const char* kMenuPagePrefix = "CurrentUserPage_";
inline constexpr const char* kMenuValuesFileName = "MenuOption.sav";

namespace MenuMessage {
inline constexpr const char* FileMissing = "Menu File Does Not Exist!";
inline constexpr const char* ValuesMissing = "Menu Record file Does Not Exist!";
inline constexpr const char* IncorrectArchive =
    "Incorrect Menu Archive!\n\rThe Project Menu is too Old,\n\rPlease Recreate the Project File!";
inline constexpr const char* ComponentError = "Menu Component Error!";
inline constexpr const char* ParameterError = "Menu Parameter Error!";
inline constexpr const char* RecordTooLarge = "Menu Record Too Large!";
}  // namespace MenuMessage

// Reads pages 0 .. Total-1 and their components. A page is read up to the first component
// that the packer cannot get past, so a huge "ComponentTotal" or "Total" costs only what the
// file really holds.
MenuLayout ReadMenuLayout(const IniFile& menu);

// The message box text of a failed pack; empty for a failure that shows none.
std::string MenuPackMessage(MenuPackResult result);

// Builds `record` for the driver's `menuFile` name from the saved values at `valuesPath` (the
// project's "MenuOption.sav"). "NONE" (any letter case) passes without building. Every failure
// shows its message box (caption "ERROR") and gives false.
bool BuildMenuRecord(const std::string& baseDir, const std::string& menuFile,
                     const std::string& valuesPath, const MessageBoxFn& box, MenuRecord& record);

// "NONE" in any letter case: the driver has no menu.
bool IsNoMenu(const std::string& menuFile);
