#pragma once
// The command-line program's log: the system's own log pipeline, its lines stamped, written to
// the journal and printed to a stream by the pipeline's headless writer. The window program shows
// the same lines in its log view.
#include <functional>
#include <mutex>
#include <ostream>
#include <vector>

#include "log/core/log_writer.h"

class Journal;
class LogQueue;

class CliLog {
 public:
  // `outMutex` guards `out` against the program's other writers. The pipeline and the journal
  // outlive this object.
  CliLog(LogQueue& pipeline, Journal& journal, std::ostream& out, std::mutex& outMutex);

  // Also hands every printed batch of lines to `tap` (the station's event stream); on the
  // writer's thread, so it must not wait. Empty: none.
  using Tap = std::function<void(const std::vector<ShownLogLine>& lines)>;
  void SetTap(Tap tap);

  // Returns when every line queued before the call has been printed.
  void Flush();

 private:
  std::ostream& out_;
  std::mutex& outMutex_;
  Tap tap_;            // guarded by outMutex_
  TLogWriter writer_;  // last: its thread prints through the members above
};
