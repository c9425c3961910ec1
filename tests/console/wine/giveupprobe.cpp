// A console program that gives up a console made for it alone, as the helpers do, then writes its lines to
// standard output as Kestrane does. It exits 0 only where every write reported success: 3 where std::cout
// went bad, 4 where a write to the standard output handle failed.
#include <windows.h>

#include <iostream>

#include "OwnConsole.h"

int main() {
    console::hideConsoleMadeForThisProcess(console::platformConsole());
    for (const char* line : {"Get Information about Default Audio Device", "Installation in Progress",
                             "Installation Finished"}) {
        std::cout << line << '\n' << std::flush;
    }
    DWORD written = 0;
    const bool handleWrote =
        ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), "-\n", 2, &written, nullptr) != FALSE && written == 2;
    if (!std::cout.good()) {
        return 3;
    }
    return handleWrote ? 0 : 4;
}
