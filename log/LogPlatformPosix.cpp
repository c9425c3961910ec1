#include <sys/syscall.h>
#include <unistd.h>

#include "LogPlatform.h"

namespace logplatform {

// File names are plain bytes here: the text is the path.
std::string textFromPath(const std::filesystem::path& path) {
    return path.native();
}

bool markerPathFromText(const std::string& text, std::filesystem::path& marker) {
    marker = std::filesystem::path(text).make_preferred();
    return true;
}

bool openPathFromText(const std::string& text, std::filesystem::path& path) {
    path = std::filesystem::path(text);
    return true;
}

// The kernel's id tells the threads of a process apart, as the Windows thread id does.
std::uint32_t currentThreadId() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

bool toLocalTime(std::time_t seconds, std::tm& local) {
    return ::localtime_r(&seconds, &local) != nullptr;
}

}  // namespace logplatform
