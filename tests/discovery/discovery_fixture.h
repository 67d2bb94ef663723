#pragma once
// A simulated machine, the catalogue and an empty partition list: what every discovery test
// starts from.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/partition_list.h"
#include "model/type_catalogue.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
constexpr std::uint64_t kMiB = 1024ull * 1024;

class DiscoveryTest : public testing::Test {
 protected:
  SimulatedMachine machine;
  Platform platform = machine.platform();
  TypeCatalogue catalogue;
  PartitionList list;

  // A disk large enough for every layout the tests lay out (sparse, so size costs nothing).
  SimulatedDisk& addDisk(unsigned index, std::uint64_t size = 64 * kGiB) {
    return machine.addDisk(index, size);
  }

  // One column of every row, in row order.
  std::vector<std::string> column(Column c) const {
    std::vector<std::string> cells;
    for (const PartitionRow& row : list.rows) cells.push_back(row[c]);
    return cells;
  }

  // The row whose "分区标记" cell is `typeId`; fails the test when there is not exactly one.
  const PartitionRow& rowOfType(const std::string& typeId) const {
    const PartitionRow* found = nullptr;
    for (const PartitionRow& row : list.rows) {
      if (row[kTypeIdColumn] != typeId) continue;
      EXPECT_EQ(found, nullptr) << "more than one row of type " << typeId;
      found = &row;
    }
    EXPECT_NE(found, nullptr) << "no row of type " << typeId;
    static const PartitionRow none;
    return found ? *found : none;
  }
};

inline std::vector<std::string> strings(std::initializer_list<const char*> texts) {
  return std::vector<std::string>(texts.begin(), texts.end());
}

}  // namespace quenbolt
