#include "OwnConsole.h"

namespace console {

namespace {
constexpr int swHide = 0;
}

void hideConsoleMadeForThisProcess(ConsolePlatform& platform) {
    if (platform.consoleProcessCount() == 1) {
        platform.showWindow(platform.consoleWindow(), swHide);
        platform.freeConsole();
    }
}

}  // namespace console
