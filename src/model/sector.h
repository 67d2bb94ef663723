#pragma once
// One raw disk sector. Every disk access of the program is exactly one of these.

#include <array>
#include <cstddef>
#include <cstdint>

namespace quenbolt {

constexpr std::size_t kSectorSize = 512;
using Sector = std::array<std::uint8_t, kSectorSize>;

}  // namespace quenbolt
