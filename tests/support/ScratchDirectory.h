#pragma once

#include <filesystem>
#include <string>

// A fresh, empty folder of the test's own, removed with everything in it when the test ends.
class ScratchDirectory {
  public:
    explicit ScratchDirectory(const std::string& stem = "scratch");
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return root; }

  private:
    std::filesystem::path root;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// The line end that text-mode files get on this platform.
extern const char* const platformNewline;
