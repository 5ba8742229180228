#pragma once
// The program's file dialogs go through these, so that a test can answer them instead of a
// person, as it answers the message boxes.
#include <functional>
#include <string>
#include <vector>

class QWidget;

struct FileDialogCall {
  std::string caption;
  std::string start;     // the folder the dialog opens in
  bool folder = false;   // a folder is chosen, not files
  bool several = false;  // files: more than one may be chosen
};

// The chosen paths; none when cancelled.
using FileDialogAnswerer = std::function<std::vector<std::string>(const FileDialogCall&)>;

// A folder below `start`; empty when cancelled.
std::string ChooseFolder(QWidget* parent, const std::string& caption, const std::string& start);
// Existing files matching `filter` ("Name(*.ext)"); one unless `several`; none when cancelled.
std::vector<std::string> ChooseFiles(QWidget* parent, const std::string& caption,
                                     const std::string& start, const std::string& filter,
                                     bool several);

// Tests: answer every file dialog with this function (empty to show real dialogs again).
void SetFileDialogAnswerer(FileDialogAnswerer answerer);
