#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The records of a log file, each with its time prefix checked and taken off ("<no prefix> " where a line
// has none). A log that does not end with the platform's line end gets a last line "<unfinished>".
std::vector<std::string> logRecords(const std::filesystem::path& logFile);

// The time prefixes alone, as milliseconds of the local day, for checking the spacing of records.
std::vector<long long> logMilliseconds(const std::filesystem::path& logFile);
