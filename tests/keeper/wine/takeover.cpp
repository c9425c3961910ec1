// A driver's installation taking the defaults over, as the Wine tests play it: once Kestrane has recorded
// the defaults (the last record of its snapshot is in its log), the endpoints given become the
// communications defaults of playback and, if one is given, of recording. It writes "watching" first, so a
// script can start Kestrane once it is there, and it acts within 50 ms of the snapshot, well inside
// Kestrane's 2000 ms settle. It fails if no snapshot comes: Kestrane was not started before it.
//   takeover.exe SPEAKER_ID [MIC_ID]
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ScratchDirectory.h"

namespace {

bool defaultsRecorded(const std::filesystem::path& log) {
    return readFile(log).find("[232] ") != std::string::npos;
}

bool setDefault(const wchar_t* value, const std::wstring& id) {
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers\\winepulse.drv", value, REG_SZ,
                             id.c_str(),
                             static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    wchar_t temporary[MAX_PATH + 2];
    const DWORD length = ::GetTempPathW(MAX_PATH + 2, temporary);
    const std::filesystem::path log = std::wstring(temporary, length) + L"qortavronotify\\Kestraner.txt";
    std::puts("watching");
    std::fflush(stdout);
    // Kestrane records the defaults within a second of its start; thirty seconds are reached only when it
    // was not started.
    for (int waited = 0; !defaultsRecorded(log); waited += 50) {
        if (waited >= 30000) {
            return 1;
        }
        ::Sleep(50);
    }
    const bool speaker = setDefault(L"DefaultVoiceOutput", argv[1]);
    const bool mic = argc < 3 || setDefault(L"DefaultVoiceInput", argv[2]);
    return speaker && mic ? 0 : 3;
}
