#pragma once
// Every message box of the program goes through ShowMessageBox, so that a test can answer
// it instead of a person: install an answerer and no window is shown.
#include <functional>
#include <string>

enum MessageBoxFlags : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,
};

enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxCall {
  std::string text;
  std::string caption;
  unsigned flags;
};

using MessageBoxAnswerer = std::function<int(const MessageBoxCall&)>;

// Modal, top-most message box; returns the pressed button.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);

// Tests: answer every message box with this function (empty to show real boxes again).
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);
