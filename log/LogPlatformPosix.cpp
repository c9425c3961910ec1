#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "LogPlatform.h"

namespace logplatform {

std::filesystem::path temporaryDirectory() {
    return std::filesystem::temp_directory_path();
}

bool markerCounts(const std::filesystem::path& marker) {
    struct stat status {};
    if (::lstat(marker.c_str(), &status) != 0 || S_ISLNK(status.st_mode)) {
        return false;
    }
    return status.st_uid == ::geteuid() || status.st_uid == 0;
}

LogFileHandle openLogForAppend(const std::filesystem::path& path) {
    // O_NOFOLLOW refuses a link in the last place, O_NONBLOCK keeps a planted FIFO from blocking the open.
    const int file = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (file < 0) {
        return noLogFile;
    }
    struct stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1) {
        ::close(file);
        return noLogFile;
    }
    return file;
}

bool appendToLog(LogFileHandle file, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(static_cast<int>(file), bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool closeLog(LogFileHandle file) {
    return ::close(static_cast<int>(file)) == 0;
}

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
