#include <gtest/gtest.h>

#include <cstring>

#include "AlignedRoom.h"

// An answer that fills every byte asked for stays inside the room, whatever the size (AddressSanitizer
// sees a write past the end in the native build).
TEST(AlignedRoom, HoldsEveryByteOfAnAnswerOfAnySize) {
    for (std::size_t bytes = 1; bytes <= 33; ++bytes) {
        std::vector<std::uint64_t> room = alignedRoom(bytes);
        ASSERT_GE(room.size() * sizeof(std::uint64_t), bytes);
        std::memset(room.data(), 0xA5, bytes);
    }
}
