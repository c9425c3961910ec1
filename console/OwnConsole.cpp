#include "OwnConsole.h"

#include <cstddef>

// winuser.h's value under its own name: the rule is built where no Windows header is.
#ifndef SW_HIDE
#define SW_HIDE 0
#endif

namespace console {
namespace {

// The class conhost gives the window of every pseudoconsole, whichever terminal hosts it: the window is
// never shown itself, and Terminal 1.14 and later pass a show or hide of it on to Terminal's own window.
constexpr const char* pseudoConsoleWindowClass = "PseudoConsoleWindow";

}  // namespace

void hideConsoleMadeForThisProcess(ConsolePlatform& platform) {
    if (platform.consoleProcessCount() != 1) {
        return;
    }
    void* window = platform.consoleWindow();
    if (window != nullptr && platform.windowClassName(window) != pseudoConsoleWindowClass) {
        platform.showWindow(window, SW_HIDE);
    }
    // FreeConsole closes whatever the standard handles hold and leaves the closed values in place, so they
    // are cleared before it and given the streams' NUL after it.
    const std::uint32_t standardHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    bool wasConsole[3] = {};
    for (std::size_t at = 0; at < 3; ++at) {
        wasConsole[at] = platform.isConsoleHandle(standardHandles[at]);
        if (wasConsole[at]) {
            platform.pointStreamAtNul(standardHandles[at]);
        }
    }
    platform.freeConsole();
    for (std::size_t at = 0; at < 3; ++at) {
        if (wasConsole[at]) {
            platform.pointStandardHandleAtStream(standardHandles[at]);
        }
    }
}

}  // namespace console
