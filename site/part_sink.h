#pragma once
// Where a finished part's record goes. The RUN ALL operation hands every part's record to the
// sink the front end attached to the system: the record writer of the production trail, and a
// front end that reports each part as it is done. The system starts with a sink that drops them.
#include "records/part_record.h"

class PartSink {
 public:
  virtual ~PartSink() = default;
  // Called on the site's worker thread; must not wait for the front end.
  virtual void Submit(PartRecord record) = 0;
};

class NoPartSink final : public PartSink {
 public:
  void Submit(PartRecord) override {}
};
