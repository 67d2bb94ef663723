#pragma once
// Joins the partition rows with the mounted volumes: letter, label, free space, disk type.

#include <cstdint>
#include <string>

#include "discovery/partition_list.h"
#include "platform/platform.h"

namespace quenbolt {

// The "磁盘类型" text of a GetDriveTypeA result; empty for unknown types.
std::string diskTypeText(unsigned driveType);

// The label of `rootPath`'s volume, empty when the system cannot tell.
std::string readVolumeLabel(Volumes& volumes, const std::string& rootPath);

// Total free bytes of the volume at `path`, with the older call where the newer is not
// available; 0 when the query fails.
std::uint64_t freeSpaceBytes(Platform& platform, const std::string& path);

// Fills columns 0, 1, 8, 9 and the image index of every row whose partition is a volume.
void runVolumePass(Platform& platform, PartitionList& list);

}  // namespace quenbolt
