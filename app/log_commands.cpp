#include "app/log_commands.h"

#include <QFileDialog>
#include <QString>
#include <filesystem>

#include "app/message_box.h"
#include "log/core/log_sink.h"
#include "log/view/log_view.h"
#include "support/system_para.h"

namespace {
constexpr const char* kQuestion = "QUESTION";

// The user chose a file and the write failed: the log is still in the view, say so.
void ReportSaveFailure(const std::string& path) {
  ShowMessageBox("Save Log File Fail!\n" + path, "ERROR", MB_OK | MB_ICONERROR);
}

void SaveOnClose(const LogCommandContext& ctx) {
  const std::filesystem::path saved = ctx.view.SaveAutomaticallyAndClear(ctx.settings.MegSaveDir);
  if (saved.empty()) {
    ReportSaveFailure(ctx.settings.MegSaveDir);
    return;
  }
  ctx.log.Write("Save and Clear Log!", LogColour::Orange);
}
}  // namespace

std::string ChooseLogSaveFile(QWidget* parent, const std::string& initialFolder) {
  QFileDialog dialog(parent, QString(), QString::fromStdString(initialFolder),
                     QStringLiteral("Log File(*.txt) (*.TXT *.txt)"));
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("TXT"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first().toStdString();
}

void LogClearCommand(const LogCommandContext& ctx) {
  const int answer = ShowMessageBox("Are You Sure to Clear the Log?", kQuestion,
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (answer == IDYES) ctx.view.ClearLog();
}

bool LogSaveCommand(const LogCommandContext& ctx, SaveFileChooser chooser) {
  const std::string path = chooser(ctx.dialogParent, ctx.desktopDir);
  if (path.empty()) return false;
  ctx.view.FlushPending();
  if (ctx.view.SaveToFile(path)) return true;
  ReportSaveFailure(path);
  return false;
}

bool LogCloseStep(const LogCommandContext& ctx, const std::function<void()>& cleanup,
                  SaveFileChooser chooser) {
  switch (ctx.settings.MBoxClrSel) {
    case 0: {
      const int answer = ShowMessageBox("Do You Want to Save the Log file?", kQuestion,
                                        MB_YESNOCANCEL | MB_ICONQUESTION);
      if (answer == IDCANCEL) return false;
      if (answer == IDYES) LogSaveCommand(ctx, chooser);
      break;
    }
    case 1:
      ctx.view.FlushPending();
      SaveOnClose(ctx);
      break;
    default:
      return true;  // neither asked nor saved, and no clean-up
  }
  if (cleanup) cleanup();
  return true;
}
