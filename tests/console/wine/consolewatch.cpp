// A GUI program, as an installer is, that starts one program and samples every console window on the
// desktop each 10 ms until the program and every console window it left have gone. It writes, for each
// console window, how long it was visible from the first sample that saw it shown to the last, how long it
// existed, how long before the program's end it went, and the program's exit code.
//   consolewatch.exe OUT_FILE gui|shared PROGRAM [ARGUMENT...]
// gui: started with default flags, as a GUI program starts a console program (the system makes it a
// console). shared: the watcher makes a console first, which the program then shares, as it would a
// command prompt's.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

struct Seen {
    std::string program;  // the window's title is the program's path: its last part
    ULONGLONG firstVisible = 0;
    ULONGLONG lastVisible = 0;
    ULONGLONG firstPresent = 0;
    ULONGLONG lastPresent = 0;
    bool visible = false;  // at the last sample
};

std::map<HWND, Seen> windows;
ULONGLONG now = 0;
constexpr ULONGLONG samplePeriod = 10;

BOOL CALLBACK sample(HWND window, LPARAM present) {
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (std::wstring(className) != L"WineConsoleClass") {
        return TRUE;
    }
    ++*reinterpret_cast<int*>(present);
    Seen& seen = windows[window];
    wchar_t title[512] = {};
    ::GetWindowTextW(window, title, 512);
    const std::wstring path(title);
    // A console given up loses its title a moment before its window goes; a sample in between must not
    // lose the name that the window had.
    if (!path.empty()) {
        seen.program.assign(path.begin() + static_cast<std::ptrdiff_t>(path.find_last_of(L'\\') + 1),
                            path.end());
    }
    seen.visible = ::IsWindowVisible(window) != FALSE;
    if (seen.firstPresent == 0) {
        seen.firstPresent = now;
    }
    seen.lastPresent = now;
    if (seen.visible) {
        if (seen.firstVisible == 0) {
            seen.firstVisible = now;
        }
        seen.lastVisible = now;
    }
    return TRUE;
}

int samplePresent() {
    int present = 0;
    now = ::GetTickCount64();
    ::EnumWindows(sample, reinterpret_cast<LPARAM>(&present));
    return present;
}

// An argument as a command line needs it: quoted only where it holds a space (an NSIS installer takes a
// quoted "/S" for no switch at all).
std::wstring quotedWhereNeeded(const std::wstring& argument) {
    return argument.find(L' ') == std::wstring::npos ? argument : L"\"" + argument + L"\"";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr || count < 4) {
        return 2;
    }
    FILE* out = ::_wfopen(arguments[1], L"wb");
    if (out == nullptr) {
        return 2;
    }
    const bool shared = std::wstring(arguments[2]) == L"shared";
    if (shared && !::AllocConsole()) {
        std::fprintf(out, "error: no console of the watcher's own\n");
        return 2;
    }
    std::wstring commandLine = quotedWhereNeeded(arguments[3]);
    for (int at = 4; at < count; ++at) {
        commandLine += L" " + quotedWhereNeeded(arguments[at]);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started)) {
        std::fprintf(out, "error: could not start the program (%lu)\n", ::GetLastError());
        return 2;
    }
    // Until the program has ended and, started as a GUI starts it, every console window it or what it
    // started made has gone: a minute at most after it ended, for a window that never goes.
    ULONGLONG ended = 0;
    for (;;) {
        const int present = samplePresent();
        const bool running = ::WaitForSingleObject(started.hProcess, 0) == WAIT_TIMEOUT;
        if (!running && ended == 0) {
            ended = now;
        }
        if (!running && (shared || present == 0 || now - ended > 60000)) {
            break;
        }
        ::Sleep(static_cast<DWORD>(samplePeriod));
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(started.hProcess, &exitCode);
    for (const auto& [window, seen] : windows) {
        const ULONGLONG shown =
            seen.firstVisible == 0 ? 0 : seen.lastVisible - seen.firstVisible + samplePeriod;
        // How long before the program's end the window was last seen: 0 where it outlived the program.
        const ULONGLONG goneBeforeExit = seen.lastPresent < ended ? ended - seen.lastPresent : 0;
        std::fprintf(
            out,
            "window shown_ms=%llu existed_ms=%llu gone_before_exit_ms=%llu visible_at_end=%d program=%s\n",
            shown, seen.lastPresent - seen.firstPresent + samplePeriod, goneBeforeExit, seen.visible ? 1 : 0,
            seen.program.c_str());
    }
    std::fprintf(out, "exit=%lu\n", exitCode);
    std::fclose(out);
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return 0;
}
