#include <system_error>

#include "LogPlatform.h"

namespace logplatform {

std::filesystem::path temporaryDirectory() {
    return std::filesystem::temp_directory_path();
}

bool markerPresent(const std::filesystem::path& marker) {
    std::error_code failure;
    const std::filesystem::file_type type = std::filesystem::status(marker, failure).type();
    return type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;
}

}  // namespace logplatform
