// Writes the records named on its command line through the real logger, one argument a record:
//   m|LINE|MESSAGE   n|LINE|MESSAGE|NAME|ID   e|LINE|MESSAGE|CODE   s|LINE|MESSAGE|STATUS|ERROR
//   o|LINE|MESSAGE   a record whose first allocation fails, as when memory runs out mid-record
//   remove-log       print-log-path
//   pause|N|DIR      makes DIR/paused-N, then waits until DIR/resume-N exists (the test acts meanwhile);
//                    DIR is the rest of the argument, taken as it stands
// "\n" in a record's field stands for a line break. Paths are never read through that escape: a Windows
// path such as Z:\home\nina holds it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "LogPlatform.h"
#include "Logger.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>
#endif

const LogIdentity programLogIdentity{"/LogDriver.txt", "***** LogDriver Logs *****", 7};

namespace {
std::atomic<bool> failNextAllocation{false};
// The next allocation of this many bytes or more fails: only a record's own long text asks for so much.
std::atomic<std::size_t> failAllocationFrom{SIZE_MAX};
}  // namespace

// Every allocation of the driver, so that one can be made to fail.
void* operator new(std::size_t size) {
    if (failNextAllocation.exchange(false) ||
        (size >= failAllocationFrom && failAllocationFrom.exchange(SIZE_MAX) <= size)) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size != 0 ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

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

// The arguments as UTF-8. A narrow main of a mingw-w64 program gets them in the ANSI code page, which
// cannot hold every folder name a test runs in; the system's own UTF-16 command line holds them all.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    static_cast<void>(argc);
    static_cast<void>(argv);
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int index = 0; wide != nullptr && index < count; ++index) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 1), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, text.data(), bytes, nullptr, nullptr);
        text.resize(text.size() - 1);
        arguments.push_back(text);
    }
    ::LocalFree(static_cast<HLOCAL>(wide));
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
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

// NOLINTNEXTLINE(bugprone-exception-escape): an exception that escapes is a crash, which the tests report
int main(int argc, char** argv) {
    const std::vector<std::string> arguments = utf8Arguments(argc, argv);
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const std::vector<std::string> part = fields(argument);
        const std::size_t pauseFolder = argument.find('|', 6);
        if (argument == "print-log-path") {
            std::cout << processLogger.logFilePath() << '\n';
        } else if (argument == "remove-log") {
            std::filesystem::path path;
            std::error_code ignored;
            if (logplatform::openPathFromText(processLogger.logFilePath(), path)) {
                std::filesystem::remove(path, ignored);
            }
        } else if (argument.rfind("pause|", 0) == 0 && pauseFolder != std::string::npos) {
            const std::string step = argument.substr(6, pauseFolder - 6);
            if (!pauseForTest(argument.substr(pauseFolder + 1), step)) {
                std::cerr << "no resume-" << step << " in time\n";
                return 3;
            }
        } else if (part[0] == "o" && part.size() == 3) {
            std::string prefix = makeLogPrefix();
            failNextAllocation = true;
            processLogger.logMessage(std::move(prefix), number(part[1]), part[2].c_str());
            failNextAllocation = false;
        } else if (part[0] == "h" && part.size() == 3) {
            // Fails half-way: the message is too long to be added to the part of the record already made.
            const std::string message = part[2] + std::string(100000, '.');
            std::string prefix = makeLogPrefix();
            failAllocationFrom = 65536;
            processLogger.logMessage(std::move(prefix), number(part[1]), message.c_str());
            failAllocationFrom = SIZE_MAX;
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
