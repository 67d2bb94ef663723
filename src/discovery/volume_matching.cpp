#include "discovery/volume_matching.h"

#include "discovery/disk_enumeration.h"
#include "model/gbk_text.h"

namespace quenbolt {

namespace {

const char kNoExtentKey[] = "000000000000";
const char kRemovableText[] = "可移动磁盘";

// Whether GetDiskFreeSpaceExA may be used: NT 4 and later, and the 95 family from OSR2 on
// (4.0 with a build number of at least 0x1111 in its low word, or any later version).
bool newerFreeSpaceCallAllowed(const std::optional<OsVersion>& version) {
  if (!version) return false;
  if (version->platformId == 2) return version->major >= 4;
  if (version->platformId == 1) {
    if (version->major > 4) return true;
    return version->major == 4 && (version->minor > 0 || (version->build & 0xFFFFu) >= 0x1111u);
  }
  return false;
}

bool rowIsOnDisk(const PartitionRow& row, std::uint32_t diskNumber) {
  const long index = diskIndexOfRow(row);
  return index >= 0 && static_cast<std::uint64_t>(index) == diskNumber;
}

}  // namespace

std::string diskTypeText(unsigned driveType) {
  switch (driveType) {
    case kDriveRemovable:
      return kRemovableText;
    case kDriveFixed:
      return "硬盘";
    case kDriveRemote:
      return "远程磁盘";
    case kDriveCdrom:
      return "光驱";
    case kDriveRamdisk:
      return "内存虚拟盘";
    default:
      return std::string();
  }
}

std::string readVolumeLabel(Volumes& volumes, const std::string& rootPath) {
  const std::optional<VolumeInformation> info = volumes.volumeInformation(rootPath);
  if (!info) return std::string();
  return info->label.substr(0, info->label.find('\0'));
}

std::uint64_t freeSpaceBytes(Platform& platform, const std::string& path) {
  Volumes& volumes = platform.volumes;
  if (newerFreeSpaceCallAllowed(platform.system.getVersionEx()) && volumes.hasDiskFreeSpaceEx()) {
    return volumes.diskFreeSpaceEx(path).value_or(0);
  }
  const std::optional<ClusterFreeSpace> clusters = volumes.diskFreeSpace(path);
  if (!clusters) return 0;
  return std::uint64_t{clusters->sectorsPerCluster} * clusters->bytesPerSector *
         clusters->freeClusters;
}

void runVolumePass(Platform& platform, PartitionList& list) {
  Volumes& volumes = platform.volumes;
  // A letter the system does not use leads to no volume; asking for its type and its extent twice
  // a scan costs start-up time under Wine, where each question is slow.
  const std::uint32_t lettersInUse = volumes.logicalDrives();
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    if ((lettersInUse & (std::uint32_t{1} << (letter - 'A'))) == 0) continue;
    const std::string typeText = diskTypeText(volumes.driveType(std::string(1, letter) + ":"));
    const VolumeExtent extent = volumes.queryVolumeExtent(letter);
    const std::string key = offsetText(extent.StartingOffset);
    if (key == kNoExtentKey) continue;

    // Every row of that disk at that offset takes the letter; a later letter for the same
    // partition overwrites an earlier one.
    for (std::size_t r = 0; r < list.size(); ++r) {
      PartitionRow& row = list.rows[r];
      if (r >= list.BootSectorOffsetText.size() || !rowIsOnDisk(row, extent.DiskNumber) ||
          list.BootSectorOffsetText[r] != key) {
        continue;
      }
      row[kDriveLetterColumn] = std::string(1, letter);
      row[kDiskTypeColumn] =
          isUsbStorageDisk(platform.registry, extent.DiskNumber) ? kRemovableText : typeText;
      row.imageIndex = 0;
    }
  }

  for (PartitionRow& row : list.rows) {
    const std::string letter = trimmed(row[kDriveLetterColumn]);
    if (letter.empty()) continue;
    row[kLabelColumn] = readVolumeLabel(volumes, letter + ":\\");
    row[kFreeSpaceColumn] = megabytesText(freeSpaceBytes(platform, letter + ":"));
  }
}

}  // namespace quenbolt
