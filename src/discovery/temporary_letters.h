#pragma once
// Temporary drive letters for partitions the system left without one.

#include <optional>
#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "platform/platform.h"

namespace quenbolt {

// Device names defined for this run ("F:"), in the order of definition.
using TempLetterList = std::vector<std::string>;

// "\Device\Harddisk<disk>\Partition<number>".
std::string partitionDevicePath(unsigned disk, unsigned number);

// The first letter from D to Z whose bit in GetLogicalDrives is clear; nothing when all are taken.
std::optional<char> firstFreeLetter(Volumes& volumes);

// Gives every unlettered primary, then every unlettered GPT, then every unlettered logical
// partition a letter.
TempLetterList assignTemporaryLetters(Platform& platform, const PartitionList& list);

// Removes every name in `letters` and empties it.
void removeTemporaryLetters(Platform& platform, TempLetterList& letters);

}  // namespace quenbolt
