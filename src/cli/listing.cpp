#include "cli/listing.h"

namespace quenbolt {

namespace {

// A cell may hold any byte a boot sector or a staged label held; tabs and line ends inside it
// would shift every later cell for a script, so control bytes become blanks.
void appendCell(std::string& out, const std::string& cell) {
  for (char c : cell) {
    out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
  }
}

void appendLine(std::string& out, const std::array<std::string, kColumnCount>& cells) {
  for (std::size_t column = 0; column < kColumnCount; ++column) {
    if (column > 0) out += '\t';
    appendCell(out, cells[column]);
  }
  out += '\n';
}

}  // namespace

std::string formatListing(const PartitionList& list) {
  std::string out;
  appendLine(out, columnHeaders());
  for (const PartitionRow& row : list.rows) appendLine(out, row.cells);
  return out;
}

}  // namespace quenbolt
