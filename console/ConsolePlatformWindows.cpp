#include <windows.h>

#include "ConsoleProcessCount.h"
#include "OwnConsole.h"

namespace console {
namespace {

class WindowsConsolePlatform : public ConsolePlatform {
  public:
    std::uint32_t consoleProcessCount() override {
        return consoleProcessCountFrom<DWORD>(::GetConsoleProcessList);
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
