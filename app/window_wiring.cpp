#include "app/window_wiring.h"

#include "app/main_form.h"
#include "app/options_form.h"
#include "app/project_form.h"

void ConnectOptionsWindow(TMainForm& main, TOptionsForm& options) {
  main.SetOptionsWindow(&options);
  QObject::connect(&main, &TMainForm::UnitsFound, &options, &TOptionsForm::FormActivate);
  QObject::connect(&options, &TOptionsForm::DataBufferChosen, &main, &TMainForm::ShowDataBuffer);
  QObject::connect(&options, &TOptionsForm::RunProgramRequested, &main,
                   &TMainForm::RunProgramButtonClick);
  QObject::connect(&options, &TOptionsForm::Closed, &main, [&main] { main.setEnabled(true); });
}

void ConnectProjectWindow(TMainForm& main, TProjectForm& project) {
  main.SetProjectWindow(&project);
  QObject::connect(&main, &TMainForm::UnitsFound, &project, &TProjectForm::FormActivate);
  QObject::connect(&project, &TProjectForm::Closed, &main, [&main] { main.setEnabled(true); });
}
