// The GPT reader on the table sfdisk writes, and on that table with a field made hostile and the
// table resealed, so that only the check under test can refuse it.

#include "model/gpt_table.h"

#include <gtest/gtest.h>

#include <array>

#include "model/crc32.h"
#include "support/sectors.h"
#include "support/sfdisk_image.h"

namespace quenbolt {
namespace {

constexpr std::uint64_t kSectors = 2097152, kBackup = kSectors - 1, kLastUsable = kSectors - 34;

std::vector<std::uint64_t> lbaRun(std::vector<std::uint64_t> lbas, std::uint64_t first, std::uint64_t count) {
  for (std::uint64_t i = 0; i < count; ++i) lbas.push_back(first + i);
  return lbas;
}

std::uint32_t crcOf(const std::string& bytes) {
  return crc32(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

class GptReader : public testing::Test {
 protected:
  void SetUp() override {
    expected = sfdiskDisk(kWindowsGptScript, kSectors * 512, machine, 0);
    if (!expected) GTEST_SKIP() << "sfdisk is not available";
    pristine = machine.disks[0].sectors;
  }
  void set(std::uint64_t offset, std::uint64_t value, unsigned bytes) { machine.disks[0].put(offset, le(value, bytes)); }
  // Recomputes the array CRC and the header CRC of a copy, as a tool that wrote the change would.
  void reseal(std::uint64_t header, std::uint64_t array) {
    set(header * 512 + kGptEntryArrayCrcField, crcOf(machine.disks[0].bytes(array * 512, 128 * 128)), 4);
    set(header * 512 + kGptHeaderCrcField, 0, 4);
    set(header * 512 + kGptHeaderCrcField, crcOf(machine.disks[0].bytes(header * 512, 92)), 4);
  }
  // The reader on disk 0; `lbas` then holds the LBAs it read, in order.
  std::optional<GptTable> read(std::optional<std::uint64_t> sectors = kSectors) {
    auto handle = machine.platform().disks.openDisk(0, DiskAccess::Read);
    lbas.clear();
    return readGpt(machine.disks[0].sector(0), [&](std::uint64_t offset, Sector& sector) {
      lbas.push_back(offset / 512);
      return handle->readSector(offset, sector);
    }, sectors);
  }

  SimulatedMachine machine;
  std::optional<std::vector<SfdiskPartition>> expected;
  DiskBytes pristine;
  std::vector<std::uint64_t> lbas;
};

TEST_F(GptReader, ReadsThePrimaryHeaderAndItsArrayOnlyAndListsWhatSfdiskLists) {
  EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
  const std::optional<GptTable> table = read();
  ASSERT_TRUE(table);
  EXPECT_EQ(table->copy, GptCopy::Primary);
  EXPECT_EQ(lbas, lbaRun({1}, 2, 32));
  ASSERT_EQ(table->partitions.size(), expected->size());
  for (std::size_t i = 0; i < expected->size(); ++i) {
    EXPECT_EQ(table->partitions[i].number, i + 1);
    EXPECT_EQ(table->partitions[i].firstLba, (*expected)[i].start);
    EXPECT_EQ(table->partitions[i].sectorCount(), (*expected)[i].size);
    EXPECT_EQ(guidText(table->partitions[i].type), (*expected)[i].type);
  }
}

TEST_F(GptReader, AHostileCopyIsRefusedAtItsCheckAndTheOtherServes) {
  constexpr std::uint64_t h = 512, b = kBackup * 512;
  const std::vector<std::uint64_t> primaryHeader{1}, primaryAll = lbaRun({1}, 2, 32);
  const std::vector<std::uint64_t> backupAll = lbaRun({kBackup}, kLastUsable + 1, 32);
  const struct {
    const char* what;
    std::vector<std::array<std::uint64_t, 3>> fields;  // offset, value, bytes
    bool reseal, readsArray;
  } primary[] = {
      {"signature", {{h + 7, 'X', 1}}, true, false},
      {"header size below 92", {{h + kGptHeaderSizeField, 91, 4}}, true, false},
      {"header size above a sector", {{h + kGptHeaderSizeField, 513, 4}}, true, false},
      {"header CRC", {{h + 0x40, 0xFF, 1}}, false, false},
      {"own LBA", {{h + kGptMyLbaField, kBackup, 8}}, true, false},
      {"usable range over the header", {{h + kGptFirstUsableLbaField, 1, 8}, {h + kGptEntryArrayLbaField, kLastUsable + 1, 8}}, true, false},
      {"usable range empty", {{h + kGptFirstUsableLbaField, kLastUsable + 1, 8}}, true, false},
      {"usable range past the disk", {{h + kGptLastUsableLbaField, kSectors, 8}}, true, false},
      {"entry size 0", {{h + kGptEntrySizeField, 0, 4}}, true, false},
      {"entry size 129", {{h + kGptEntrySizeField, 129, 4}}, true, false},
      {"entry size 3 x 128", {{h + kGptEntrySizeField, 384, 4}}, true, false},
      {"entries over 1 MiB", {{h + kGptEntryCountField, 8193, 4}, {h + kGptFirstUsableLbaField, 4096, 8}}, true, false},
      {"entries over 1 MiB by size", {{h + kGptEntrySizeField, 1u << 31, 4}}, true, false},
      {"array on the MBR", {{h + kGptEntryArrayLbaField, 0, 8}}, true, false},
      {"array on the header", {{h + kGptEntryArrayLbaField, 1, 8}}, true, false},
      {"array in the usable range", {{h + kGptEntryArrayLbaField, 2048, 8}}, true, false},
      {"array past the disk", {{h + kGptEntryArrayLbaField, kSectors - 16, 8}}, true, false},
      {"array CRC", {{33 * 512 + 511, 1, 1}}, false, true},
      {"an entry past the usable range", {{2 * 512 + 3 * 128 + kGptLastLbaField, kLastUsable + 1, 8}}, true, true},
      {"an entry before the usable range", {{2 * 512 + kGptFirstLbaField, 2047, 8}}, true, true},
      {"an entry ending before it starts", {{2 * 512 + kGptLastLbaField, 2047, 8}}, true, true},
  };
  for (const auto& c : primary) {
    SCOPED_TRACE(c.what);
    machine.disks[0].sectors = pristine;
    for (const auto& f : c.fields) set(f[0], f[1], static_cast<unsigned>(f[2]));
    if (c.reseal) reseal(1, 2);
    const std::optional<GptTable> table = read();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->copy, GptCopy::Backup);
    EXPECT_EQ(table->partitions.size(), 4u);
    std::vector<std::uint64_t> expectedReads = c.readsArray ? primaryAll : primaryHeader;
    expectedReads.insert(expectedReads.end(), backupAll.begin(), backupAll.end());
    EXPECT_EQ(lbas, expectedReads);
  }
  // The checks a primary at LBA 1 cannot fail: a backup is held to its own place.
  const struct {
    const char* what;
    std::vector<std::array<std::uint64_t, 3>> fields;
  } backup[] = {
      {"own LBA", {{b + kGptMyLbaField, 1, 8}}},
      {"usable range from LBA 1", {{b + kGptFirstUsableLbaField, 1, 8}}},
      {"usable range over its header", {{b + kGptLastUsableLbaField, kBackup, 8}, {b + kGptEntryArrayLbaField, 2, 8}}},
      {"array over its header", {{b + kGptEntryArrayLbaField, kBackup - 31, 8}}},
      {"array on the MBR", {{b + kGptEntryArrayLbaField, 0, 8}}},
  };
  for (const auto& c : backup) {
    SCOPED_TRACE(c.what);
    machine.disks[0].sectors = pristine;
    set(h + 0x40, 0xFF, 1);  // the primary header broken
    for (const auto& f : c.fields) set(f[0], f[1], static_cast<unsigned>(f[2]));
    reseal(kBackup, kBackup - 32);
    EXPECT_FALSE(read());
    EXPECT_EQ(lbas, (std::vector<std::uint64_t>{1, kBackup}));
  }
}

TEST_F(GptReader, TheBackupIsWhereAnIntactPrimarySaysElseAtTheDisksOrTheProtectiveEntrysEnd) {
  set(33 * 512 + 511, 1, 1);  // the primary's array damaged; its intact header names the backup
  set(512 + kGptAlternateLbaField, 1000000, 8);
  reseal(1, 1000);  // the header only: its array CRC now covers zeros
  EXPECT_FALSE(read());
  EXPECT_EQ(lbas, lbaRun(lbaRun({1}, 2, 32), 1000000, 1));
  set(512 + kGptAlternateLbaField, 1, 8);  // LBA 1 names no backup
  reseal(1, 1000);
  EXPECT_FALSE(read());
  EXPECT_EQ(lbas, lbaRun({1}, 2, 32));

  machine.disks[0].sectors = pristine;
  set(512 + 0x40, 0xFF, 1);  // the primary header broken
  EXPECT_TRUE(read(kSectors));
  EXPECT_EQ(lbas.at(1), kBackup);
  EXPECT_TRUE(read(std::nullopt));
  EXPECT_EQ(lbas.at(1), kBackup);
  set(0x1CA, 1000000, 4);  // the protective entry ends at LBA 1000000
  EXPECT_FALSE(read(std::nullopt));
  EXPECT_EQ(lbas, (std::vector<std::uint64_t>{1, 1000000}));
  set(kBackup * 512 + 0x40, 0xFF, 1);
  EXPECT_FALSE(read(kSectors));
  EXPECT_EQ(lbas, (std::vector<std::uint64_t>{1, kBackup}));
  set(0x1C2, 0x07, 1);  // no protective entry: no table, nothing read
  EXPECT_FALSE(read());
  EXPECT_TRUE(lbas.empty());
}

}  // namespace
}  // namespace quenbolt
