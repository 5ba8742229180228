#pragma once
// A front end that reports each part as it is done (the command-line program's JSON events).
// The RUN ALL operation shows every part's record here before the system's record writer
// stores it for the production trail. The system starts with a sink that drops them.
#include "records/part_record.h"

class PartSink {
 public:
  virtual ~PartSink() = default;
  // Called on the site's worker thread; must not wait for the front end.
  virtual void Submit(const PartRecord& record) = 0;
};

class NoPartSink final : public PartSink {
 public:
  void Submit(const PartRecord&) override {}
};
