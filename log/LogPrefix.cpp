#include "LogPrefix.h"

#include <chrono>
#include <iomanip>
#include <locale>
#include <sstream>

#include "LogPlatform.h"

namespace {
constexpr std::int64_t ticksPerSecond = 10'000'000;
constexpr std::int64_t ticksPerMillisecond = 10'000;

std::int64_t clockTicks() {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, ticksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Floor division, so a reading before 1970 still gives milliseconds 000 to 999.
std::int64_t floorDivide(std::int64_t value, std::int64_t divisor) {
    return value / divisor - ((value % divisor) < 0 ? 1 : 0);
}
}  // namespace

std::string composeLogPrefix(std::uint32_t threadId, std::int64_t ticks) {
    const std::int64_t seconds = floorDivide(ticks, ticksPerSecond);
    const std::int64_t milliseconds = floorDivide(ticks, ticksPerMillisecond) - seconds * 1000;
    std::tm local{};
    const bool converted = logplatform::toLocalTime(static_cast<std::time_t>(seconds), local);

    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << '[' << std::setw(5) << threadId << ']';
    // " %F %T" spelled out: the C runtime of mingw-w64 programs knows neither %F nor %T.
    if (converted) {
        text << std::put_time(&local, " %Y-%m-%d %H:%M:%S");
    } else {
        text << " 0000-00-00 00:00:00";  // keeps the prefix's shape when the clock is beyond local time
    }
    text << '.' << std::setfill('0') << std::setw(3) << milliseconds << ' ';
    return text.str();
}

std::string makeLogPrefix() {
    return composeLogPrefix(logplatform::currentThreadId(), clockTicks());
}
