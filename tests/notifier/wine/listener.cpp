// A hidden top-level window that writes each WM_DEVICECHANGE it receives to a file, one line each:
// "wParam=0x7 lParam=0". It writes "ready" once its window exists and ends after the given seconds.
//   listener.exe FILE SECONDS
// wmain: the file's path may hold letters that the ANSI code page of a narrow main cannot.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

std::FILE* out = nullptr;

LRESULT CALLBACK receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
        std::fprintf(out, "wParam=0x%llx lParam=%s\n", static_cast<unsigned long long>(wParam),
                     lParam == 0 ? "0" : "record");
        std::fflush(out);
        return TRUE;
    }
    if (message == WM_TIMER) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 2;
    }
    out = _wfopen(argv[1], L"w");
    if (out == nullptr) {
        return 2;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = receive;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DeviceChangeListener";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"listener", WS_OVERLAPPEDWINDOW, 0, 0, 10,
                                  10, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return 3;
    }
    SetTimer(window, 1, static_cast<UINT>(std::wcstol(argv[2], nullptr, 10) * 1000), nullptr);
    std::fprintf(out, "ready\n");
    std::fflush(out);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    std::fclose(out);
    return 0;
}
