#pragma once

#include <cstdint>
#include <string>

// "[tid] YYYY-MM-DD HH:MM:SS.mmm " for the calling thread, now. Callers make it right before each record.
std::string makeLogPrefix();

// The same text for a given thread id and clock reading (100 ns units since 1970-01-01 UTC); date, time
// and milliseconds all come from that one reading.
std::string composeLogPrefix(std::uint32_t threadId, std::int64_t ticks);
