#include <gtest/gtest.h>

#include <stdexcept>

#include "Utf8.h"

namespace {

struct ConversionCase {
    const char* name;
    std::u16string units;
    std::string bytes;
    friend void PrintTo(const ConversionCase& tested, std::ostream* out) { *out << tested.name; }
};

class ToUtf8Converts : public testing::TestWithParam<ConversionCase> {};

TEST_P(ToUtf8Converts, WellFormedText) {
    EXPECT_EQ(toUtf8(GetParam().units.c_str()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, ToUtf8Converts,
                         testing::Values(ConversionCase{"WorkedExample", u"\x0041\x00E9\x20AC\xD83D\xDE00",
                                                        "\x41\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
                                         ConversionCase{"Empty", u"", ""},
                                         ConversionCase{"LengthBoundaries", u"\x007F\x0080\x07FF\x0800\xFFFF",
                                                        "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
                                         ConversionCase{"LowestAndHighestPairs", u"\xD800\xDC00\xDBFF\xDFFF",
                                                        "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
                                         ConversionCase{"EndpointId", u"{0.0.1.00000000}.{25da76d0}",
                                                        "{0.0.1.00000000}.{25da76d0}"}),
                         [](const testing::TestParamInfo<ConversionCase>& tested) {
                             return tested.param.name;
                         });

class ToUtf8Refuses : public testing::TestWithParam<ConversionCase> {};

TEST_P(ToUtf8Refuses, UnpairedSurrogates) {
    try {
        toUtf8(GetParam().units.c_str());
        FAIL() << "converted ill-formed text";
    } catch (const std::range_error& failure) {
        EXPECT_STREQ(failure.what(), "bad conversion");
    }
    // The converter keeps working after a failure.
    EXPECT_EQ(toUtf8(u"ok"), "ok");
}

INSTANTIATE_TEST_SUITE_P(Cases, ToUtf8Refuses,
                         testing::Values(ConversionCase{"HighThenLetter",
                                                        u"\xD800"
                                                        u"A",
                                                        ""},
                                         ConversionCase{"HighThenHigh", u"\xD800\xD800\xDC00", ""},
                                         ConversionCase{"LoneHigh", u"\xD800", ""},
                                         ConversionCase{"LoneLow", u"A\xDC00", ""},
                                         ConversionCase{"HighAtTheEnd", u"AB\xDBFF", ""}),
                         [](const testing::TestParamInfo<ConversionCase>& tested) {
                             return tested.param.name;
                         });

}  // namespace
