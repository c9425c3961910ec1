#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "LogPlatform.h"

namespace logplatform {
namespace {

bool ownerIsTrusted(uid_t owner) {
    // Read once: the programs never change their user, and every record asks.
    static const uid_t self = ::geteuid();
    return owner == self || owner == 0;
}

// Closes a descriptor on every path out of the scope.
class Descriptor {
  public:
    explicit Descriptor(int opened) : value(opened) {}
    ~Descriptor() {
        if (value >= 0) {
            ::close(value);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return value; }
    int release() {
        const int taken = value;
        value = -1;
        return taken;
    }

  private:
    int value;
};

}  // namespace

std::optional<std::filesystem::path> temporaryDirectory() {
    std::error_code failure;
    std::filesystem::path found = std::filesystem::temp_directory_path(failure);
    if (failure) {
        return std::nullopt;
    }
    return found;
}

bool markerCounts(const std::filesystem::path& marker, MarkerIdentity&) {
    struct stat status {};
    return ::lstat(marker.c_str(), &status) == 0 && !S_ISLNK(status.st_mode) && ownerIsTrusted(status.st_uid);
}

LogFileHandle openLogForAppend(const std::filesystem::path& marker, const MarkerIdentity&,
                               const std::filesystem::path& fileName) {
    // The folder held open is the one checked and the one the file is made in, whatever its name leads to
    // by then.
    const Descriptor folder(::open(marker.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (folder.get() < 0 || ::fstat(folder.get(), &status) != 0 || !ownerIsTrusted(status.st_uid)) {
        return noLogFile;
    }
    // O_NOFOLLOW refuses a link in the file's place, O_NONBLOCK keeps a planted FIFO from blocking the open.
    Descriptor file(::openat(folder.get(), fileName.c_str(),
                             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                             0666));
    // A file another user made first in a folder others may write to is theirs, not our log: they would read
    // every record.
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink != 1 || !ownerIsTrusted(status.st_uid)) {
        return noLogFile;
    }
    return file.release();
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
