#include "discovery/boot_sector_label_reader.h"

#include <memory>

#include "model/fat32_boot_sector.h"
#include "model/gbk_text.h"

namespace quenbolt {

namespace {

const char kOpenDiskFailed[] = "打开磁盘失败";

}  // namespace

std::uint64_t bootSectorOffsetOf(const std::string& offsetText) {
  // The low half is always the last eight digits; whatever stands before them is the high half,
  // so an offset that needed more than four high digits is not cut in the middle.
  const std::size_t lowDigits = 8;
  const std::size_t split = offsetText.size() > lowDigits ? offsetText.size() - lowDigits : 0;
  const std::uint64_t high = parseHexPrefix(offsetText.substr(0, split));
  const std::uint64_t low = parseHexPrefix(offsetText.substr(split));
  return (high << 32) | low;
}

std::string readBootSectorLabel(Platform& platform, const PartitionList& list, std::size_t row) {
  if (row >= list.size() || row >= list.BootSectorOffsetText.size()) return std::string();
  const std::string blanks(kBootLabelSize, ' ');

  const long disk = diskIndexOfRow(list.rows[row]);
  std::unique_ptr<DiskHandle> handle =
      disk < 0 ? nullptr : platform.disks.openDisk(static_cast<unsigned>(disk), DiskAccess::Read);
  if (!handle) {
    platform.ui.setStatusText(kOpenDiskFailed);
    return blanks;
  }

  Sector sector{};
  // A failed read leaves zeros, which is no FAT32 boot sector: the label comes out empty.
  handle->readSector(bootSectorOffsetOf(list.BootSectorOffsetText[row]), sector);
  handle.reset();
  if (!isFat32BootSector(sector)) return std::string();
  return trimmed(bootSectorLabelField(sector));
}

}  // namespace quenbolt
