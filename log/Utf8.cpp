#include "Utf8.h"

#include <codecvt>
#include <locale>
#include <stdexcept>
#include <string_view>

#include "Logger.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif

namespace {
using Utf16ToUtf8 = std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>;

Utf16ToUtf8& processConverter() {
    static Utf16ToUtf8 converter;
    return converter;
}

// Built right after the logger, so that at exit it is destroyed first and the logger last.
[[maybe_unused]] Utf16ToUtf8& converterAtStartup =
    (static_cast<void>(Logger::instance()), processConverter());

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
}  // namespace

std::string toUtf8(const char16_t* text) {
    const std::u16string_view units(text);
    // The standard facet silently drops a high surrogate at the very end; that would lose part of the text.
    if (!units.empty() && isHighSurrogate(units.back())) {
        throw std::range_error("bad conversion");
    }
    try {
        return processConverter().to_bytes(units.data(), units.data() + units.size());
    } catch (const std::range_error&) {
        // Each standard library words this differently; the log reader sees one message everywhere.
        throw std::range_error("bad conversion");
    }
}

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
