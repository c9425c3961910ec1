#include "LogFileStream.h"

bool LogFileBuffer::open(const std::filesystem::path& marker, const logplatform::MarkerIdentity& identity,
                         const std::filesystem::path& fileName) {
    if (isOpen()) {
        return false;
    }
    file = logplatform::openLogForAppend(marker, identity, fileName);
    return isOpen();
}

bool LogFileBuffer::close() {
    if (!isOpen()) {
        return false;
    }
    const bool written = writePending();
    const bool closed = logplatform::closeLog(file);
    file = logplatform::noLogFile;
    return written && closed;
}

void LogFileBuffer::discard() noexcept {
    pending.clear();
    if (isOpen()) {
        logplatform::closeLog(file);
        file = logplatform::noLogFile;
    }
}

LogFileBuffer::int_type LogFileBuffer::overflow(int_type character) {
    if (!isOpen()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
        pending.push_back(traits_type::to_char_type(character));
    }
    return traits_type::not_eof(character);
}

std::streamsize LogFileBuffer::xsputn(const char* text, std::streamsize count) {
    if (!isOpen()) {
        return 0;
    }
    pending.append(text, static_cast<std::size_t>(count));
    return count;
}

int LogFileBuffer::sync() {
    return writePending() ? 0 : -1;
}

bool LogFileBuffer::writePending() {
    if (pending.empty()) {
        return true;
    }
    const bool written = isOpen() && logplatform::appendToLog(file, pending.data(), pending.size());
    pending.clear();
    return written;
}

void LogFileStream::open(const std::filesystem::path& marker, const logplatform::MarkerIdentity& identity,
                         const std::filesystem::path& fileName) {
    if (buffer.open(marker, identity, fileName)) {
        clear();
    } else {
        setstate(std::ios::failbit);
    }
}

void LogFileStream::close() {
    if (!buffer.close()) {
        setstate(std::ios::failbit);
    }
}

void LogFileStream::discard() noexcept {
    buffer.discard();
    clear();
}
