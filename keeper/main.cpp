#include <chrono>
#include <iostream>
#include <thread>

#include "KeeperRun.h"
#include "Logger.h"
#include "OwnConsole.h"

const LogIdentity programLogIdentity{"/Kestraner.txt", "***** Kestraner Logs *****", 54};

namespace {

// The run's records, each with a prefix made at the moment of the call.
class ProcessKeeperLog : public keeper::KeeperLog {
  public:
    void logMessage(std::int32_t line, const char* message) override {
        processLogger.logMessage(makeLogPrefix(), line, message);
    }
    void logNameId(std::int32_t line, const char* message, std::string name, std::string id) override {
        processLogger.logNameId(makeLogPrefix(), line, message, std::move(name), std::move(id));
    }
    void logError(std::int32_t line, const char* message, std::int32_t code) override {
        processLogger.logError(makeLogPrefix(), line, message, code);
    }
};

void sleepFor(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

int main() {
    // Before the first progress line: a window made for this run alone shows nothing to close.
    console::hideConsoleMadeForThisProcess(console::platformConsole());
    ProcessKeeperLog log;
    keeper::KeeperContext context{keeper::platformAudioEndpointService(), log, std::cout, sleepFor};
    return keeper::runKeeper(context);
}
