#pragma once

#include <string>

// UTF-8 of a zero-terminated UTF-16 text from the platform. Ill-formed input (an unpaired surrogate)
// raises std::range_error "bad conversion"; nothing is ever silently dropped or replaced.
std::string toUtf8(const char16_t* text);
