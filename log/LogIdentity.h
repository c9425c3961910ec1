#pragma once

#include <cstdint>

// What a program that links the logger names for itself: its log file and the record that opens each run.
struct LogIdentity {
    const char* logFileLiteral;  // appended to the marker folder's path as it stands, leading "/" included
    const char* bannerText;
    std::int32_t bannerLine;
};

// Each program defines exactly one. Built by constant initialisation, so the logger can read it while it is
// itself being built during static initialisation.
extern const LogIdentity programLogIdentity;
