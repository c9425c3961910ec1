#include "OwnConsole.h"

// winuser.h's value under its own name: the rule is built where no Windows header is.
#ifndef SW_HIDE
#define SW_HIDE 0
#endif

namespace console {

void hideConsoleMadeForThisProcess(ConsolePlatform& platform) {
    if (platform.consoleProcessCount() == 1) {
        platform.showWindow(platform.consoleWindow(), SW_HIDE);
        platform.freeConsole();
    }
}

}  // namespace console
