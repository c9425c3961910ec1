#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "LogFileStream.h"
#include "LogIdentity.h"
#include "LogPrefix.h"

// The one diagnostic log of the process. Whether a run is logged is decided once, before main, by the
// presence of the marker folder; each record then checks the folder again, opens, appends to and closes
// the log file on its own, so nothing is held open between records and the file may be read or removed at
// any time.
class Logger {
  public:
    static Logger& instance();

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    std::string logFilePath() const;

    void logMessage(std::string prefix, std::int32_t line, const char* message);
    void logNameId(std::string prefix, std::int32_t line, const char* message, std::string name,
                   std::string id);
    void logError(std::string prefix, std::int32_t line, const char* message, std::int32_t code);
    void logStatus(std::string prefix, std::int32_t line, const char* message, std::int32_t status,
                   std::int32_t errorCode);

  private:
    Logger();
    ~Logger();

    // The log file's own name: the program's literal without its leading "/".
    static std::filesystem::path logFileName();

    template <typename WriteTail>
    void writeRecord(const std::string& prefix, std::int32_t line, const char* message, WriteTail writeTail);

    LogFileStream fileStream;
    std::mutex writeLock;
    std::string folderPath;
    bool enabled = false;
    // What the marker was when logging was switched on; each record's check of the folder compares with it.
    logplatform::MarkerIdentity markerIdentity;
};

// Bound during static initialisation, so the logger is complete before main starts.
extern Logger& processLogger;
