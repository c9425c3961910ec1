#include <gtest/gtest.h>

#include <cstdint>

#include "ConsoleProcessCount.h"

// A console shared by more processes than the room holds: the query fills the room it is given and tells
// the whole count, which comes back as it is (AddressSanitizer sees a room larger than the list).
TEST(ConsoleProcessCount, TellsTheWholeCountAndGivesRoomInEntries) {
    const std::uint32_t count =
        console::consoleProcessCountFrom<std::uint32_t>([](std::uint32_t* list, std::uint32_t room) {
            for (std::uint32_t entry = 0; entry < room && entry < 5; ++entry) {
                list[entry] = 100 + entry;
            }
            return 5u;
        });
    EXPECT_EQ(count, 5u);
}
