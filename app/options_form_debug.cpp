// The options window's "Debug" page: commands on the sites selected in the main window, the
// repeat loops, the key run and the burn-in.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>
#include <memory>

#include "app/message_box.h"
#include "app/mouse_flush.h"
#include "app/options_form.h"
#include "site/run_session.h"
#include "site/site_system.h"
#include "support/system_paths.h"

namespace {
constexpr double kTranslucentOpacity = 100.0 / 255.0;
constexpr int kEndlessLoop = -1;
constexpr const char* kBurnInWarning = "Please do not insert the IC into the ZIF socket!";

// A selected site that a pass can start on. Sites whose unit is lost become unselected; a site
// that a key run holds cannot be started, and a loop over such sites alone would spin without
// end and without letting the window handle an event.
bool AnySelectedSiteIdle(SiteSystem& system) {
  for (int site = 0; site < kSiteCount; ++site) {
    const TSiteStatus status = system.Panels().Status(site);
    if (system.Panels().Checked(site) && status != siNone && !SiteHeld(status)) return true;
  }
  return false;
}
}  // namespace

void TOptionsForm::RunDebugCommand(RunRecipe recipe) {
  RunSession& session = system_.Session();
  session.WaitForEnd(session.Start(recipe, SiteChoice::SelectedSites()));
  mouseFlush_->Flush();
}

void TOptionsForm::Button7Click() {
  RunDebugCommand(RunRecipe::Reset);
}

void TOptionsForm::Button11Click() {
  RunDebugCommand(RunRecipe::SetHardware);
}

void TOptionsForm::Button17Click() {
  RunDebugCommand(RunRecipe::IoMode);
}

void TOptionsForm::Button8Click() {
  RunLoop(
      [this] {
        emit RunProgramRequested();
        return true;
      },
      false);
}

void TOptionsForm::Button9Click() {
  RunLoop([this] { return ExecuteSelfTest(); }, true);
}

void TOptionsForm::Button10Click() {
  RunLoop(
      [this] {
        Button11Click();
        return true;
      },
      true);
}

// Repeats `pass` Edit2 times (for ever at -1) while a selected site can start. A pass that is
// refused (its warning answered Cancel) and closing the window end the loop too: the main window,
// where sites are unselected, stays disabled while this window is open.
void TOptionsForm::RunLoop(const std::function<bool()>& pass, bool showPasses) {
  const QString text = loopCountEdit->text();
  bool number = false;
  const int count = text.toInt(&number, 10);
  if (!number) {
    // Appended, not "text" + std::string: GCC 12 warns (-Wrestrict) on the inlined insert.
    std::string message = "'";
    message += text.toStdString();
    message += "' is not a valid integer value";
    ShowMessageBox(message, "ERROR", MB_OK | MB_ICONERROR);
    return;
  }
  loopAbandoned_ = false;
  for (std::int64_t done = 0; count == kEndlessLoop || done < count;) {
    if (!AnySelectedSiteIdle(system_) || loopAbandoned_) break;
    if (!pass()) break;
    ++done;
    if (showPasses) loopCounterLabel->setText(QString::number(done));
  }
}

void TOptionsForm::Button18Click() {
  closeEnabled_ = false;
  keyRunStartButton->setEnabled(false);
  keyRunStopButton->setEnabled(true);
  RunSession& session = system_.Session();
  keyRun_ = session.Start(RunRecipe::KeyRun, SiteChoice::SelectedSites());
  session.Wait(keyRun_);  // until the key runs wait for their start key
  closeEnabled_ = true;
  mouseFlush_->Flush();
}

// The key runs see "Stop" disabled at their next look and end; "Start" comes back once they
// have, so a new key run never meets a worker of the old one on its site.
void TOptionsForm::Button19Click() {
  keyRunStopButton->setEnabled(false);
  RunSession& session = system_.Session();
  session.RequestStop();
  session.WaitForEnd(keyRun_);
  keyRun_ = {};
  keyRunStartButton->setEnabled(true);
  mouseFlush_->Flush();
}

void TOptionsForm::Button22Click() {
  if (ShowMessageBox(kBurnInWarning, "WARNING", MB_OKCANCEL | MB_ICONWARNING) != IDOK) return;
  setWindowOpacity(kTranslucentOpacity);
  {
    // The session extracts the self-test image that the burn-in queue loads first.
    RunSession& session = system_.Session();
    session.WaitForEnd(session.Start(RunRecipe::BurnIn, SiteChoice::PresentSites()));
  }
  setWindowOpacity(1.0);
  mouseFlush_->Flush();
}
