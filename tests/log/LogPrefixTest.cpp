#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "LogPrefix.h"

namespace {

// Local time is the platform's; pin it to UTC so the expected texts are fixed.
void useUtcAsLocalTime() {
#ifdef _WIN32
    _putenv_s("TZ", "UTC0");
    _tzset();
#else
    setenv("TZ", "UTC0", 1);
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
    static void SetUpTestSuite() { useUtcAsLocalTime(); }
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

TEST(MakeLogPrefix, HasTheShapeOfAPrefix) {
    const std::string prefix = makeLogPrefix();
    ASSERT_GE(prefix.size(), 32u);
    EXPECT_EQ(prefix.front(), '[');
    EXPECT_EQ(prefix[prefix.size() - 5], '.');
    EXPECT_EQ(prefix.back(), ' ');
}

}  // namespace
