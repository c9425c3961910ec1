#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "LogPrefix.h"

namespace {

// Local time is the platform's; pin the zone so the expected texts are fixed.
void useTimeZone(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone);
    _tzset();
#else
    setenv("TZ", zone, 1);
    tzset();
#endif
}

constexpr std::int64_t ticksPerSecond = 10'000'000;
constexpr std::int64_t march14At092653 = 1773480413;  // 2026-03-14 09:26:53 UTC

struct PrefixCase {
    std::uint32_t threadId;
    std::int64_t ticks;
    const char* expected;
    friend void PrintTo(const PrefixCase& tested, std::ostream* out) { *out << tested.expected; }
};

class LogPrefix : public testing::TestWithParam<PrefixCase> {
  protected:
    static void SetUpTestSuite() { useTimeZone("UTC0"); }
};

TEST_P(LogPrefix, ComposesThreadDateTimeAndMillisecondsFromOneReading) {
    EXPECT_EQ(composeLogPrefix(GetParam().threadId, GetParam().ticks), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogPrefix,
    testing::Values(
        PrefixCase{6120, march14At092653* ticksPerSecond + 580'000, "[ 6120] 2026-03-14 09:26:53.058 "},
        PrefixCase{11304, march14At092653* ticksPerSecond, "[11304] 2026-03-14 09:26:53.000 "},
        PrefixCase{123456, march14At092653* ticksPerSecond + 70'000, "[123456] 2026-03-14 09:26:53.007 "},
        PrefixCase{7, march14At092653* ticksPerSecond + 9'999'999, "[    7] 2026-03-14 09:26:53.999 "},
        PrefixCase{4294967295u, 946684799 * ticksPerSecond + 9'990'000,
                   "[4294967295] 1999-12-31 23:59:59.999 "},
        PrefixCase{0, 0, "[    0] 1970-01-01 00:00:00.000 "}));

// These machines run in UTC, where local time and UTC cannot be told apart: half an hour off a whole hour
// shows which one the prefix holds.
TEST(LogPrefixInLocalTime, FollowsTheTimeZoneOfTheMachine) {
    useTimeZone("IST-5:30");
    const std::string prefix = composeLogPrefix(6120, march14At092653 * ticksPerSecond);
    useTimeZone("UTC0");
    EXPECT_EQ(prefix, "[ 6120] 2026-03-14 14:56:53.000 ");
}

// A clock before 1970 still gives milliseconds 000 to 999, whatever the platform makes of the date.
TEST(LogPrefixBefore1970, CountsMillisecondsDownFromTheSecondAfter) {
    const std::string prefix = composeLogPrefix(7, -ticksPerSecond / 1000);
    EXPECT_EQ(prefix.substr(prefix.size() - 5), ".999 ") << prefix;
}

std::uint32_t osThreadId() {
#ifdef _WIN32
    return static_cast<std::uint32_t>(::GetCurrentThreadId());
#else
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
#endif
}

// The records of a process's threads can be told apart: each prefix names the thread that made it.
TEST(MakeLogPrefix, NamesTheThreadThatMadeIt) {
    std::string prefix;
    std::uint32_t id = 0;
    std::thread([&] {
        prefix = makeLogPrefix();
        id = osThreadId();
    }).join();
    ASSERT_NE(id, osThreadId());
    EXPECT_EQ(std::stoul(prefix.substr(1)), id) << prefix;
}

TEST(MakeLogPrefix, HasTheShapeOfAPrefixAndTheTimeOfTheWallClock) {
    const std::string prefix = makeLogPrefix();
    const std::time_t now = std::time(nullptr);
    ASSERT_GE(prefix.size(), 32u);
    EXPECT_EQ(prefix.front(), '[');
    EXPECT_EQ(prefix[prefix.size() - 5], '.');
    EXPECT_EQ(prefix.back(), ' ');
    // Local date and time, read back as local time: within a minute of the system's clock.
    std::tm local{};
    std::istringstream(prefix.substr(prefix.find("] ") + 2)) >> std::get_time(&local, "%Y-%m-%d %H:%M:%S");
    local.tm_isdst = -1;
    EXPECT_LE(std::abs(std::difftime(std::mktime(&local), now)), 60.0) << prefix;
}

}  // namespace
