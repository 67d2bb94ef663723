#pragma once
// The CRC-32 that GUID partition table headers and entry arrays carry.

#include <cstddef>
#include <cstdint>

namespace quenbolt {

// Reflected CRC-32, polynomial 0xEDB88320, initial value and final XOR 0xFFFFFFFF (the one of
// zlib and Ethernet): "123456789" gives 0xCBF43926.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size);

}  // namespace quenbolt
