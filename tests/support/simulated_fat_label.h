#pragma once
// What Windows' FAT driver does with SetVolumeLabel, for the simulated machine: the label it
// accepts, and the root-directory label entry it writes. The driver keeps the label Windows shows
// in that entry; the boot sector's copy at 0x47 and the backup boot sector are not its business.

#include <cstdint>
#include <optional>
#include <string>

namespace quenbolt {

class SimulatedDisk;

// The label as the driver stores and reports it: upper-cased, trailing blanks removed. Nothing
// when it refuses the label (the call fails): more than 11 characters or bytes, a control byte,
// or one of " * + , . / : ; < = > ? [ \ ] |. The label is GBK, as the OEM code page of a Chinese
// Windows, in which the driver stores it.
std::optional<std::string> fatVolumeLabel(const std::string& gbk);

// A byte range the file system wrote on its own.
struct FileSystemWrite {
  unsigned disk = 0;
  std::uint64_t offset = 0;
  std::size_t size = 0;
};

// Stores `label` (as fatVolumeLabel gives it) in the root directory of the FAT32 volume at
// `volumeStart` of `disk`: into the existing label entry (attribute 0x08), else into the first
// free entry, which becomes one; an empty label marks the entry deleted. Returns the entry it
// wrote; nothing when the boot sector there is no FAT32 one with 512-byte sectors, the root
// directory has no room or runs off the disk (the driver would fail the call).
std::optional<FileSystemWrite> writeFat32LabelEntry(SimulatedDisk& disk, std::uint64_t volumeStart,
                                                    const std::string& label);

// Whether the boot sector at `volumeStart` has the fields writeFat32LabelEntry works from.
bool hasFat32Layout(const SimulatedDisk& disk, std::uint64_t volumeStart);

}  // namespace quenbolt
