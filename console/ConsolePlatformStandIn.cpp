#include "OwnConsole.h"

namespace console {
namespace {

// A terminal here belongs to whoever opened it: there is no console window of the program's own.
class StandInConsolePlatform : public ConsolePlatform {
  public:
    std::uint32_t consoleProcessCount() override { return 0; }
    void* consoleWindow() override { return nullptr; }
    void showWindow(void*, int) override {}
    void freeConsole() override {}
};

}  // namespace

ConsolePlatform& platformConsole() {
    static StandInConsolePlatform platform;
    return platform;
}

}  // namespace console
