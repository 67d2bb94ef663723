#pragma once
// The one commit step: writes every difference between the rows and the scan, then closes.

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// Type IDs first, active flags second, labels third; every pending change is attempted, every
// one that could not be made is in the report. Queues the close request in every case.
ChangeReport applyChanges(Platform& platform, const PartitionList& list);

}  // namespace quenbolt
