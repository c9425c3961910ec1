#include "OwnConsole.h"

namespace console {
namespace {

// A terminal here belongs to whoever opened it: there is no console of the program's own.
class StandInConsolePlatform : public ConsolePlatform {
  public:
    std::uint32_t consoleProcessCount() override { return 0; }
    void* consoleWindow() override { return nullptr; }
    std::string windowClassName(void*) override { return {}; }
    void showWindow(void*, int) override {}
    bool isConsoleHandle(std::uint32_t) override { return false; }
    void pointStreamAtNul(std::uint32_t) override {}
    void freeConsole() override {}
    void pointStandardHandleAtStream(std::uint32_t) override {}
};

}  // namespace

ConsolePlatform& platformConsole() {
    static StandInConsolePlatform platform;
    return platform;
}

}  // namespace console
