// The marker's and the log file's checks on Windows. Each is made on an open handle, and the log file is
// opened relative to the handle of the folder that was checked, so what is checked is what gets written to.
#include <aclapi.h>
#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AlignedRoom.h"
#include "LogPlatform.h"
#include "LogPlatformWindows.h"

namespace logplatform {
namespace {

// NtCreateFile's and NtQueryObject's values under the SDK's own names, defined where a header lacks them:
// the status codes live in ntstatus.h, which cannot be included beside windows.h without WIN32_NO_STATUS.
#ifndef FILE_OPEN
#define FILE_OPEN 0x00000001
#endif
#ifndef FILE_CREATE
#define FILE_CREATE 0x00000002
#endif
#ifndef FILE_SYNCHRONOUS_IO_NONALERT
#define FILE_SYNCHRONOUS_IO_NONALERT 0x00000020
#endif
#ifndef FILE_NON_DIRECTORY_FILE
#define FILE_NON_DIRECTORY_FILE 0x00000040
#endif
#ifndef FILE_COMPLETE_IF_OPLOCKED
#define FILE_COMPLETE_IF_OPLOCKED 0x00000100
#endif
#ifndef FILE_OPEN_REPARSE_POINT
#define FILE_OPEN_REPARSE_POINT 0x00200000
#endif
#ifndef OBJ_CASE_INSENSITIVE
#define OBJ_CASE_INSENSITIVE 0x00000040L
#endif
#ifndef STATUS_OPLOCK_BREAK_IN_PROGRESS
#define STATUS_OPLOCK_BREAK_IN_PROGRESS ((NTSTATUS)0x00000108L)
#endif
#ifndef STATUS_BUFFER_OVERFLOW
#define STATUS_BUFFER_OVERFLOW ((NTSTATUS)0x80000005L)
#endif
#ifndef STATUS_INFO_LENGTH_MISMATCH
#define STATUS_INFO_LENGTH_MISMATCH ((NTSTATUS)0xC0000004L)
#endif
#ifndef STATUS_BUFFER_TOO_SMALL
#define STATUS_BUFFER_TOO_SMALL ((NTSTATUS)0xC0000023L)
#endif
// NtQueryObject's class for an object's name (an OBJECT_NAME_INFORMATION, a UNICODE_STRING): an enumerator
// of mingw-w64's winternl.h that the Windows SDK's lacks, so named here in the project's own namespace.
constexpr auto ObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);

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

// The final path: the object's name in its volume's NT form, as the handle reached it after every link,
// of any length. The DOS form needs a drive letter, and volumes the mount manager gives none (RAM disks,
// some user-mode file systems) have no such form; comparing a path with itself needs no letter. It is what
// GetFinalPathNameByHandleW gives with VOLUME_NAME_NT, asked for directly: some implementations of that
// call (Wine's) read it into a fixed buffer and fail on a long one.
std::wstring finalPath(HANDLE handle) {
    return finalPathFrom(handle, ::NtQueryObject);
}

// Final paths against final paths, letter case aside as the file system sets it aside.
bool sameText(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A folder or file opened as itself, with what was checked on its handle; empty when it could not be opened
// or a check failed.
struct Checked {
    OwnedHandle handle;
    DWORD attributes = 0;
    DWORD names = 0;
    std::wstring finalPath;

    explicit operator bool() const { return handle != nullptr; }
};

// What the marker and the log file must both be: no link or other reparse point, a trusted owner, and a
// final path the system can give.
Checked checkedAsItself(OwnedHandle handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle || !::GetFileInformationByHandle(handle.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !ownerCounts(handle.get())) {
        return {};
    }
    std::wstring path = finalPath(handle.get());
    if (path.empty()) {
        return {};
    }
    return Checked{std::move(handle), information.dwFileAttributes, information.nNumberOfLinks,
                   std::move(path)};
}

// An object opened by name, relative to the root's handle when there is one, without ever waiting for
// another process to acknowledge the break of its oplock: a holder that never does would stop the program
// before main.
HANDLE openWithoutWaiting(FileCreate create, HANDLE root, const std::wstring& name, ACCESS_MASK access,
                          ULONG disposition, ULONG options) {
    UNICODE_STRING objectName{};
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES object{};
    object.Length = sizeof(object);
    object.RootDirectory = root;
    object.ObjectName = &objectName;
    object.Attributes = OBJ_CASE_INSENSITIVE;
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    const NTSTATUS result = create(&handle, access, &object, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition,
                                   options | FILE_COMPLETE_IF_OPLOCKED, nullptr, 0);
    return handleToKeep(result, handle);
}

// The marker's name in the form NtCreateFile takes: made whole first, as any Windows open would.
std::wstring ntPathOf(const std::filesystem::path& marker) {
    const DWORD needed = ::GetFullPathNameW(marker.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD length = needed == 0 ? 0 : ::GetFullPathNameW(marker.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return {};
    }
    full.resize(length);
    return ntFormOf(full);
}

// The marker opened as itself: it must be the folder by the marker's name wherever the folders above it
// lead, so a mount point or link among them cannot make another folder pass for it. The handle keeps what
// was checked from being reused for another object, but not the name from being renamed or removed: with
// no data access asked for, share modes do not apply, which is why each record checks again.
Checked openMarker(const std::filesystem::path& marker) {
    // Wine shows a Unix link as a reparse point by its path only.
    const DWORD attributesByPath = ::GetFileAttributesW(marker.c_str());
    if (attributesByPath == INVALID_FILE_ATTRIBUTES ||
        (attributesByPath & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {};
    }
    // READ_CONTROL makes this more than an attribute-only open, and such an open breaks another process's
    // oplock on the folder: it goes through the same open as the log file, which never waits for a break.
    Checked folder = checkedAsItself(OwnedHandle(openMarkerByName(::NtCreateFile, ntPathOf(marker))));
    if (!folder || !finalPathEndsInName(folder.finalPath, marker.filename().native())) {
        return {};
    }
    return folder;
}

// The log file inside the checked folder, checked the same way: a plain file with one name and a trusted
// owner, reached without any link. Where the file system hides a link from the attributes (a Unix link
// under Wine), the final path still shows where it leads.
Checked openInFolder(const Checked& folder, const std::wstring& name) {
    // Open what is there, or make a new file: making one never goes through whatever a name leads to.
    OwnedHandle handle(openFileInFolder(::NtCreateFile, folder.handle.get(), name, FILE_OPEN));
    if (!handle) {
        handle.reset(openFileInFolder(::NtCreateFile, folder.handle.get(), name, FILE_CREATE));
    }
    Checked file = checkedAsItself(std::move(handle));
    if (!file || (file.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || file.names != 1 ||
        !sameText(file.finalPath, folder.finalPath + L"\\" + name)) {
        return {};
    }
    return file;
}

}  // namespace

HANDLE openMarkerByName(FileCreate create, const std::wstring& ntPath) {
    return openWithoutWaiting(create, nullptr, ntPath, READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT);
}

// Reached through the folder's handle and never through a path: the name cannot lead anywhere else on the
// way.
HANDLE openFileInFolder(FileCreate create, HANDLE folder, const std::wstring& name, ULONG disposition) {
    return openWithoutWaiting(
        create, folder, name, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE,
        disposition, FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT);
}

std::wstring ntFormOf(const std::wstring& fullPath) {
    if (fullPath.rfind(L"\\\\?\\", 0) == 0 || fullPath.rfind(L"\\\\.\\", 0) == 0) {
        return L"\\??\\" + fullPath.substr(4);
    }
    if (fullPath.rfind(L"\\\\", 0) == 0) {
        return L"\\??\\UNC\\" + fullPath.substr(2);
    }
    return L"\\??\\" + fullPath;
}

bool ownerIsTrusted(PSID owner, HANDLE token) {
    // A descriptor may carry no owner at all; nobody vouches for such an object.
    if (owner == nullptr) {
        return false;
    }
    if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(owner, WinLocalSystemSid)) {
        return true;
    }
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    return ::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length) &&
           ::EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, owner);
}

HANDLE handleToKeep(NTSTATUS status, HANDLE handle) {
    // A success code, yet the open did not wait for the holder of an oplock to let go: writing now would
    // race with what that holder caches, and waiting could last forever. The record is dropped instead.
    if (status == STATUS_OPLOCK_BREAK_IN_PROGRESS) {
        ::CloseHandle(handle);
        return nullptr;
    }
    return status >= 0 ? handle : nullptr;
}

std::wstring finalPathFrom(HANDLE handle, ObjectNameQuery query) {
    // Room for most paths at once. A longer name is asked for again in the room the system says it needs,
    // or in twice the room where it names no more: not every file system's answer to a short buffer says.
    constexpr ULONG largest = sizeof(UNICODE_STRING) + 0x10000;  // a UNICODE_STRING holds under 64 KiB
    for (ULONG size = 1024; size <= largest;) {
        std::vector<std::uint64_t> buffer = alignedRoom(size);
        ULONG needed = 0;
        const NTSTATUS result = query(handle, ObjectNameInformation, buffer.data(), size, &needed);
        if (result >= 0) {
            const auto& name = *reinterpret_cast<const UNICODE_STRING*>(buffer.data());
            return std::wstring(name.Buffer, name.Length / sizeof(wchar_t));
        }
        if (result != STATUS_INFO_LENGTH_MISMATCH && result != STATUS_BUFFER_OVERFLOW &&
            result != STATUS_BUFFER_TOO_SMALL) {
            return {};
        }
        size = needed > size ? needed : size * 2;
    }
    return {};
}

bool finalPathEndsInName(const std::wstring& finalPath, const std::wstring& name) {
    if (name.empty() || finalPath.size() <= name.size() ||
        finalPath[finalPath.size() - name.size() - 1] != L'\\') {
        return false;
    }
    const wchar_t* last = finalPath.c_str() + finalPath.size() - name.size();
    return ::CompareStringOrdinal(last, static_cast<int>(name.size()), name.c_str(),
                                  static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

bool markerCounts(const std::filesystem::path& marker, MarkerIdentity& identity) {
    // A plain file by the marker's name still switches logging on, as it always has; every record then
    // finds no folder there and is dropped.
    const Checked folder = openMarker(marker);
    if (!folder) {
        return false;
    }
    identity.finalPath = folder.finalPath;
    return true;
}

LogFileHandle openLogForAppend(const std::filesystem::path& marker, const MarkerIdentity& identity,
                               const std::filesystem::path& fileName) {
    const Checked folder = openMarker(marker);
    if (!folder || (folder.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        !sameText(folder.finalPath, identity.finalPath.native())) {
        return noLogFile;
    }
    Checked file = openInFolder(folder, fileName.native());
    if (!file) {
        return noLogFile;
    }
    return reinterpret_cast<LogFileHandle>(file.handle.release());
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
