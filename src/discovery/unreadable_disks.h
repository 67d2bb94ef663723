#pragma once
// Listed disks that the scan could not read, and the words that tell the user why.

#include <cstdint>
#include <string>
#include <vector>

namespace quenbolt {

enum class DiskReadFailure {
  Open,                // the device could not be opened
  FirstRead,           // the read of its first sector failed
  ShortFirstRead,      // the read of its first sector brought less than a whole sector
  SectorSizeMismatch,  // its GPT lies where another sector size than the reported one puts it
};

struct UnreadableDisk {
  unsigned disk = 0;  // 0-based disk index
  DiskReadFailure failure = DiskReadFailure::Open;
  std::uint32_t systemError = 0;  // the system's error code; 0 for a short read
  std::size_t sectorSize = 0;     // the sector size the disk reports, for a mismatch
};

// True for the error codes of a drive without its medium (an empty card reader): such a drive
// has nothing to list, and nothing went wrong.
bool meansNoMedium(std::uint32_t systemError);

// The reason in words, e.g. "拒绝访问，请以管理员身份运行".
std::string unreadableReason(const UnreadableDisk& disk);

// One line for the error stream, naming the disk as the list numbers it:
// "磁盘 2 无法读取（拒绝访问，请以管理员身份运行）".
std::string unreadableDiskLine(const UnreadableDisk& disk);

// Every disk for the status line, disks with the same reason together:
// "磁盘 1、2 无法读取（拒绝访问，请以管理员身份运行）；磁盘 4 无法读取（第一个扇区读取不完整）".
std::string unreadableDisksText(const std::vector<UnreadableDisk>& disks);

}  // namespace quenbolt
