#include "discovery/boot_sector_label_reader.h"

#include <memory>

#include "model/fat32_boot_sector.h"
#include "model/gbk_text.h"

namespace quenbolt {

namespace {

const char kOpenDiskFailed[] = "打开磁盘失败";

}  // namespace

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
  // An offset text the scan did not write names no sector; the label is then empty.
  if (const auto offset = parseOffsetText(list.BootSectorOffsetText[row])) {
    handle->readSector(*offset, sector);
  }
  handle.reset();
  if (!isFat32BootSector(sector)) return std::string();
  return bootSectorLabel(sector);
}

std::optional<std::string> readFat32BootSectorLabel(Platform& platform, const PartitionList& list,
                                                    std::size_t row) {
  if (row >= list.size() || row >= list.BootSectorOffsetText.size()) return std::nullopt;
  const long disk = diskIndexOfRow(list.rows[row]);
  const std::optional<std::uint64_t> offset = parseOffsetText(list.BootSectorOffsetText[row]);
  if (disk < 0 || !offset) return std::nullopt;
  std::unique_ptr<DiskHandle> handle =
      platform.disks.openDisk(static_cast<unsigned>(disk), DiskAccess::Read);
  if (!handle) {
    platform.ui.setStatusText(kOpenDiskFailed);
    return std::nullopt;
  }
  Sector sector{};
  if (!handle->readSector(*offset, sector) || !isFat32BootSector(sector)) return std::nullopt;
  return bootSectorLabel(sector);
}

}  // namespace quenbolt
