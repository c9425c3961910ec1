#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "LogPlatform.h"

// A stream buffer over a log file opened by the platform layer, so that opening checks the marker folder
// and refuses links in the same step. What one record writes is collected and handed to the file on flush or
// close.
class LogFileBuffer : public std::streambuf {
  public:
    LogFileBuffer() = default;
    ~LogFileBuffer() override { close(); }
    LogFileBuffer(const LogFileBuffer&) = delete;
    LogFileBuffer& operator=(const LogFileBuffer&) = delete;

    bool open(const std::filesystem::path& marker, const logplatform::MarkerIdentity& identity,
              const std::filesystem::path& fileName);
    bool isOpen() const { return file != logplatform::noLogFile; }
    // Writes what is pending and closes; false if either failed or nothing was open.
    bool close();
    // Closes without writing what is pending.
    void discard() noexcept;

  protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    bool writePending();

    logplatform::LogFileHandle file = logplatform::noLogFile;
    std::string pending;
};

namespace detail {
struct LogFileBufferHolder {
    LogFileBuffer buffer;
};
}  // namespace detail

// The log file as an output stream with the open, is_open and close of a file stream: a failed open or
// close sets the failure state, a successful open clears it.
class LogFileStream : private detail::LogFileBufferHolder, public std::ostream {
  public:
    LogFileStream() : std::ostream(&buffer) {}

    void open(const std::filesystem::path& marker, const logplatform::MarkerIdentity& identity,
              const std::filesystem::path& fileName);
    bool is_open() const { return buffer.isOpen(); }
    void close();
    // Drops what is pending, closes, and leaves the stream ready for the next open.
    void discard() noexcept;
};
