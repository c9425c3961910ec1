#include "LogFile.h"

#include <cctype>
#include <optional>
#include <string_view>

#include "ScratchDirectory.h"

namespace {

struct TimePrefix {
    std::size_t length;
    long long millisecondOfDay;
};

// "[ tid] YYYY-MM-DD HH:MM:SS.mmm " at the start of a line: the thread id right-aligned in its brackets,
// then a stamp of this shape, d standing for a digit.
constexpr std::string_view stampShape = "dddd-dd-dd dd:dd:dd.ddd ";

std::optional<TimePrefix> timePrefixOf(const std::string& line) {
    const std::size_t close = line.find("] ");
    if (line.empty() || line[0] != '[' || close == std::string::npos) {
        return std::nullopt;
    }
    const std::string threadId = line.substr(1, close - 1);
    const std::size_t firstDigit = threadId.find_first_not_of(' ');
    if (firstDigit == std::string::npos ||
        threadId.find_first_not_of("0123456789", firstDigit) != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t stamp = close + 2;
    if (line.size() < stamp + stampShape.size()) {
        return std::nullopt;
    }
    for (std::size_t at = 0; at < stampShape.size(); ++at) {
        const char found = line[stamp + at];
        if (stampShape[at] == 'd' ? !std::isdigit(static_cast<unsigned char>(found))
                                  : found != stampShape[at]) {
            return std::nullopt;
        }
    }
    const auto field = [&](std::size_t offset, std::size_t digits) {
        return std::stoll(line.substr(stamp + offset, digits));
    };
    return TimePrefix{stamp + stampShape.size(),
                      ((field(11, 2) * 60 + field(14, 2)) * 60 + field(17, 2)) * 1000 + field(20, 3)};
}

std::vector<std::string> logLines(const std::filesystem::path& logFile) {
    const std::string text = readFile(logFile);
    const std::string newline = platformNewline;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = 0; (end = text.find(newline, start)) != std::string::npos;
         start = end + newline.size()) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start != text.size()) {
        lines.push_back("<unfinished>");
    }
    return lines;
}

}  // namespace

std::vector<std::string> logRecords(const std::filesystem::path& logFile) {
    std::vector<std::string> records = logLines(logFile);
    for (std::string& line : records) {
        if (const std::optional<TimePrefix> prefix = timePrefixOf(line)) {
            line = line.substr(prefix->length);
        } else if (line != "<unfinished>") {
            line.insert(0, "<no prefix> ");
        }
    }
    return records;
}

std::vector<long long> logMilliseconds(const std::filesystem::path& logFile) {
    std::vector<long long> times;
    for (const std::string& line : logLines(logFile)) {
        if (const std::optional<TimePrefix> prefix = timePrefixOf(line)) {
            times.push_back(prefix->millisecondOfDay);
        }
    }
    return times;
}
