#pragma once
// The partition list as text for scripts ("/LIST").

#include <string>

#include "discovery/partition_list.h"

namespace quenbolt {

// A header line with the ten column headers, then one line per row; cells separated by one tab,
// every line ending with "\n". GBK, like every text of the program.
std::string formatListing(const PartitionList& list);

}  // namespace quenbolt
