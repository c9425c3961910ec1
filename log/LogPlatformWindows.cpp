#include "LogPlatformWindows.h"

#include <windows.h>

#include "LogPlatform.h"

namespace logplatform {
namespace {

// The marker path goes through a buffer of MAX_PATH wide characters, its terminating zero included.
constexpr std::size_t markerPathLimit = MAX_PATH;

void appendUnit(std::string& text, wchar_t wide) {
    const auto unit = static_cast<std::uint32_t>(wide);
    if (unit < 0x80) {
        text += static_cast<char>(unit);
    } else if (unit < 0x800) {
        text += static_cast<char>(0xC0 | (unit >> 6));
        text += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (unit >> 12));
        text += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

// The inverse of textFromPath: each UTF-8 sequence back to the 16-bit unit it came from.
bool unitsFromText(const std::string& text, std::wstring& units) {
    units.clear();
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80             ? 1
                                   : (lead & 0xE0) == 0xC0 ? 2
                                   : (lead & 0xF0) == 0xE0 ? 3
                                                           : 0;
        if (length == 0 || at + length > text.size()) {
            return false;
        }
        std::uint32_t unit = length == 1 ? lead : length == 2 ? (lead & 0x1F) : (lead & 0x0F);
        for (std::size_t next = 1; next < length; ++next) {
            const auto follow = static_cast<unsigned char>(text[at + next]);
            if ((follow & 0xC0) != 0x80) {
                return false;
            }
            unit = (unit << 6) | (follow & 0x3F);
        }
        units += static_cast<wchar_t>(unit);
        at += length;
    }
    return true;
}

TemporaryPathQuery newerTemporaryPathQuery() {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel != nullptr ? ::GetProcAddress(kernel, "GetTempPath2W") : nullptr;
    // Through the one function type that converts to any other without a warning.
    return reinterpret_cast<TemporaryPathQuery>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

std::optional<std::filesystem::path> temporaryDirectoryFrom(TemporaryPathQuery newer,
                                                            TemporaryPathQuery older) {
    const TemporaryPathQuery query = newer != nullptr ? newer : older;
    // The longest answer either query gives is MAX_PATH + 1 units before its terminating zero.
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = query(MAX_PATH + 2, buffer);
    if (length == 0 || length >= MAX_PATH + 2) {
        return std::nullopt;
    }
    std::filesystem::path found(std::wstring(buffer, length));
    std::error_code failure;
    if (!std::filesystem::is_directory(found, failure)) {
        return std::nullopt;
    }
    return found;
}

std::optional<std::filesystem::path> temporaryDirectory() {
    return temporaryDirectoryFrom(newerTemporaryPathQuery(), ::GetTempPathW);
}

std::string textFromPath(const std::filesystem::path& path) {
    std::string text;
    for (const wchar_t unit : path.native()) {
        appendUnit(text, unit);
    }
    return text;
}

bool markerPathFromText(const std::string& text, std::filesystem::path& marker) {
    std::wstring units;
    if (!unitsFromText(text, units) || units.size() + 1 > markerPathLimit) {
        return false;
    }
    marker = std::filesystem::path(units).make_preferred();
    return true;
}

bool openPathFromText(const std::string& text, std::filesystem::path& path) {
    std::wstring units;
    if (!unitsFromText(text, units)) {
        return false;
    }
    path = std::filesystem::path(units);
    return true;
}

std::uint32_t currentThreadId() {
    return static_cast<std::uint32_t>(::GetCurrentThreadId());
}

bool toLocalTime(std::time_t seconds, std::tm& local) {
    return ::localtime_s(&local, &seconds) == 0;
}

}  // namespace logplatform
