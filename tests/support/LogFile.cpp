#include "LogFile.h"

#include <regex>

#include "ScratchDirectory.h"

namespace {

const std::regex prefixPattern(
    R"(^\[ *[0-9]+\] [0-9]{4}-[0-9]{2}-[0-9]{2} ([0-9]{2}):([0-9]{2}):([0-9]{2})\.([0-9]{3}) )");

std::vector<std::string> logLines(const std::filesystem::path& logFile) {
    const std::string text = readFile(logFile);
    const std::string newline = platformNewline;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(newline, start)) != std::string::npos;
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
        std::smatch found;
        if (std::regex_search(line, found, prefixPattern)) {
            line = line.substr(static_cast<std::size_t>(found.length(0)));
        } else if (line != "<unfinished>") {
            line = "<no prefix> " + line;
        }
    }
    return records;
}

std::vector<long long> logMilliseconds(const std::filesystem::path& logFile) {
    std::vector<long long> times;
    for (const std::string& line : logLines(logFile)) {
        std::smatch found;
        if (std::regex_search(line, found, prefixPattern)) {
            times.push_back(((std::stoll(found[1]) * 60 + std::stoll(found[2])) * 60 + std::stoll(found[3])) *
                                1000 +
                            std::stoll(found[4]));
        }
    }
    return times;
}
