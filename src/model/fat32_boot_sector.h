#pragma once
// The FAT32 boot-sector fields the program reads and writes.

#include <string>

#include "model/sector.h"

namespace quenbolt {

constexpr std::size_t kBootLabelOffset = 0x47;
constexpr std::size_t kBootLabelSize = 11;
constexpr std::size_t kFileSystemTypeOffset = 0x52;

// True when the five bytes at 0x52, upper-cased, read "FAT32".
bool isFat32BootSector(const Sector& sector);

// The 11 label bytes at 0x47, as stored.
std::string bootSectorLabelField(const Sector& sector);

// The 11 bytes a label is stored as: cut to 11 bytes without leaving a lone lead byte, padded
// with blanks, upper-cased.
std::string bootSectorLabelBytes(const std::string& label);

}  // namespace quenbolt
