#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <utility>

namespace {
// The one piece of process-wide state of the windows layer: there is one screen and one
// person (or test) to answer it. Used on the UI thread only.
MessageBoxAnswerer g_answerer;

QMessageBox::StandardButtons ButtonsOf(unsigned flags) {
  switch (flags & 0xF) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    default: return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconOf(unsigned flags) {
  switch (flags & 0xF0) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int ResultOf(int button) {
  switch (button) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return IDOK;
  }
}
}  // namespace

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer) { g_answerer = std::move(answerer); }

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (g_answerer) return g_answerer({text, caption, flags});
  QMessageBox box(IconOf(flags), QString::fromStdString(caption), QString::fromStdString(text),
                  ButtonsOf(flags));
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  if (flags & MB_DEFBUTTON2) {
    const auto buttons = box.buttons();
    if (buttons.size() > 1) box.setDefaultButton(qobject_cast<QPushButton*>(buttons[1]));
  }
  return ResultOf(box.exec());
}
