// Writes the records named on its command line through the real logger, one argument a record:
//   m|LINE|MESSAGE   n|LINE|MESSAGE|NAME|ID   e|LINE|MESSAGE|CODE   s|LINE|MESSAGE|STATUS|ERROR
//   remove-log       print-log-path
//   pause|DIR|N      makes DIR/paused-N, then waits until DIR/resume-N exists (the test acts meanwhile)
// "\n" in a field stands for a line break.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "LogPlatform.h"
#include "Logger.h"

const LogIdentity programLogIdentity{"/LogDriver.txt", "***** LogDriver Logs *****", 7};

namespace {

std::vector<std::string> fields(const std::string& argument) {
    std::vector<std::string> parts(1);
    for (std::size_t at = 0; at < argument.size(); ++at) {
        if (argument[at] == '|') {
            parts.emplace_back();
        } else if (argument.compare(at, 2, "\\n") == 0) {
            parts.back() += '\n';
            ++at;
        } else {
            parts.back() += argument[at];
        }
    }
    return parts;
}

std::int32_t number(const std::string& text) {
    return static_cast<std::int32_t>(std::stoll(text));
}

// False when the test did not answer in time, so a broken test ends instead of hanging.
bool pauseForTest(const std::string& folder, const std::string& step) {
    const std::filesystem::path signals = std::filesystem::u8path(folder);
    std::ofstream(signals / ("paused-" + step)).close();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(signals / ("resume-" + step))) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        const std::vector<std::string> part = fields(argument);
        if (argument == "print-log-path") {
            std::cout << processLogger.logFilePath() << '\n';
        } else if (argument == "remove-log") {
            std::filesystem::path path;
            std::error_code ignored;
            if (logplatform::openPathFromText(processLogger.logFilePath(), path)) {
                std::filesystem::remove(path, ignored);
            }
        } else if (part[0] == "pause" && part.size() == 3) {
            if (!pauseForTest(part[1], part[2])) {
                std::cerr << "no resume-" << part[2] << " in time\n";
                return 3;
            }
        } else if (part[0] == "m" && part.size() == 3) {
            processLogger.logMessage(makeLogPrefix(), number(part[1]), part[2].c_str());
        } else if (part[0] == "n" && part.size() == 5) {
            processLogger.logNameId(makeLogPrefix(), number(part[1]), part[2].c_str(), part[3], part[4]);
        } else if (part[0] == "e" && part.size() == 4) {
            processLogger.logError(makeLogPrefix(), number(part[1]), part[2].c_str(), number(part[3]));
        } else if (part[0] == "s" && part.size() == 5) {
            processLogger.logStatus(makeLogPrefix(), number(part[1]), part[2].c_str(), number(part[3]),
                                    number(part[4]));
        } else {
            std::cerr << "unknown record: " << argument << '\n';
            return 2;
        }
    }
    return 0;
}
