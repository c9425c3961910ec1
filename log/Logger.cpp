#include "Logger.h"

#include <filesystem>
#include <locale>
#include <optional>

#include "LogPlatform.h"

namespace {
constexpr const char* markerLiteral = "/qortavronotify";
}

Logger& Logger::instance() {
    static Logger single;
    return single;
}

Logger& processLogger = Logger::instance();

Logger::Logger() {
    // Logging is a diagnostic aid: nothing that goes wrong while deciding about it may stop the program.
    try {
        fileStream.imbue(std::locale::classic());
        const std::optional<std::filesystem::path> temporary = logplatform::temporaryDirectory();
        if (!temporary) {
            return;
        }
        const std::string markerText = logplatform::textFromPath(*temporary) + markerLiteral;
        std::filesystem::path marker;
        if (!logplatform::markerPathFromText(markerText, marker) ||
            !logplatform::markerCounts(marker, markerIdentity)) {
            return;
        }
        // Set before the banner, which is written through the same gate as every other record.
        enabled = true;
        folderPath = logplatform::textFromPath(marker);
        logMessage(makeLogPrefix(), programLogIdentity.bannerLine, programLogIdentity.bannerText);
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing may stop the program, as said above
    }
}

Logger::~Logger() {
    if (fileStream.is_open()) {
        fileStream.close();
    }
}

std::string Logger::logFilePath() const {
    return folderPath + programLogIdentity.logFileLiteral;
}

std::filesystem::path Logger::logFileName() {
    return std::filesystem::path(programLogIdentity.logFileLiteral + 1);
}

template <typename WriteTail>
void Logger::writeRecord(const std::string& prefix, std::int32_t line, const char* message,
                         WriteTail writeTail) {
    if (!enabled) {
        return;
    }
    const std::lock_guard<std::mutex> hold(writeLock);
    // A record that cannot be written (memory running out while it is put together, say) is dropped, and
    // its file closed on that path too: logging never stops the program, and the next record checks the
    // folder again.
    try {
        if (!fileStream.is_open()) {
            std::filesystem::path marker;
            if (!logplatform::openPathFromText(folderPath, marker)) {
                return;
            }
            // The file is opened inside the folder checked for this record, by its name alone.
            fileStream.open(marker, markerIdentity, logFileName());
            if (!fileStream.is_open()) {
                return;
            }
        }
        fileStream << prefix << '[' << line << "] " << message;
        writeTail(fileStream);
        fileStream << '\n';
        // A stream that failed part of the way holds part of a record: none of it is written.
        if (!fileStream) {
            fileStream.discard();
            return;
        }
        fileStream.flush();
        fileStream.close();
    } catch (...) {
        fileStream.discard();
    }
}

// Each record operation takes its prefix by value, as every call site hands over a temporary: it is moved
// in, never copied.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void Logger::logMessage(std::string prefix, std::int32_t line, const char* message) {
    writeRecord(prefix, line, message, [](std::ostream&) {});
}

// NOLINTNEXTLINE(performance-unnecessary-value-param)
void Logger::logNameId(std::string prefix, std::int32_t line, const char* message, std::string name,
                       std::string id) {
    writeRecord(prefix, line, message, [&](std::ostream& out) { out << name << " ID:" << id; });
}

// NOLINTNEXTLINE(performance-unnecessary-value-param)
void Logger::logError(std::string prefix, std::int32_t line, const char* message, std::int32_t code) {
    writeRecord(prefix, line, message, [&](std::ostream& out) { out << code; });
}

// NOLINTNEXTLINE(performance-unnecessary-value-param)
void Logger::logStatus(std::string prefix, std::int32_t line, const char* message, std::int32_t status,
                       std::int32_t errorCode) {
    writeRecord(prefix, line, message,
                [&](std::ostream& out) { out << status << ", ErrorCode:" << errorCode; });
}
