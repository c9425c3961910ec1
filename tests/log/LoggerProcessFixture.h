#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LogFile.h"
#include "ScratchDirectory.h"

inline const std::string banner = "[7] ***** LogDriver Logs *****";

// Each test gets a temporary directory of its own, and a separate folder for the driver's output.
class LoggerProcess : public testing::Test {
  protected:
    explicit LoggerProcess(const std::string& temporaryStem = "logger") : temporary(temporaryStem) {}

    ChildRun runDriver(const std::vector<std::string>& records) {
        return runChild(siblingProgram("logdriver"), records, temporary.path(), output.path());
    }
    std::filesystem::path marker() const { return temporary.path() / "qortavronotify"; }
    std::filesystem::path logFile() const { return marker() / "LogDriver.txt"; }
    void createMarkerFolder() const { std::filesystem::create_directory(marker()); }

    std::vector<std::string> loggedLines() const { return logRecords(logFile()); }

    ScratchDirectory temporary;
    ScratchDirectory output{"output"};
};
