#pragma once
// The one commit step: writes every difference between the rows and the scan, then closes.

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// MBR type IDs first, active flags second, GPT entries third, labels last; every pending change is
// attempted, every one that could not be made is in the report. Then each disk whose table was
// written is read again by the system (IOCTL_DISK_UPDATE_PROPERTIES), so that a partition hidden or
// shown is hidden or shown without a restart; a disk for which that fails is noted in the report,
// not counted as a failure. Queues the close request in every case.
ChangeReport applyChanges(Platform& platform, const PartitionList& list);

}  // namespace quenbolt
