// The GPT reader on the table sfdisk writes, and on that table with one field of the primary
// header made hostile and the header resealed, so that only the check under test can refuse it.

#include "model/gpt_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/crc32.h"
#include "support/sfdisk_image.h"

namespace quenbolt {
namespace {

TEST(Crc32, IsTheCrcGptHeadersCarry) {
  const std::string check = "123456789";
  EXPECT_EQ(crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926u);
  EXPECT_EQ(crc32(nullptr, 0), 0u);
}

constexpr std::uint64_t kDiskSectors = 2097152;  // 1 GiB
constexpr std::uint64_t kBackupLba = kDiskSectors - 1;
constexpr std::uint64_t kLastUsable = kDiskSectors - 34;

// A little-endian field of `bytes` bytes at a byte offset of the disk.
struct Field {
  std::uint64_t offset;
  std::uint64_t value;
  unsigned bytes;
};

class GptReader : public testing::Test {
 protected:
  void SetUp() override {
    image = SfdiskImage::make(kWindowsGptScript, kDiskSectors * 512);
    if (!image) GTEST_SKIP() << "sfdisk is not available";
    disk = &image->addTo(machine, 0);
  }

  // The reader on disk 0; `lbas` then holds the LBAs it read, in order.
  std::optional<GptTable> read(std::optional<std::uint64_t> diskSectors = kDiskSectors) {
    std::unique_ptr<DiskHandle> handle = machine.platform().disks.openDisk(0, DiskAccess::Read);
    lbas.clear();
    return readGpt(disk->sector(0), [&](std::uint64_t offset, Sector& sector) {
      lbas.push_back(offset / 512);
      return handle->readSector(offset, sector);
    }, diskSectors);
  }

  void setLe(std::uint64_t offset, std::uint64_t value, unsigned bytes) {
    std::vector<std::uint8_t> le;
    for (unsigned i = 0; i < bytes; ++i) le.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    disk->setBytes(offset, le);
  }
  void set(const std::vector<Field>& fields) {
    for (const Field& field : fields) setLe(field.offset, field.value, field.bytes);
  }
  // Recomputes a copy's array CRC (over the 128 entries sfdisk wrote), as a tool that wrote the
  // change would have.
  void resealArray(std::uint64_t headerLba, std::uint64_t arrayLba) {
    std::vector<std::uint8_t> array = disk->bytes(arrayLba * 512, 128 * 128);
    setLe(headerLba * 512 + kGptEntryArrayCrcField, crc32(array.data(), array.size()), 4);
  }
  void resealHeader(std::uint64_t headerLba) {
    setLe(headerLba * 512 + kGptHeaderCrcField, 0, 4);
    std::vector<std::uint8_t> header = disk->bytes(headerLba * 512, 92);
    setLe(headerLba * 512 + kGptHeaderCrcField, crc32(header.data(), header.size()), 4);
  }

