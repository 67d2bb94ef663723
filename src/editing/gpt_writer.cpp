#include "editing/gpt_writer.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "model/gpt_update.h"

namespace quenbolt {

namespace {

// The LBAs a disk of unknown length may hold: far beyond any disk, and a byte offset in 64 bits.
constexpr std::uint64_t kUnknownDiskEnd = std::uint64_t{1} << 48;

struct ReadOutcome {
  std::optional<GptCopyImage> image;
  bool readFailed = false;  // otherwise, without an image, the copy is damaged
};

// The copy whose header is at `lba`, read in full, when it is intact and its layout sound.
ReadOutcome readCopy(DiskHandle& disk, std::uint64_t lba, std::uint64_t end,
                     std::size_t sectorSize) {
  ReadOutcome outcome;
  GptCopyImage image;
  image.headerSector = Sector(sectorSize);
  if (lba >= end || !disk.readSector(lba * sectorSize, image.headerSector)) {
    outcome.readFailed = lba < end;
    return outcome;
  }
  const std::optional<GptHeader> header = intactGptHeader(image.headerSector, lba);
  if (!header || !isSoundGptLayout(*header, end, sectorSize)) return outcome;
  image.header = *header;
  for (std::uint64_t i = 0; i < header->arraySectors(sectorSize); ++i) {
    Sector sector(sectorSize);
    if (!disk.readSector((header->arrayLba + i) * sectorSize, sector)) {
      outcome.readFailed = true;
      return outcome;
    }
    image.array.push_back(std::move(sector));
  }
  if (gptArrayCrc(image.arrayBytes(), *header) != header->arrayCrc) return outcome;
  outcome.image = std::move(image);
  return outcome;
}

struct BothCopies {
  GptCopyImage primary;
  GptCopyImage backup;
};

// Both copies of the table, when they are one sound table; otherwise why not.
std::optional<FailureReason> readBothCopies(DiskHandle& disk, std::uint64_t end,
                                            std::size_t sectorSize,
                                            std::optional<BothCopies>& both) {
  ReadOutcome primary = readCopy(disk, 1, end, sectorSize);
  if (!primary.image) {
    return primary.readFailed ? FailureReason::GptPrimaryReadFailed
                              : FailureReason::GptPrimaryDamaged;
  }
  ReadOutcome backup = readCopy(disk, primary.image->header.alternateLba, end, sectorSize);
  if (!backup.image) {
    return backup.readFailed ? FailureReason::GptBackupReadFailed : FailureReason::GptBackupDamaged;
  }
  if (!gptCopiesAgree(*primary.image, *backup.image)) return FailureReason::GptCopiesDiffer;
  both = BothCopies{std::move(*primary.image), std::move(*backup.image)};
  return std::nullopt;
}

// Whether the table is still the one the scan read, in the places the records name.
bool holdsWhatTheScanFound(const GptCopyImage& primary,
                           const std::vector<const GptRecord*>& records) {
  const GptHeader& now = primary.header;
  const std::vector<std::uint8_t> array = primary.arrayBytes();
  for (const GptRecord* record : records) {
    const GptHeader& then = record->header;
    if (now.alternateLba != then.alternateLba || now.arrayLba != then.arrayLba ||
        now.entryCount != then.entryCount || now.entrySize != then.entrySize ||
        record->entry >= now.entryCount) {
      return false;
    }
    // The entry as the scan found it, its type and its attributes.
    const std::vector<GptEntryChange> scanned{{record->entry, record->type, record->attributes}};
    if (changedGptArray(array, now, scanned) != array) return false;
  }
  return true;
}

std::optional<FailureReason> writePlanned(DiskHandle& disk,
                                          const std::vector<GptSectorWrite>& writes,
                                          std::size_t sectorSize, bool& wroteAny) {
  for (const GptSectorWrite& write : writes) {
    const bool backup = write.copy == GptCopy::Backup;
    Sector now(sectorSize);
    if (!disk.readSector(write.lba * sectorSize, now)) {
      return backup ? FailureReason::GptBackupReadFailed : FailureReason::GptPrimaryReadFailed;
    }
    if (now != write.before) {
      return backup ? FailureReason::GptBackupChanged : FailureReason::GptPrimaryChanged;
    }
    if (!disk.writeSector(write.lba * sectorSize, write.after)) {
      return backup ? FailureReason::GptBackupWriteFailed : FailureReason::GptPrimaryWriteFailed;
    }
    wroteAny = true;
  }
  return std::nullopt;
}

// One disk's pass; the reason it failed, if it did.
std::optional<FailureReason> writeDisk(Platform& platform, unsigned n,
                                       const std::vector<const GptRecord*>& records,
                                       bool& wroteAny) {
  const GptRecord& first = *records.front();
  // The scan could read only the backup: the primary is damaged, and a tool that repairs tables
  // must come first.
  if (first.copy != GptCopy::Primary) return FailureReason::GptPrimaryDamaged;
  const std::size_t sectorSize = first.sectorSize;
  std::unique_ptr<DiskHandle> disk = platform.disks.openDisk(n, DiskAccess::ReadWrite);
  if (!disk) return FailureReason::OpenFailed;
  const std::optional<std::uint64_t> length = disk->lengthBytes();
  const std::uint64_t end = length ? *length / sectorSize : kUnknownDiskEnd;

  std::optional<BothCopies> before;
  if (std::optional<FailureReason> refusal = readBothCopies(*disk, end, sectorSize, before)) {
    return refusal;
  }
  if (!holdsWhatTheScanFound(before->primary, records)) return FailureReason::GptChangedSinceScan;

  std::vector<GptEntryChange> changes;
  for (const GptRecord* record : records) {
    changes.push_back({record->entry, record->stagedType, record->stagedAttributes});
  }
  const std::vector<GptSectorWrite> writes =
      planGptUpdate(before->primary, before->backup, changes);
  if (std::optional<FailureReason> failure = writePlanned(*disk, writes, sectorSize, wroteAny)) {
    return failure;
  }

  // What is on the disk now must be one sound table holding the new entries.
  std::optional<BothCopies> after;
  if (readBothCopies(*disk, end, sectorSize, after)) return FailureReason::GptVerifyFailed;
  const std::vector<std::uint8_t> expected =
      changedGptArray(before->primary.arrayBytes(), before->primary.header, changes);
  const std::vector<std::uint8_t> found = after->primary.arrayBytes();
  const std::size_t entryBytes = static_cast<std::size_t>(after->primary.header.arrayBytes());
  if (found.size() < entryBytes ||
      !std::equal(found.begin(), found.begin() + entryBytes, expected.begin())) {
    return FailureReason::GptVerifyFailed;
  }
  return std::nullopt;
}

}  // namespace

void writeGptChanges(Platform& platform, const PartitionList& list, ChangeReport& report) {
  std::map<unsigned, std::vector<const GptRecord*>> staged;
  for (const GptRecord& record : list.GptList) {
    if (record.staged()) staged[record.disk].push_back(&record);
  }
  for (const auto& [disk, records] : staged) {
    bool wroteAny = false;
    const std::optional<FailureReason> failure = writeDisk(platform, disk, records, wroteAny);
    if (wroteAny) report.tablesWritten.insert(disk);
    if (!failure) continue;
    for (const GptRecord* record : records) {
      report.failures.push_back(ChangeFailure{record->row, ChangeKind::GptEntry, *failure});
    }
  }
}

}  // namespace quenbolt
