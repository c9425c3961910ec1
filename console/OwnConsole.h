#pragma once

#include <cstdint>

namespace console {

// The console calls the helpers make about their own console window, in the platform's own terms.
class ConsolePlatform {
  public:
    virtual ~ConsolePlatform() = default;

    // How many processes share this process's console (GetConsoleProcessList); 0 without a console.
    virtual std::uint32_t consoleProcessCount() = 0;
    virtual void* consoleWindow() = 0;
    virtual void showWindow(void* window, int command) = 0;
    virtual void freeConsole() = 0;
};

// The real calls on Windows; elsewhere a stand-in: no console window, nothing to hide.
ConsolePlatform& platformConsole();

// Hides the console window when the system made it for this process alone, as it does for a console
// program that a GUI program (an installer) starts, and then gives the console up: neither helper has a
// user interface, and a window a user can close would end the helper half-way. Windows Terminal, where it
// hosts such a console, keeps its own window after a hide and closes it only once the console is given up.
// A console shared with the process that started it (a command prompt, a build script) is theirs as much
// as ours, and stays as it is.
void hideConsoleMadeForThisProcess(ConsolePlatform& platform);

}  // namespace console
