#pragma once
// Reads the label stored in a row's FAT32 boot sector.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "discovery/partition_list.h"
#include "platform/platform.h"

namespace quenbolt {

// The trimmed FAT32 boot-sector label of `row`; empty when the sector cannot be read or is no
// FAT32 boot sector. When the disk cannot be opened, shows "打开磁盘失败" in the status line and
// returns eleven blanks.
std::string readBootSectorLabel(Platform& platform, const PartitionList& list, std::size_t row);

// For a row whose type does not say FAT32 (a GPT row): the trimmed label of its boot sector when
// that sector is FAT32; nullopt when it is not, or cannot be read. When the disk cannot be
// opened, shows "打开磁盘失败" in the status line as well.
std::optional<std::string> readFat32BootSectorLabel(Platform& platform, const PartitionList& list,
                                                    std::size_t row);

}  // namespace quenbolt
