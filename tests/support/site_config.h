#pragma once
// The system configuration of the tests that build a SiteSystem of their own: the standard
// operation table and, if given, a log sink that takes every line.
#include "log/core/log_sink.h"
#include "site/ops/operation_list.h"
#include "site/site_system.h"

inline SiteSystemConfig StandardSiteConfig(LogSink* log = nullptr) {
  SiteSystemConfig config;
  config.LogOverride = log;
  config.Operations = SiteOperationList();
  return config;
}
