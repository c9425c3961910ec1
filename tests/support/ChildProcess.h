#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ChildRun {
    int exitCode = -1;  // -2: did not end in time and was stopped
    std::string out;
    std::string err;
};

// A program built next to the running test executable.
std::filesystem::path siblingProgram(const std::string& name);

// Runs a program to its end with the user's temporary directory moved to temporaryDirectory (TMPDIR on
// POSIX; TMP and TEMP in a fresh environment block on Windows, where Wine otherwise reads its registry).
// Output is collected through files in outputDirectory.
ChildRun runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& temporaryDirectory,
                  const std::filesystem::path& outputDirectory);
