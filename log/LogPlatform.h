#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

// The few platform facts the logger reads. Paths travel through the logger as narrow text holding each
// 16-bit unit of a Windows path encoded on its own as UTF-8 (plain bytes elsewhere); these functions are
// the two ends of that conversion, so a file name outside ASCII reaches the file system unchanged.
namespace logplatform {

// The user's temporary directory as the platform reports it; none when that is missing or not a folder.
std::optional<std::filesystem::path> temporaryDirectory();

std::string textFromPath(const std::filesystem::path& path);

// The marker path: separators made the platform's own. False when the text cannot be a platform path.
bool markerPathFromText(const std::string& text, std::filesystem::path& marker);

// A path to open, joined as text and otherwise untouched. False when the text cannot be decoded.
bool openPathFromText(const std::string& text, std::filesystem::path& path);

// What the marker was when the run began, for every record to compare with what then stands under its
// name. On Windows its final path: the name the file system gives it after every link, which shows a folder
// swapped for a link even where the link is no reparse point. Elsewhere nothing is kept: refusing a link in
// the marker's place is enough, and a folder made again by its owner is the marker again.
struct MarkerIdentity {
    std::filesystem::path finalPath;
};

// True when the marker is there as itself, not as a link, junction or other reparse point, it is the
// folder by the marker's name wherever the folders above it lead (POSIX: its last part is opened without
// following a link; Windows: its final path ends in that name), and its owner is trusted: the account the
// program runs as, the Administrators group or the system account (POSIX: the effective user or root),
// whoever runs it. Anything else keeps logging off: a temporary folder that others
// may write to must not let them steer an elevated program's writes. Fills what the records compare with.
bool markerCounts(const std::filesystem::path& marker, MarkerIdentity& identity);

// An open log file; noLogFile when there is none.
using LogFileHandle = std::intptr_t;
constexpr LogFileHandle noLogFile = -1;

// Opens the log named fileName inside the marker for appending, creating it if missing. The marker is
// checked again first, on an open handle of the folder that cannot be swapped while the file is opened
// through it: a real folder of a trusted owner that is still what it was at start-up. Then the file is
// opened relative to that handle, never by its full path, so nothing is created or written anywhere else;
// a link, a reparse point, anything but a plain file, a file with more than one name, or a file of an
// owner who is not trusted (another user may have made it first) is not written.
LogFileHandle openLogForAppend(const std::filesystem::path& marker, const MarkerIdentity& identity,
                               const std::filesystem::path& fileName);
// Writes all of the bytes at the end of the file, each "\n" as the platform's line end.
bool appendToLog(LogFileHandle file, const char* bytes, std::size_t size);
bool closeLog(LogFileHandle file);

std::uint32_t currentThreadId();

bool toLocalTime(std::time_t seconds, std::tm& local);

}  // namespace logplatform
