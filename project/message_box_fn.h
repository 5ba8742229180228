#pragma once
// How the project layer asks the windows to show a message box without depending on them:
// the program hands down its ShowMessageBox, a test hands down a recorder.
#include <functional>
#include <string>

using MessageBoxFn =
    std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;

inline constexpr const char* kErrorCaption = "ERROR";
inline constexpr unsigned kErrorIconFlag = 0x10;  // the error icon, with the single OK button

// Shows an error box when a function was handed down; silent otherwise.
inline void ShowErrorBox(const MessageBoxFn& box, const std::string& text) {
  if (box) box(text, kErrorCaption, kErrorIconFlag);
}
