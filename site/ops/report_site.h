#pragma once
// What the step reports need to know about one site beside the reply itself. The caller
// passes the site's own records; the reports read the driver and the plan and write only
// socket 1's run field of the plan and the insertion facts of the run bytes.
#include <cstdint>
#include <string_view>

#include "log/core/log_sink.h"
#include "project/driver_ini.h"
#include "project/project_value.h"
#include "site/site_run_bytes.h"

struct StepReportSite {
  LogSink& Log;
  int Site;                     // 0..7
  const ZV_Driver_INI& Driver;  // slots 5..8, 73, 167, 168 and the 56 pin names
  SiteProcessPlan& Plan;        // socket 1's code; insert detection sets RunField[0]
  bool PinscanCheck;            // the site's S_ProjectValue::Step[StepFlag::Pinscan]
  SiteRunBytes& RunBytes;       // insert detection sets InsertState and PinState
};

// A site line with the ignored flag 1 and the essential flag 0, as every report line is.
void LogReport(const StepReportSite& at, std::string_view tail, std::uint32_t colour);

// Every detailed report first makes sure socket 1 takes part; if not, it logs
// " - No Choose Textool!" (red) and reports nothing else.
bool SocketOneChosen(const StepReportSite& at);
