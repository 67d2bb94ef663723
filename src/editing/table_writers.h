#pragma once
// Writes staged type IDs and active flags into the MBR/EBR entries the scan found.

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// For every row, in list order, whose type ID column differs from its ScannedTypeId: one
// read-modify-write of the row's table sector, changing only the entry's type byte; GPT rows are
// left to the GPT writer. Never written: a type text that is not one or two hexadecimal digits
// (NotHexTypeId), type EE over another type or another type over EE (ProtectiveType). The sector is
// written only when it is still a valid table sector whose type byte holds the scanned type
// (TableChanged otherwise). Every change not made is appended to `report`, the disk of every one
// made to its tablesWritten. Shows the wait cursor meanwhile.
void writeTypeIds(Platform& platform, const PartitionList& list, ChangeReport& report);

// For every PrimaryRecord, in list order, whose kind column ("主" / "主，活动") differs from its
// scan-time flag: one read-modify-write of the MBR changing only that entry's boot indicator to
// 0x80 or 0x00; a protective EE entry is refused (ProtectiveType). No other entry is touched. The
// sector is written only when it is still a valid table sector whose boot indicator is as the scan
// found it (TableChanged otherwise). Every change not made is appended to `report`, the disk of
// every one made to its tablesWritten. Shows the wait cursor meanwhile.
void writeActiveFlags(Platform& platform, const PartitionList& list, ChangeReport& report);

}  // namespace quenbolt
