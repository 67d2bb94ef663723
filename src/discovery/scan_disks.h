#pragma once
// Builds the partition list from every physical disk's tables and the mounted volumes.

#include "discovery/partition_list.h"
#include "model/type_catalogue.h"
#include "platform/platform.h"

namespace quenbolt {

// Rebuilds `list` and all its stores from scratch: walks every disk (noting, with the reason,
// each listed disk that cannot be opened or whose first sector cannot be read in full), matches
// volumes, reads the boot-sector labels of hidden FAT32 rows and takes the label baseline. Shows
// the wait cursor meanwhile.
void scanDisks(Platform& platform, const TypeCatalogue& catalogue, PartitionList& list);

}  // namespace quenbolt
