#include "ScratchDirectory.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace {
// Every scratch folder is named as a newcomer's folders may be: a space, letters of Latin-1 and beyond it,
// and a first letter "n" (so a Windows path holds "\n"). Paths that a test hands on must arrive intact.
constexpr const char* awkwardName = "new folder J\xC3\xB6s\xC3\xA9-\xD0\x96\xD1\x83\xD0\xBA-\xE4\xB8\xAD ";
}  // namespace

ScratchDirectory::ScratchDirectory(const std::string& stem) {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        root = std::filesystem::temp_directory_path() /
               std::filesystem::u8path(awkwardName + stem + "-" + std::to_string(entropy()) + "-" +
                                       std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(root)) {
            return;
        }
    }
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

#ifdef _WIN32
const char* const platformNewline = "\r\n";
#else
const char* const platformNewline = "\n";
#endif
