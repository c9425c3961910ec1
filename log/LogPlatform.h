#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

// The few platform facts the logger reads. Paths travel through the logger as narrow text holding each
// 16-bit unit of a Windows path encoded on its own as UTF-8 (plain bytes elsewhere); these functions are
// the two ends of that conversion, so a file name outside ASCII reaches the file system unchanged.
namespace logplatform {

// Throws std::filesystem::filesystem_error when the directory is missing or not a folder.
std::filesystem::path temporaryDirectory();

std::string textFromPath(const std::filesystem::path& path);

// The marker path: separators made the platform's own. False when the text cannot be a platform path.
bool markerPathFromText(const std::string& text, std::filesystem::path& marker);

// A path to open, joined as text and otherwise untouched. False when the text cannot be decoded.
bool openPathFromText(const std::string& text, std::filesystem::path& path);

// True when the marker is there as itself, not as a link, junction or other reparse point, and belongs to
// the account the program runs as (or, for an administrator or the system account, to the Administrators
// group or the system account). Anything else keeps logging off: a temporary folder that every user may
// write to must not let one of them steer an elevated program's writes.
bool markerCounts(const std::filesystem::path& marker);

// An open log file; noLogFile when there is none.
using LogFileHandle = std::intptr_t;
constexpr LogFileHandle noLogFile = -1;

// Opens the log for appending, creating it if missing, in one step with the checks: a symbolic link, a
// reparse point, anything but a plain file, or a file with more than one name is not opened.
LogFileHandle openLogForAppend(const std::filesystem::path& path);
// Writes all of the bytes at the end of the file, each "\n" as the platform's line end.
bool appendToLog(LogFileHandle file, const char* bytes, std::size_t size);
bool closeLog(LogFileHandle file);

std::uint32_t currentThreadId();

bool toLocalTime(std::time_t seconds, std::tm& local);

}  // namespace logplatform
