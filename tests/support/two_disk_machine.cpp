#include "support/two_disk_machine.h"

#include <string>

#include "support/table_sector_builder.h"

namespace quenbolt {

namespace {

SimulatedVolume volumeAt(unsigned disk, std::uint64_t start, const std::string& label,
                         const std::string& fileSystem) {
  SimulatedVolume volume;
  volume.disk = disk;
  volume.startOffset = start;
  volume.length = 100000 * two_disks::kSector;
  volume.label = label;
  volume.fileSystem = fileSystem;
  volume.freeBytes = 10 * 1024 * 1024;
  return volume;
}

}  // namespace

void buildTwoDiskMachine(SimulatedMachine& machine) {
  using namespace two_disks;
  SimulatedDisk& disk0 = machine.addDisk(0, 1ull << 30);
  disk0.setSector(kMbr, TableSector()
                            .entry(0, 0x80, 0x07, 2048, 204800)
                            .entry(1, 0x00, 0x0F, 206848, 409600)
                            .entry(3, 0x00, 0x0B, 616448, 204800)
                            .signature());
  disk0.setSector(kEbr1, TableSector()
                             .entry(0, 0x00, 0x07, 63, 100000)
                             .entry(1, 0x00, 0x05, 100100, 100100)
                             .signature());
  disk0.setSector(kEbr2, TableSector().entry(0, 0x00, 0x0B, 63, 100000).signature());
  disk0.setSector(kBootC, ntfsBootSector());
  disk0.setSector(kBootLogical, ntfsBootSector());
  disk0.setSector(kBootE, fat32BootSector("LOGIC"));
  disk0.setSector(kBootD, fat32BootSector("DATA0"));

  SimulatedDisk& disk1 = machine.addDisk(1, 1ull << 29);
  disk1.setSector(kMbr, TableSector()
                            .entry(0, 0x00, 0x0C, 2048, 204800)
                            .entry(1, 0x00, 0x07, 206848, 100000)
                            .signature());
  disk1.setSector(kBootF, fat32BootSector("SPARE"));
  disk1.setSector(206848 * kSector, ntfsBootSector());
  machine.setDiskCount(2);

  machine.mountVolume('C', volumeAt(0, kBootC, "SYSTEM", "NTFS"));
  machine.mountVolume('D', volumeAt(0, kBootD, "DATA0", "FAT32"));
  machine.mountVolume('E', volumeAt(0, kBootE, "LOGIC", "FAT32"));
  machine.mountVolume('F', volumeAt(1, kBootF, "SPARE", "FAT32"));
  // The first logical partition is reachable only once start-up gives it a letter; the second
  // primary of disk 1 never is.
  machine.addPartitionDevice(0, 3, volumeAt(0, kBootLogical, "WORK", "NTFS"));
}

}  // namespace quenbolt
