#pragma once

#include <windows.h>
#include <winternl.h>

#include <filesystem>
#include <optional>
#include <string>

// The decisions of the Windows platform layer that depend on what the system offers and who runs the
// program, open to tests that put fakes in the system's place.
namespace logplatform {

// GetTempPathW, and GetTempPath2W where the system exports it.
using TemporaryPathQuery = DWORD(WINAPI*)(DWORD bufferLength, LPWSTR buffer);

// The temporary directory from the newer query where there is one, else from the older; none when the
// answer is not a folder. The newer query gives the system account a folder of its own that only it and
// the administrators can reach, and newer C++ runtimes prefer it too, so every toolchain's build looks for
// the marker in the same place.
std::optional<std::filesystem::path> temporaryDirectoryFrom(TemporaryPathQuery newer,
                                                            TemporaryPathQuery older);

// A marker owned by the token's own account, by the Administrators group or by the system account counts,
// whether or not the token is elevated: no ordinary user can give a folder to the last two. No owner at all
// does not count.
bool ownerIsTrusted(PSID owner, HANDLE token);

// NtQueryObject, or a fake of it.
using ObjectNameQuery = NTSTATUS(NTAPI*)(HANDLE handle, OBJECT_INFORMATION_CLASS informationClass,
                                         PVOID information, ULONG length, PULONG returnLength);

// The name the handle reached its object by (the final path in the volume's NT form), as the query gives
// it; empty when it gives none.
std::wstring finalPathFrom(HANDLE handle, ObjectNameQuery query);

// What an NtCreateFile of the logger's leaves to use: the handle it opened, or null. An open that ended
// because another process's oplock is being broken (a success code) is closed at once, so its record is
// dropped rather than made to wait for that process.
HANDLE handleToKeep(NTSTATUS status, HANDLE handle);

// NtCreateFile, or a fake of it.
using FileCreate = NTSTATUS(NTAPI*)(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES object,
                                    PIO_STATUS_BLOCK status, PLARGE_INTEGER size, ULONG attributes,
                                    ULONG share, ULONG disposition, ULONG options, PVOID extended,
                                    ULONG extendedLength);

// The logger's two opens by name, each the handle it opened or null: the marker folder by its NT path, and
// a file directly inside a checked folder, relative to the folder's handle. Neither follows a link, nor
// waits for another process to acknowledge the break of its oplock (a backup or sync tool that never does
// would stall the installation), nor keeps other programs from the file.
HANDLE openMarkerByName(FileCreate create, const std::wstring& ntPath);
HANDLE openFileInFolder(FileCreate create, HANDLE folder, const std::wstring& name, ULONG disposition);

// A full path in the form NtCreateFile takes: a drive path, a share's path, and the paths that name the
// device namespace already.
std::wstring ntFormOf(const std::wstring& fullPath);

// True when a final path's last part is the name given, letter case aside: the marker is the folder by
// that name, not whatever folder a link or mount point on the way leads to.
bool finalPathEndsInName(const std::wstring& finalPath, const std::wstring& name);

}  // namespace logplatform
