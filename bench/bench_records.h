#pragma once
// The part record the record figures write and ship: five steps, every field set.
#include "records/part_record.h"

namespace bench {
PartRecord TypicalRecord(int producer, int n);
}  // namespace bench
