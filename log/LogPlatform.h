#pragma once

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

// True unless the entry is missing or its status cannot be determined.
bool markerPresent(const std::filesystem::path& marker);

std::uint32_t currentThreadId();

bool toLocalTime(std::time_t seconds, std::tm& local);

}  // namespace logplatform
