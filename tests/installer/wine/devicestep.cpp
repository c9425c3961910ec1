// The step of a product's installation that adds its devices, as the installer test plays it where the
// recipe marks that step: a driver makes its headset the communications playback default. Kestrane, started
// before this step, must be watching by then, so the step first waits for Kestrane's record of the
// defaults in its log; it fails if none comes, which fails the installation.
//   devicestep.exe ENDPOINT_ID
#include <windows.h>

#include <string>

namespace {

bool defaultsRecorded(const std::wstring& log) {
    HANDLE file =
        ::CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    ::CloseHandle(file);
    // The last record of Kestrane's snapshot.
    return text.find("[232] ") != std::string::npos;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    wchar_t temporary[MAX_PATH + 2];
    const DWORD length = ::GetTempPathW(MAX_PATH + 2, temporary);
    const std::wstring log = std::wstring(temporary, length) + L"qortavronotify\\Kestraner.txt";
    // Kestrane records the defaults within a second of its start; twenty seconds are reached only when it
    // was not started before this step.
    for (int waited = 0; !defaultsRecorded(log); waited += 50) {
        if (waited >= 20000) {
            return 1;
        }
        ::Sleep(50);
    }
    const std::wstring id = argv[1];
    const LSTATUS status =
        ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers\\winepulse.drv", L"DefaultVoiceOutput",
                          REG_SZ, id.c_str(), static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS ? 0 : 3;
}