  SimulatedMachine machine;
  std::unique_ptr<SfdiskImage> image;
  SimulatedDisk* disk = nullptr;
  std::vector<std::uint64_t> lbas;
};

std::vector<std::uint64_t> lbaRange(std::uint64_t first, std::uint64_t count) {
  std::vector<std::uint64_t> lbas;
  for (std::uint64_t i = 0; i < count; ++i) lbas.push_back(first + i);
  return lbas;
}

std::vector<std::uint64_t> join(std::vector<std::uint64_t> a, const std::vector<std::uint64_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(GptReader, ReadsThePrimaryHeaderAndItsArrayAndNothingElse) {
  const std::optional<GptTable> table = read();
  ASSERT_TRUE(table);
  EXPECT_EQ(table->copy, GptCopy::Primary);
  EXPECT_EQ(lbas, join({1}, lbaRange(2, 32)));
  const std::vector<SfdiskPartition> expected = image->partitions();
  ASSERT_EQ(table->partitions.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(table->partitions[i].number, i + 1);
    EXPECT_EQ(table->partitions[i].firstLba, expected[i].start);
    EXPECT_EQ(table->partitions[i].sectorCount(), expected[i].size);
    EXPECT_EQ(guidText(table->partitions[i].type), expected[i].type);
  }
}

TEST_F(GptReader, AHostilePrimaryIsRefusedAtItsCheckAndTheBackupServes) {
  constexpr std::uint64_t h = 512;  // the primary header
  const struct {
    const char* what;
    std::vector<Field> fields;
    bool reseal;      // else the CRC itself is what fails
    bool readsArray;  // the check comes after the array is read
  } cases[] = {
      {"signature", {{h + 7, 'X', 1}}, true, false},
      {"header size below 92", {{h + kGptHeaderSizeField, 91, 4}}, true, false},
      {"header size above a sector", {{h + kGptHeaderSizeField, 513, 4}}, true, false},
      {"header CRC", {{h + 0x40, 0xFF, 1}}, false, false},
      {"own LBA", {{h + kGptMyLbaField, kBackupLba, 8}}, true, false},
      // The array moved out of the way, to the backup's copy of it.
      {"usable range over the header",
       {{h + kGptFirstUsableLbaField, 1, 8}, {h + kGptEntryArrayLbaField, kLastUsable + 1, 8}},
       true, false},
      {"usable range empty", {{h + kGptFirstUsableLbaField, kLastUsable + 1, 8}}, true, false},
      {"usable range past the disk", {{h + kGptLastUsableLbaField, kDiskSectors, 8}}, true, false},
      {"entry size 0", {{h + kGptEntrySizeField, 0, 4}}, true, false},
      {"entry size 129", {{h + kGptEntrySizeField, 129, 4}}, true, false},
      {"entry size 3 x 128", {{h + kGptEntrySizeField, 384, 4}}, true, false},
      // Room made for a longer array: only the bound stops it being read.
      {"entries over 1 MiB",
       {{h + kGptEntryCountField, 8193, 4}, {h + kGptFirstUsableLbaField, 4096, 8}}, true, false},
      {"entries over 1 MiB by size", {{h + kGptEntrySizeField, 1u << 31, 4}}, true, false},
      {"array on the MBR", {{h + kGptEntryArrayLbaField, 0, 8}}, true, false},
      {"array on the header", {{h + kGptEntryArrayLbaField, 1, 8}}, true, false},
      {"array in the usable range", {{h + kGptEntryArrayLbaField, 2048, 8}}, true, false},
      {"array past the disk", {{h + kGptEntryArrayLbaField, kDiskSectors - 16, 8}}, true, false},
      {"array CRC", {{33 * 512 + 511, 0x01, 1}}, false, true},
      {"an entry past the usable range",
       {{2 * 512 + 128 * 3 + kGptLastLbaField, kLastUsable + 1, 8}}, true, true},
      {"an entry starting before the usable range", {{2 * 512 + kGptFirstLbaField, 2047, 8}},
       true, true},
      {"an entry ending before it starts", {{2 * 512 + kGptLastLbaField, 2047, 8}}, true, true},
  };
  const std::optional<GptTable> intact = read();
  ASSERT_TRUE(intact);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    disk = &image->addTo(machine, 0);
    set(c.fields);
    if (c.reseal) {
      resealArray(1, 2);
      resealHeader(1);
    }
    const std::optional<GptTable> table = read();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->copy, GptCopy::Backup);
    EXPECT_EQ(table->partitions.size(), intact->partitions.size());
    const std::vector<std::uint64_t> primary =
        c.readsArray ? join({1}, lbaRange(2, 32)) : std::vector<std::uint64_t>{1};
    EXPECT_EQ(lbas, join(join(primary, {kBackupLba}), lbaRange(kLastUsable + 1, 32)));
  }
}

// The checks that a primary header cannot fail, since it lies at LBA 1.
TEST_F(GptReader, ABackupIsHeldToItsOwnLocation) {
  constexpr std::uint64_t b = kBackupLba * 512;
  const struct {
    const char* what;
    std::vector<Field> fields;
  } cases[] = {
      {"own LBA", {{b + kGptMyLbaField, 1, 8}}},
      {"usable range from LBA 1", {{b + kGptFirstUsableLbaField, 1, 8}}},
      // The array moved out of the way, to the primary's copy of it.
      {"usable range over its header",
       {{b + kGptLastUsableLbaField, kBackupLba, 8}, {b + kGptEntryArrayLbaField, 2, 8}}},
      {"array over its header", {{b + kGptEntryArrayLbaField, kBackupLba - 31, 8}}},
      {"array on the MBR", {{b + kGptEntryArrayLbaField, 0, 8}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    disk = &image->addTo(machine, 0);
    setLe(512 + 0x40, 0xFF, 1);  // the primary header broken
    set(c.fields);
    resealHeader(kBackupLba);
    EXPECT_FALSE(read());
    EXPECT_EQ(lbas, (std::vector<std::uint64_t>{1, kBackupLba}));
  }
}

TEST_F(GptReader, TheBackupIsWhereTheIntactPrimarySaysOrAtTheDiskEndOrTheProtectiveEntryEnd) {
  // The primary's array damaged: its intact header names the backup, and LBA 1 names none.
  setLe(33 * 512 + 511, 0x01, 1);
  set({{512 + kGptAlternateLbaField, 1000000, 8}});
  resealHeader(1);
  EXPECT_FALSE(read());
  EXPECT_EQ(lbas, join(join({1}, lbaRange(2, 32)), {1000000}));
  set({{512 + kGptAlternateLbaField, 1, 8}});
  resealHeader(1);
  EXPECT_FALSE(read());
  EXPECT_EQ(lbas, join({1}, lbaRange(2, 32)));

  // The primary header broken: the length the system reports wins; without one, the last sector
  // the protective entry covers.
  disk = &image->addTo(machine, 0);
  setLe(512 + 0x40, 0xFF, 1);
  EXPECT_TRUE(read(kDiskSectors));
  EXPECT_EQ(lbas.at(1), kBackupLba);
  EXPECT_TRUE(read(std::nullopt));
  EXPECT_EQ(lbas.at(1), kBackupLba);
  setLe(0x1CA, 1000000, 4);  // the protective entry now ends at LBA 1000000
  EXPECT_FALSE(read(std::nullopt));
  EXPECT_EQ(lbas, (std::vector<std::uint64_t>{1, 1000000}));
  EXPECT_TRUE(read(kDiskSectors));
}

TEST_F(GptReader, NeitherCopyOrNoProtectiveEntryMeansNoTable) {
  setLe(512 + 0x40, 0xFF, 1);
  setLe(kBackupLba * 512 + 0x40, 0xFF, 1);
  EXPECT_FALSE(read());
  EXPECT_EQ(lbas, (std::vector<std::uint64_t>{1, kBackupLba}));

  disk = &image->addTo(machine, 0);
  setLe(0x1C2, 0x07, 1);  // the MBR entry is no longer EE
  EXPECT_FALSE(read());
  EXPECT_TRUE(lbas.empty());
}

}  // namespace
}  // namespace quenbolt
