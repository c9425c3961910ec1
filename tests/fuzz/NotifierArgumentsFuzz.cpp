// Halvicor's decision on arbitrary argument vectors (the input's bytes split at zero bytes): the exit code,
// the one record and the broadcasts follow the first character of the first argument alone.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "NotifierEntry.h"

namespace {

class CountingPlatform : public console::ConsolePlatform,
                         public notifier::NotifierPlatform,
                         public notifier::NotifierLog {
  public:
    void setLastError(std::uint32_t) override {}
    std::int32_t broadcastSystemMessage(std::uint32_t, std::uint32_t*, std::uint32_t, std::uintptr_t wParam,
                                        std::intptr_t) override {
        wParams.push_back(wParam);
        return 1;
    }
    std::uint32_t getLastError() override { return 0; }
    std::uint32_t consoleProcessCount() override { return 1; }
    void* consoleWindow() override { return this; }
    std::string windowClassName(void*) override { return "ConsoleWindowClass"; }
    void showWindow(void*, int) override { hidden = messages.empty() && wParams.empty(); }
    bool isConsoleHandle(std::uint32_t) override { return false; }
    void pointStreamAtNul(std::uint32_t) override {}
    void freeConsole() override {}
    void pointStandardHandleAtStream(std::uint32_t) override {}
    void logMessage(std::int32_t line, const char* message) override {
        messages.push_back(std::to_string(line) + message);
    }
    void logStatus(std::int32_t, const char*, std::int32_t, std::int32_t) override { ++statuses; }

    bool hidden = false;
    std::vector<std::uintptr_t> wParams;
    std::vector<std::string> messages;
    int statuses = 0;
};

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments(1);
    for (std::size_t at = 0; at < size; ++at) {
        if (data[at] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back() += static_cast<char>(data[at]);
        }
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    CountingPlatform platform;
    const int exitCode =
        notifier::runNotifier(platform, platform, platform, static_cast<int>(argv.size()), argv.data());

    const char first = argv.size() > 1 ? argv[1][0] : '\0';
    require(platform.hidden);
    if (first == '1' || first == '0') {
        const std::uintptr_t event = first == '1' ? 0x8000 : 0x8004;
        require(exitCode == 1);
        require(platform.messages == std::vector<std::string>{first == '1'
                                                                  ? "64Broadcasting on device addition"
                                                                  : "68Broadcasting on device removal"});
        require(platform.wParams == std::vector<std::uintptr_t>{0x7, event, event});
        require(platform.statuses == 3);
    } else {
        require(exitCode == 0);
        require(platform.messages == std::vector<std::string>{"72ERROR: invalid parameter!!!"});
        require(platform.wParams.empty() && platform.statuses == 0);
    }
    return 0;
}
