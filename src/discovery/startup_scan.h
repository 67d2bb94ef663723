#pragma once
// The scanning part of start-up: scan, temporary letters, scan again.

#include "discovery/partition_list.h"
#include "discovery/temporary_letters.h"
#include "model/type_catalogue.h"
#include "platform/platform.h"

namespace quenbolt {

// Scans, gives unlettered partitions temporary letters (recorded in `letters`), and scans again so
// those partitions show their volume facts.
void scanWithTemporaryLetters(Platform& platform, const TypeCatalogue& catalogue,
                              PartitionList& list, TempLetterList& letters);

}  // namespace quenbolt
