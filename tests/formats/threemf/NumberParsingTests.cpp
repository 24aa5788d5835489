#include "formats/threemf/NumberParsing.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>
#include <random>
#include <string>

using trimeo::threemf::parseFloatAttribute;
using trimeo::threemf::parseUInt32Attribute;

namespace {

// The rule's definition: strtof in the C locale reading the whole, non-blank-led text.
std::optional<float> referenceFloat(const std::string& text) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (text.empty() || std::string(" \t\n\v\f\r").find(text[0]) != std::string::npos) return std::nullopt;
    char* end = nullptr;
    float value = strtof_l(text.c_str(), &end, c);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

void expectSameAsReference(const std::string& text) {
    std::optional<float> expected = referenceFloat(text), actual = parseFloatAttribute(text);
    ASSERT_EQ(expected.has_value(), actual.has_value()) << '"' << text << '"';
    if (!expected) return;
    if (std::isnan(*expected)) {
        EXPECT_TRUE(std::isnan(*actual)) << text;
    } else {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(*expected), std::bit_cast<std::uint32_t>(*actual)) << '"' << text << '"';
    }
}

} // namespace

TEST(FloatAttribute, ReadsTheFormsStrtofReads) {
    EXPECT_EQ(parseFloatAttribute("1e2"), 100.0f);
    EXPECT_EQ(parseFloatAttribute("45.00000"), 45.0f);
    EXPECT_EQ(parseFloatAttribute("+1.5"), 1.5f);
    EXPECT_EQ(parseFloatAttribute(".5"), 0.5f);
    EXPECT_EQ(parseFloatAttribute("5."), 5.0f);
    EXPECT_EQ(parseFloatAttribute("1E-3"), 0.001f);
    EXPECT_EQ(parseFloatAttribute("0x1p3"), 8.0f);
    EXPECT_EQ(parseFloatAttribute("-0X1.8P1"), -3.0f);
    EXPECT_EQ(parseFloatAttribute("inf"), INFINITY);
    EXPECT_EQ(parseFloatAttribute("-Infinity"), -INFINITY);
    EXPECT_TRUE(std::isnan(*parseFloatAttribute("nan")));
    EXPECT_TRUE(std::isnan(*parseFloatAttribute("NAN(123)")));
    // Out of range: strtof's own rounding, not a rejection.
    EXPECT_EQ(parseFloatAttribute("1e50"), INFINITY);
    EXPECT_EQ(parseFloatAttribute("-1e-50"), -0.0f);
    EXPECT_TRUE(std::signbit(*parseFloatAttribute("-0")));
    EXPECT_EQ(parseFloatAttribute("1.40129846e-45"), std::nextafter(0.0f, 1.0f));
    EXPECT_EQ(parseFloatAttribute("340282346638528859811704183484516925440"), 3.40282346638528859811704183484516925440e38f);
}

TEST(FloatAttribute, RefusesBlanksLeftoversAndNonNumbers) {
    for (const char* text : {"", " 1", "\t1", "\n1", "\v1", "\f1", "\r1", "1 ", "1,5", "abc", "1e", "1e+", "0x", "--1",
                             "+-1", ".", "e5", "1.2.3", "1f", "in", "nan(", "0x1p", "++1"})
        EXPECT_FALSE(parseFloatAttribute(text)) << '"' << text << '"';
    EXPECT_FALSE(parseFloatAttribute(std::string_view("1\0" "2", 3))) << "an embedded NUL is left over text";
}

TEST(FloatAttribute, MatchesStrtofBitForBitOnGeneratedText) {
    std::mt19937_64 rng(20261206);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    char buffer[96];

    // Decimals of every length, point position and exponent: fast path and both fallbacks.
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        if (pick(0, 3) == 0) text += pick(0, 1) ? '-' : '+';
        int digits = pick(1, 24), point = pick(-1, digits);
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += char('0' + pick(0, 9));
        }
        if (point == digits) text += '.';
        if (pick(0, 2) == 0) {
            text += pick(0, 1) ? 'e' : 'E';
            text += std::to_string(pick(-60, 60));
        }
        expectSameAsReference(text);
    }
    // Exactly between two neighbouring floats, and just beside: the cases rounding gets wrong.
    for (int i = 0; i < 50000; ++i) {
        float f = std::bit_cast<float>(std::uint32_t(rng() % 0x7F7FFFFFu));
        double mid = (double(f) + double(std::nextafter(f, INFINITY))) / 2;
        // 15 and 16 digits often read back as exactly the midpoint double while the text
        // itself is not halfway: the fast path's one dangerous case.
        for (int precision : {8, 9, 12, 15, 16, 17, 25}) {
            std::snprintf(buffer, sizeof buffer, "%.*g", precision, mid);
            expectSameAsReference(buffer);
        }
        std::snprintf(buffer, sizeof buffer, "%.9g", double(f));
        expectSameAsReference(buffer);
    }
    // Integers and short decimals up to 2^53 with small exponents: the fast path's domain.
    for (int i = 0; i < 100000; ++i) {
        std::uint64_t mantissa = rng() >> pick(11, 60);
        std::snprintf(buffer, sizeof buffer, "%llue%d", static_cast<unsigned long long>(mantissa), pick(-22, 22));
        expectSameAsReference(buffer);
    }
    for (const char* text : {"16777217", "16777219", "33554435", "9007199254740993", "0.000000059604644775390625"})
        expectSameAsReference(text);
    // Short text over the characters of every form, valid or not.
    const std::string alphabet = "0123456789.eE+-xXpPaAfFinINtTyY() ";
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        for (int n = pick(1, 9); n > 0; --n) text += alphabet[std::size_t(pick(0, int(alphabet.size()) - 1))];
        expectSameAsReference(text);
    }
}

TEST(FloatAttribute, IgnoresTheProcessLocale) {
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8"};
    const char* chosen = nullptr;
    for (const char* name : commaLocales)
        if (std::setlocale(LC_NUMERIC, name)) {
            chosen = name;
            break;
        }
    if (!chosen) GTEST_SKIP() << "no locale with a decimal comma is installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(parseFloatAttribute("1.5"), 1.5f);
    EXPECT_EQ(parseFloatAttribute("1.2345678901"), 1.2345678901f);
    EXPECT_EQ(parseFloatAttribute("0x1.8p1"), 3.0f);
    EXPECT_FALSE(parseFloatAttribute("1,5"));
    std::setlocale(LC_NUMERIC, "C");
}

TEST(UInt32Attribute, SignRangeAndDigitCases) {
    EXPECT_EQ(parseUInt32Attribute("0"), 0u);
    EXPECT_EQ(parseUInt32Attribute("+7"), 7u);
    EXPECT_EQ(parseUInt32Attribute("-0"), 0u);
    EXPECT_EQ(parseUInt32Attribute("-000"), 0u);
    EXPECT_EQ(parseUInt32Attribute("007"), 7u);
    EXPECT_EQ(parseUInt32Attribute("4294967295"), 4294967295u);
    EXPECT_EQ(parseUInt32Attribute("000000000004294967295"), 4294967295u);
    for (const char* text : {"-1", "4294967296", "99999999999999999999999", "", "+", "-", " 1", "1 ", "1.0", "0x1",
                             "++1", "+-0", "1e3", "٣"})
        EXPECT_FALSE(parseUInt32Attribute(text)) << '"' << text << '"';
}
