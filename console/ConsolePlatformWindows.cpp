#include <windows.h>

#include "OwnConsole.h"

namespace console {
namespace {

class WindowsConsolePlatform : public ConsolePlatform {
  public:
    std::uint32_t consoleProcessCount() override {
        // Room for a few: the count comes back whole even where it is larger than the room.
        DWORD processes[4];
        return ::GetConsoleProcessList(processes, 4);
    }
    void* consoleWindow() override { return ::GetConsoleWindow(); }
    void showWindow(void* window, int command) override { ::ShowWindow(static_cast<HWND>(window), command); }
    void freeConsole() override { ::FreeConsole(); }
};

}  // namespace

ConsolePlatform& platformConsole() {
    static WindowsConsolePlatform platform;
    return platform;
}

}  // namespace console
