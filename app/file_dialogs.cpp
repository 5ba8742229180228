#include "app/file_dialogs.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <utility>

namespace {
// Like the message boxes' answerer: one screen, one person (or test); UI thread only.
FileDialogAnswerer g_answerer;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}
}  // namespace

void SetFileDialogAnswerer(FileDialogAnswerer answerer) {
  g_answerer = std::move(answerer);
}

std::string ChooseFolder(QWidget* parent, const std::string& caption, const std::string& start) {
  if (g_answerer) {
    const std::vector<std::string> chosen = g_answerer({caption, start, true, false});
    return chosen.empty() ? std::string() : chosen.front();
  }
  return QFileDialog::getExistingDirectory(parent, Text(caption), Text(start)).toStdString();
}

std::vector<std::string> ChooseFiles(QWidget* parent, const std::string& caption,
                                     const std::string& start, const std::string& filter,
                                     bool several) {
  if (g_answerer) return g_answerer({caption, start, false, several});
  QStringList chosen;
  if (several) {
    chosen = QFileDialog::getOpenFileNames(parent, Text(caption), Text(start), Text(filter));
  } else {
    const QString one =
        QFileDialog::getOpenFileName(parent, Text(caption), Text(start), Text(filter));
    if (!one.isEmpty()) chosen << one;
  }
  std::vector<std::string> files;
  for (const QString& file : chosen) files.push_back(file.toStdString());
  return files;
}
