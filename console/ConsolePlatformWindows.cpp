#include <windows.h>
// after windows.h, which it needs
#include <io.h>

#include <cstdio>

#include "ConsoleProcessCount.h"
#include "OwnConsole.h"

namespace console {
namespace {

FILE* streamOf(std::uint32_t standardHandle) {
    switch (standardHandle) {
        case STD_INPUT_HANDLE:
            return stdin;
        case STD_OUTPUT_HANDLE:
            return stdout;
        default:
            return stderr;
    }
}

class WindowsConsolePlatform : public ConsolePlatform {
  public:
    std::uint32_t consoleProcessCount() override {
        return consoleProcessCountFrom<DWORD>(::GetConsoleProcessList);
    }
    void* consoleWindow() override { return ::GetConsoleWindow(); }
    std::string windowClassName(void* window) override {
        // 256 is the longest class name there is.
        wchar_t name[257] = {};
        const int length = ::GetClassNameW(static_cast<HWND>(window), name, 257);
        std::string ascii;
        for (int at = 0; at < length; ++at) {
            ascii += name[at] < 0x80 ? static_cast<char>(name[at]) : '?';
        }
        return ascii;
    }
    void showWindow(void* window, int command) override { ::ShowWindow(static_cast<HWND>(window), command); }
    bool isConsoleHandle(std::uint32_t standardHandle) override {
        DWORD mode = 0;
        return ::GetConsoleMode(::GetStdHandle(standardHandle), &mode) != FALSE;
    }
    void pointStreamAtNul(std::uint32_t standardHandle) override {
        // The stream keeps its FILE (std::cout writes through it) and gets a descriptor on NUL, closing the
        // console's handle while it is still valid. One that could not be reopened stays closed.
        std::freopen("NUL", standardHandle == STD_INPUT_HANDLE ? "r" : "w", streamOf(standardHandle));
        ::SetStdHandle(standardHandle, nullptr);
    }
    void freeConsole() override { ::FreeConsole(); }
    void pointStandardHandleAtStream(std::uint32_t standardHandle) override {
        const intptr_t handle = ::_get_osfhandle(::_fileno(streamOf(standardHandle)));
        ::SetStdHandle(standardHandle, handle == -1 ? nullptr : reinterpret_cast<HANDLE>(handle));
    }
};

}  // namespace

ConsolePlatform& platformConsole() {
    static WindowsConsolePlatform platform;
    return platform;
}

}  // namespace console
