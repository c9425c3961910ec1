// toUtf8 against a decoder written here from the rule alone: every input converts to the same bytes, or
// both refuse it, toUtf8 with range_error "bad conversion".
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "LogIdentity.h"
#include "Utf8.h"

const LogIdentity programLogIdentity{"/ToUtf8Fuzz.txt", "***** ToUtf8Fuzz *****", 1};

namespace {

void appendCodePoint(std::string& out, std::uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// Up to the first zero unit; absent where a surrogate has no partner.
std::optional<std::string> referenceUtf8(const std::u16string& units) {
    std::string out;
    for (std::size_t at = 0; at < units.size() && units[at] != 0; ++at) {
        const std::uint32_t unit = units[at];
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const std::uint32_t next = at + 1 < units.size() ? units[at + 1] : 0;
            if (next < 0xDC00 || next > 0xDFFF) {
                return std::nullopt;
            }
            appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++at;
            continue;
        }
        appendCodePoint(out, unit);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units;
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        units += static_cast<char16_t>(data[at] | (data[at + 1] << 8));
    }
    const std::optional<std::string> expected = referenceUtf8(units);
    try {
        const std::string converted = toUtf8(units.c_str());
        if (!expected || *expected != converted) {
            std::abort();
        }
    } catch (const std::range_error& failure) {
        if (expected || std::strcmp(failure.what(), "bad conversion") != 0) {
            std::abort();
        }
    }
    return 0;
}
