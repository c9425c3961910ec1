#pragma once

#include <cstdint>
#include <string>

// processenv.h's values under their own names, for the rule and its tests where no Windows header is.
#ifndef STD_INPUT_HANDLE
#define STD_INPUT_HANDLE static_cast<std::uint32_t>(-10)
#define STD_OUTPUT_HANDLE static_cast<std::uint32_t>(-11)
#define STD_ERROR_HANDLE static_cast<std::uint32_t>(-12)
#endif

namespace console {

// The console calls the helpers make about their own console, in the platform's own terms. A standard
// handle is named by its GetStdHandle number (STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE).
class ConsolePlatform {
  public:
    virtual ~ConsolePlatform() = default;

    // How many processes share this process's console (GetConsoleProcessList); 0 without a console.
    virtual std::uint32_t consoleProcessCount() = 0;
    virtual void* consoleWindow() = 0;
    // GetClassNameW of the window, its letters beyond ASCII as '?'.
    virtual std::string windowClassName(void* window) = 0;
    virtual void showWindow(void* window, int command) = 0;
    // Whether the standard handle is one of the console's (GetConsoleMode answers for it).
    virtual bool isConsoleHandle(std::uint32_t standardHandle) = 0;
    // Reopens the C runtime's stream over the standard handle on NUL, and clears the standard handle.
    virtual void pointStreamAtNul(std::uint32_t standardHandle) = 0;
    virtual void freeConsole() = 0;
    // Makes the standard handle the one the C runtime's stream now writes to.
    virtual void pointStandardHandleAtStream(std::uint32_t standardHandle) = 0;
};

// The real calls on Windows; elsewhere a stand-in: no console window, nothing to hide.
ConsolePlatform& platformConsole();

// Gives up the console when the system made it for this process alone, as it does for a console program
// that a GUI program (an installer) starts: neither helper has a user interface, and a window a user can
// close would end the helper half-way. A conhost window is hidden first. Windows Terminal's stand-in window
// is not: Terminal passes a hide of it on to its own window, which may hold the user's other tabs, and it
// closes the helper's tab once the console is given up. The standard handles that were the console's, and
// the C runtime's streams over them, then point at NUL, so the helper's later lines go nowhere rather than
// to a value the console took with it. A console shared with the process that started it (a command prompt, a
// build script) is theirs as much as ours, and stays as it is.
void hideConsoleMadeForThisProcess(ConsolePlatform& platform);

}  // namespace console
