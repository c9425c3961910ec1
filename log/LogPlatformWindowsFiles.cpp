// The marker's and the log file's checks on Windows. Each is made on an open handle, and the log file is
// opened relative to the handle of the folder that was checked, so what is checked is what gets written to.
#include <aclapi.h>
#include <windows.h>
#include <winternl.h>

#include <memory>
#include <string>

#include "LogPlatform.h"
#include "LogPlatformWindows.h"

namespace logplatform {
namespace {

// NtCreateFile's values, named here because not every SDK's headers define them all.
constexpr ULONG openExistingFile = 1;           // FILE_OPEN
constexpr ULONG createNewFile = 2;              // FILE_CREATE
constexpr ULONG synchronousFile = 0x00000020;   // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG nonDirectoryFile = 0x00000040;  // FILE_NON_DIRECTORY_FILE
constexpr ULONG openReparsePoint = 0x00200000;  // FILE_OPEN_REPARSE_POINT
constexpr ULONG caseInsensitive = 0x00000040;   // OBJ_CASE_INSENSITIVE

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

bool ownerCounts(HANDLE folder) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const std::unique_ptr<void, LocalFreer> ownedDescriptor(descriptor);
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    const OwnedHandle ownedToken(token);
    return ownerIsTrusted(owner, token);
}

std::wstring finalPath(HANDLE handle) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer, MAX_PATH * 2, FILE_NAME_NORMALIZED);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(buffer, length) : std::wstring();
}

// Final paths against final paths, so a short 8.3 form or another letter case in a path does not matter.
bool sameText(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The marker opened as itself and checked on its handle: no link or reparse point, a trusted owner. Opened
// without FILE_SHARE_DELETE, it cannot be renamed or removed while the handle is held.
OwnedHandle openMarker(const std::filesystem::path& marker, DWORD& attributes,
                       std::wstring& markerFinalPath) {
    // Wine shows a Unix link as a reparse point by its path only.
    const DWORD attributesByPath = ::GetFileAttributesW(marker.c_str());
    if (attributesByPath == INVALID_FILE_ATTRIBUTES ||
        (attributesByPath & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return nullptr;
    }
    HANDLE handle = ::CreateFileW(marker.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    OwnedHandle folder(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!folder || !::GetFileInformationByHandle(folder.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !ownerCounts(folder.get())) {
        return nullptr;
    }
    attributes = information.dwFileAttributes;
    markerFinalPath = finalPath(folder.get());
    return folder;
}

// The file of that name directly inside the folder, reached through the folder's handle and never through
// a path: the name cannot lead anywhere else on the way.
OwnedHandle openInFolder(HANDLE folder, const std::wstring& name, ULONG disposition) {
    UNICODE_STRING objectName{};
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES object{};
    object.Length = sizeof(object);
    object.RootDirectory = folder;
    object.ObjectName = &objectName;
    object.Attributes = caseInsensitive;
    IO_STATUS_BLOCK status{};
    HANDLE file = nullptr;
    const NTSTATUS result =
        ::NtCreateFile(&file, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &object, &status,
                       nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       disposition, nonDirectoryFile | synchronousFile | openReparsePoint, nullptr, 0);
    return OwnedHandle(result >= 0 ? file : nullptr);
}

// A plain file with one name, reached without any link. Where the file system hides a link from the
// attributes (a Unix link under Wine), the final path still shows where it leads.
bool isPlainFileNamed(HANDLE file, const std::wstring& expectedFinalPath) {
    BY_HANDLE_FILE_INFORMATION information{};
    return ::GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
           information.nNumberOfLinks == 1 && sameText(finalPath(file), expectedFinalPath);
}

}  // namespace

bool ownerIsTrusted(PSID owner, HANDLE token) {
    if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(owner, WinLocalSystemSid)) {
        return true;
    }
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    return ::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length) &&
           ::EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, owner);
}

bool markerCounts(const std::filesystem::path& marker, MarkerIdentity& identity) {
    DWORD attributes = 0;
    std::wstring markerFinalPath;
    if (!openMarker(marker, attributes, markerFinalPath) || markerFinalPath.empty()) {
        return false;
    }
    identity.finalPath = markerFinalPath;
    return true;
}

LogFileHandle openLogForAppend(const std::filesystem::path& marker, const MarkerIdentity& identity,
                               const std::filesystem::path& fileName) {
    DWORD attributes = 0;
    std::wstring folderFinalPath;
    const OwnedHandle folder = openMarker(marker, attributes, folderFinalPath);
    if (!folder || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        !sameText(folderFinalPath, identity.finalPath.native())) {
        return noLogFile;
    }
    // Open what is there, or make a new file: making one never goes through whatever a name leads to.
    OwnedHandle file = openInFolder(folder.get(), fileName.native(), openExistingFile);
    if (!file) {
        file = openInFolder(folder.get(), fileName.native(), createNewFile);
    }
    if (!file || !isPlainFileNamed(file.get(), folderFinalPath + L"\\" + fileName.native())) {
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
