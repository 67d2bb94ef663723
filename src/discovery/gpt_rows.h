#pragma once
// The rows of a disk that carries a GUID partition table.

#include "discovery/partition_list.h"
#include "model/sector.h"
#include "platform/platform.h"

namespace quenbolt {

// When `mbr` (disk `n`'s first sector) protects a GUID partition table and a copy of that table is
// sound, appends one row per used entry, in entry order, numbered 1, 2, ... (the number under
// which Windows exposes the partition), and returns true. Otherwise appends nothing and returns
// false: the disk is then listed from its MBR, its EE entry included.
bool appendGptRows(DiskHandle& disk, const Sector& mbr, unsigned n, PartitionList& list);

// Every hidden GPT row whose boot sector is FAT32 takes the label stored there, as hidden FAT32
// MBR rows do; other hidden GPT rows keep what their volume reported.
void takeHiddenGptBootLabels(Platform& platform, PartitionList& list);

}  // namespace quenbolt
