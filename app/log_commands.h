#pragma once
// The user's log commands of the main window and the log step of its close query.
#include <functional>
#include <string>

class TLogView;
class LogSink;
class QWidget;
struct S_SystemPara;

struct LogCommandContext {
  TLogView& view;
  const S_SystemPara& settings;
  LogSink& log;
  std::string desktopDir;  // initial folder of the Save dialog
  QWidget* dialogParent = nullptr;
};

// Chooses the file of the Save command; empty when the user cancels. Replaced in tests.
using SaveFileChooser = std::string (*)(QWidget* parent, const std::string& initialFolder);
std::string ChooseLogSaveFile(QWidget* parent, const std::string& initialFolder);

// "Clear": asks, then clears the view on "Yes" (without the locks).
void LogClearCommand(const LogCommandContext& ctx);
// "Save": the save dialog, then the view's text into the chosen file. False when the user
// cancelled or the file could not be written (reported in a message box).
bool LogSaveCommand(const LogCommandContext& ctx, SaveFileChooser chooser = ChooseLogSaveFile);

// The log step of closing, by MBoxClrSel. Returns whether closing is allowed; `cleanup` (the exit
// clean-up) runs when the selection is 0 or 1 and closing goes on.
bool LogCloseStep(const LogCommandContext& ctx, const std::function<void()>& cleanup,
                  SaveFileChooser chooser = ChooseLogSaveFile);
