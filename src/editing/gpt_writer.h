#pragma once
// Writes staged types and attributes of GPT partitions into both copies of their disk's table.

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// For every disk with GPT rows whose record stages a new type or new attributes: one pass over
// that disk, through one handle, whatever the number of rows (each header written once).
//  1. Both copies are read in full (header at LBA 1 and its array, the backup header where the
//     primary names it and its array) and must be intact, name each other, agree in every field
//     and byte for byte in their arrays, and hold what the scan found (its header's locations,
//     each staged entry's type and attributes). Otherwise nothing is written on that disk.
//  2. The entries change in both arrays; each array's CRC, then each header's, is recomputed.
//  3. The sectors that change are written in the order backup array, backup header, primary
//     array, primary header, each read in full again just before and written only while it
//     still holds what step 1 read. The first failure ends the pass.
//  4. Both copies are read back and must be intact, agree, and hold the new entries.
// The protective or hybrid MBR is never touched. Every staged row of a disk whose pass failed is
// in `report` with the reason, which names the copy where one is to blame; a disk on which
// anything was written is in its tablesWritten, to be read again by the system.
void writeGptChanges(Platform& platform, const PartitionList& list, ChangeReport& report);

}  // namespace quenbolt
