// The marker's and the log file's checks on Windows: each is made on an open handle, so what is checked is
// what gets written to.
#include <aclapi.h>
#include <windows.h>

#include <memory>
#include <string>

#include "LogPlatform.h"

namespace logplatform {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

OwnedHandle openHandle(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags) {
    HANDLE handle =
        ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      disposition, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return OwnedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

OwnedHandle openFolder(const std::wstring& path) {
    return openHandle(path, READ_CONTROL | FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

bool isTokenUser(PSID sid) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    const OwnedHandle ownedToken(token);
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    return ::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length) &&
           ::EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, sid);
}

bool runsAsAdministratorOrSystem() {
    unsigned char administrators[SECURITY_MAX_SID_SIZE];
    unsigned char system[SECURITY_MAX_SID_SIZE];
    DWORD administratorsSize = sizeof(administrators);
    DWORD systemSize = sizeof(system);
    BOOL member = FALSE;
    if (::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize) &&
        ::CheckTokenMembership(nullptr, administrators, &member) && member) {
        return true;
    }
    return ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize) && isTokenUser(system);
}

bool ownerIsTrusted(HANDLE folder) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const std::unique_ptr<void, LocalFreer> ownedDescriptor(descriptor);
    if (isTokenUser(owner)) {
        return true;
    }
    return (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
            ::IsWellKnownSid(owner, WinLocalSystemSid)) &&
           runsAsAdministratorOrSystem();
}

std::wstring finalPath(HANDLE handle) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer, MAX_PATH * 2, FILE_NAME_NORMALIZED);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(buffer, length) : std::wstring();
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A plain file with one name, reached without any link: the name it has on disk is its folder's, plus its
// own. Where the file system hides a link from the attributes, the final path still shows where it leads.
bool isPlainFileInItsFolder(HANDLE file, const std::filesystem::path& path) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        information.nNumberOfLinks != 1) {
        return false;
    }
    const OwnedHandle folder = openFolder(path.parent_path().wstring());
    return folder && sameText(finalPath(file), finalPath(folder.get()) + L"\\" + path.filename().wstring());
}

}  // namespace

bool markerCounts(const std::filesystem::path& marker) {
    const DWORD attributes = ::GetFileAttributesW(marker.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    const OwnedHandle folder = openFolder(marker.wstring());
    BY_HANDLE_FILE_INFORMATION information{};
    return folder && ::GetFileInformationByHandle(folder.get(), &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && ownerIsTrusted(folder.get());
}

LogFileHandle openLogForAppend(const std::filesystem::path& path) {
    const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    // Open what is there, or make a new file; never create through whatever a name leads to.
    OwnedHandle file = openHandle(path.wstring(), access, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (!file && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        file = openHandle(path.wstring(), access, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    }
    if (!file || !isPlainFileInItsFolder(file.get(), path)) {
        return noLogFile;
    }
    return reinterpret_cast<LogFileHandle>(file.release());
}

bool appendToLog(LogFileHandle file, const char* bytes, std::size_t size) {
    std::string text;
    text.reserve(size + size / 16);
    for (std::size_t at = 0; at < size; ++at) {
        if (bytes[at] == '\n') {
            text += '\r';
        }
        text += bytes[at];
    }
    DWORD written = 0;
    return ::WriteFile(reinterpret_cast<HANDLE>(file), text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr) &&
           written == text.size();
}

bool closeLog(LogFileHandle file) {
    return ::CloseHandle(reinterpret_cast<HANDLE>(file)) != 0;
}

}  // namespace logplatform
