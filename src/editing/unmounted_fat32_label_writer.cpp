#include "editing/unmounted_fat32_label_writer.h"

#include <memory>
#include <optional>

#include "editing/boot_sector_label_writer.h"
#include "editing/sector_patch.h"
#include "model/fat32_boot_sector.h"
#include "model/fat_label.h"
#include "model/partition_table.h"

namespace quenbolt {

namespace {

// A sector as it was read while planning; it is written only while it still holds exactly this.
struct PlannedSector {
  std::uint64_t offset = 0;  // on the disk
  Sector contents;
};

// A directory entry the label goes into: a label entry already there, or a free one.
struct EntrySlot {
  PlannedSector sector;
  std::size_t position = 0;
  bool existing = false;
};

struct RootScan {
  bool readFailed = false;
  std::optional<EntrySlot> labelEntry;
  std::optional<EntrySlot> freeEntry;  // in the root's first cluster only
};

constexpr std::uint32_t kFatEntryMask = 0x0FFFFFFF;
// FAT entries have 4 bytes.
constexpr std::uint64_t kFatEntryBytes = 4;

// Follows the root directory from BPB_RootClus until its label entry, its end or the most entries
// a directory may hold (which also ends a chain that loops).
RootScan scanRootDirectory(DiskHandle& disk, std::uint64_t volumeStart, const Fat32Layout& layout) {
  RootScan scan;
  const std::size_t sectorSize = layout.bytesPerSector;
  std::uint32_t entriesSeen = 0;
  std::optional<std::uint64_t> fatSectorOffset;
  Sector fatSector{};
  bool firstCluster = true;
  for (std::uint32_t cluster = layout.rootCluster;
       layout.isCluster(cluster) && entriesSeen < kMaxDirectoryEntries;) {
    for (unsigned s = 0; s < layout.sectorsPerCluster; ++s) {
      PlannedSector planned;
      planned.offset = volumeStart + (layout.clusterSector(cluster) + s) * sectorSize;
      if (!disk.readSector(planned.offset, planned.contents)) {
        scan.readFailed = true;
        return scan;
      }
      for (std::size_t at = 0; at < sectorSize; at += kDirectoryEntrySize, ++entriesSeen) {
        const std::uint8_t first = planned.contents[at];
        const std::uint8_t attributes = planned.contents[at + kEntryAttributesOffset];
        if (first == 0x00 || first == kFreeEntryMark) {
          if (firstCluster && !scan.freeEntry) scan.freeEntry = EntrySlot{planned, at, false};
          if (first == 0x00) return scan;  // the end of the directory: nothing follows
          continue;
        }
        if (attributes != kLongNameAttributes && (attributes & kVolumeLabelAttribute) != 0) {
          scan.labelEntry = EntrySlot{planned, at, true};
          return scan;
        }
      }
    }
    firstCluster = false;
    const std::uint64_t fatByte = std::uint64_t{cluster} * kFatEntryBytes;
    const std::uint64_t offset =
        volumeStart + (layout.reservedSectors + fatByte / sectorSize) * sectorSize;
    if (fatSectorOffset != offset) {
      if (!disk.readSector(offset, fatSector)) {
        scan.readFailed = true;
        return scan;
      }
      fatSectorOffset = offset;
    }
    cluster = readLe32(fatSector, static_cast<std::uint32_t>(fatByte % sectorSize)) & kFatEntryMask;
  }
  return scan;
}

// The bytes that change in `slot`'s entry, from its first byte on; empty when nothing does.
std::string entryBytes(const EntrySlot& slot, const FatLabelField& field) {
  const std::uint8_t* entry = slot.sector.contents.data() + slot.position;
  if (field.empty) {
    if (!slot.existing) return std::string();
    // Deleted, and no longer a label, as fatlabel leaves it: an older reader ignores the mark.
    std::string bytes(reinterpret_cast<const char*>(entry), kEntryAttributesOffset + 1);
    bytes[0] = static_cast<char>(kFreeEntryMark);
    bytes[kEntryAttributesOffset] = 0;
    return bytes;
  }
  std::string name = field.bytes;
  // A name whose first byte is 0xE5 (a GBK lead byte) would read as a deleted entry.
  if (static_cast<std::uint8_t>(name[0]) == kFreeEntryMark)
    name[0] = static_cast<char>(kKanjiE5Escape);
  if (slot.existing) return name;
  // A new entry: the label attribute, no cluster, no size, dated 1980-01-01 00:00 (the date
  // fatlabel gives when it has no clock to read), so that a run gives the same bytes every time.
  const std::string date("\x21\x00", 2);
  std::string bytes = name + static_cast<char>(kVolumeLabelAttribute) + std::string(20, '\0');
  bytes.replace(0x10, 2, date);
  bytes.replace(0x12, 2, date);
  bytes.replace(0x18, 2, date);
  return bytes;
}

std::optional<FailureReason> refusalOf(FatLabelProblem problem) {
  switch (problem) {
    case FatLabelProblem::None:
      return std::nullopt;
    case FatLabelProblem::TooLong:
      return FailureReason::LabelTooLong;
    case FatLabelProblem::ForbiddenCharacter:
      return FailureReason::LabelForbiddenCharacter;
    case FatLabelProblem::NotInOemCodePage:
      return FailureReason::LabelNotInOemCodePage;
  }
  return FailureReason::LabelForbiddenCharacter;
}

// The patch that writes `bytes` at `firstByte` of `planned`, only while the sector is unchanged.
SectorPatch patchOf(unsigned disk, const PlannedSector& planned, std::size_t firstByte,
                    const std::string& bytes) {
  SectorPatch patch;
  patch.disk = disk;
  patch.sectorOffset = planned.offset;
  patch.firstByte = firstByte;
  patch.bytes = bytes;
  const Sector expected = planned.contents;
  patch.check = [expected](const Sector& sector) -> std::optional<FailureReason> {
    if (sector != expected) return FailureReason::SectorChanged;
    return std::nullopt;
  };
  return patch;
}

}  // namespace

UnmountedLabelOutcome writeUnmountedFat32Label(Platform& platform, const PartitionList& list,
                                               std::size_t row, const std::string& label,
                                               ChangeReport& report) {
  auto fail = [&](ChangeKind kind, FailureReason reason) {
    recordOutcome(report, row, kind, reason);
    return UnmountedLabelOutcome::Failed;
  };
  const std::optional<BootSectorLocation> location = bootSectorLocationOf(list, row);
  if (!location) return fail(ChangeKind::VolumeLabel, FailureReason::ReadFailed);
  std::unique_ptr<DiskHandle> disk = platform.disks.openDisk(location->disk, DiskAccess::Read);
  if (!disk) return fail(ChangeKind::VolumeLabel, FailureReason::OpenFailed);

  PlannedSector boot;
  boot.offset = location->offset;
  if (!disk->readSector(boot.offset, boot.contents)) {
    return fail(ChangeKind::VolumeLabel, FailureReason::ReadFailed);
  }
  if (!isFat32BootSector(boot.contents)) return UnmountedLabelOutcome::NotFat32;
  // The volume must count sectors of the disk's size, or every sector number in it is wrong.
  if (bytesPerSector(boot.contents) != boot.contents.size()) {
    return fail(ChangeKind::VolumeLabel, FailureReason::SectorSizeDiffers);
  }
  const std::optional<Fat32Layout> layout = fat32Layout(boot.contents);
  if (!layout) return fail(ChangeKind::VolumeLabel, FailureReason::BadFat32Layout);
  const FatLabelField field = fatLabelField(label, platform.system.oemCodePage());
  if (std::optional<FailureReason> refusal = refusalOf(field.problem)) {
    return fail(ChangeKind::VolumeLabel, *refusal);
  }

  std::optional<PlannedSector> backup;
  if (const std::optional<std::uint32_t> sector = backupBootSector(boot.contents)) {
    backup.emplace();
    backup->offset = boot.offset + std::uint64_t{*sector} * layout->bytesPerSector;
    if (!disk->readSector(backup->offset, backup->contents)) {
      return fail(ChangeKind::BackupBootSectorLabel, FailureReason::ReadFailed);
    }
    if (!isFat32BootSector(backup->contents)) {
      return fail(ChangeKind::BackupBootSectorLabel, FailureReason::NotFat32);
    }
  }
  const RootScan root = scanRootDirectory(*disk, boot.offset, *layout);
  if (root.readFailed) return fail(ChangeKind::RootDirectoryLabel, FailureReason::ReadFailed);
  const std::optional<EntrySlot>& slot = root.labelEntry ? root.labelEntry : root.freeEntry;
  if (!slot && !field.empty)
    return fail(ChangeKind::RootDirectoryLabel, FailureReason::NoRoomForLabel);
  disk.reset();

  // Everything is known and sound: now the writes, each against the sector as planned.
  RawDisks& disks = platform.disks;
  const unsigned n = location->disk;
  if (!recordOutcome(report, row, ChangeKind::BootSectorLabel,
                     patchSector(disks, patchOf(n, boot, kBootLabelOffset, field.bytes)))) {
    return UnmountedLabelOutcome::Failed;
  }
  if (backup &&
      !recordOutcome(report, row, ChangeKind::BackupBootSectorLabel,
                     patchSector(disks, patchOf(n, *backup, kBootLabelOffset, field.bytes)))) {
    return UnmountedLabelOutcome::Failed;
  }
  const std::string entry = slot ? entryBytes(*slot, field) : std::string();
  if (!entry.empty() &&
      !recordOutcome(report, row, ChangeKind::RootDirectoryLabel,
                     patchSector(disks, patchOf(n, slot->sector, slot->position, entry)))) {
    return UnmountedLabelOutcome::Failed;
  }
  return UnmountedLabelOutcome::Written;
}

}  // namespace quenbolt
