#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Room for a platform answer of the given size in bytes, in whole 8-byte units so that a structure at its
// start is aligned: rounded up, never down, or the answer's last bytes would land past the end.
inline std::vector<std::uint64_t> alignedRoom(std::size_t bytes) {
    return std::vector<std::uint64_t>((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
}
