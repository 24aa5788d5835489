#include "NumberParsing.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace trimeo::threemf {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The characters strtof skips before a number in the C locale.
bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

// The reference reading: strtof in the C locale over a NUL-terminated copy, so that a
// NUL byte in the text counts as left over instead of ending the number.
std::optional<float> strtofWhole(std::string_view text) {
    std::string copy(text);
    char* end = nullptr;
    float value = strtof_l(copy.c_str(), &end, cLocale());
    if (end != copy.c_str() + copy.size()) return std::nullopt;
    return value;
}

// Powers of ten that are exact in a float (5^10 < 2^24).
constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

} // namespace

std::optional<float> parseFloatAttribute(std::string_view text) {
    if (text.empty() || isCSpace(text.front())) return std::nullopt;

    // Scan the plain decimal form: [+-] digits [. digits] [(e|E) [+-] digits].
    const char* p = text.data();
    const char* const end = p + text.size();
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const char* const numberStart = p;

    std::uint64_t mantissa = 0;
    int significantDigits = 0, exponent10 = 0, digits = 0;
    auto takeDigit = [&](char c, bool fractional) {
        ++digits;
        if (significantDigits == 0 && c == '0') {
            if (fractional) --exponent10;
            return;
        }
        if (significantDigits < 19) {
            mantissa = mantissa * 10 + unsigned(c - '0');
            ++significantDigits;
            if (fractional) --exponent10;
        } else if (!fractional) {
            ++exponent10; // digits past 19 only scale: this case goes to the exact readers below
            significantDigits = 20;
        } else {
            significantDigits = 20;
        }
    };
    while (p != end && isDigit(*p)) takeDigit(*p++, false);
    if (p != end && *p == '.') {
        ++p;
        while (p != end && isDigit(*p)) takeDigit(*p++, true);
    }
    bool plainDecimal = digits > 0;
    if (plainDecimal && p != end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool negativeExponent = false;
        if (q != end && (*q == '+' || *q == '-')) negativeExponent = *q++ == '-';
        if (q == end || !isDigit(*q)) {
            plainDecimal = false; // "1e" or "1e+"
        } else {
            int e = 0;
            while (q != end && isDigit(*q)) {
                if (e < 100000) e = e * 10 + (*q - '0');
                ++q;
            }
            exponent10 += negativeExponent ? -e : e;
            p = q;
        }
    }
    // Hexadecimal, infinity and NaN forms, and anything invalid: strtof decides.
    if (!plainDecimal || p != end) return strtofWhole(text);

    // Exact operands and one rounding step: the correctly rounded result, as strtof gives.
    if (significantDigits <= 19 && mantissa <= (1u << 24) && exponent10 >= -10 && exponent10 <= 10) {
        float value = float(mantissa);
        value = exponent10 < 0 ? value / kExactPowersOfTen[-exponent10] : value * kExactPowersOfTen[exponent10];
        return negative ? -value : value;
    }
    // Longer decimals: from_chars also rounds correctly; it has no '+' form and reports
    // overflow and underflow, where strtof's own rounding is wanted.
    float value = 0;
    auto [ptr, ec] = std::from_chars(numberStart, end, value, std::chars_format::general);
    if (ec == std::errc() && ptr == end) return negative ? -value : value;
    return strtofWhole(text);
}

std::optional<std::uint32_t> parseUInt32Attribute(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i])) return std::nullopt;
        value = value * 10 + unsigned(text[i] - '0');
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (negative && value != 0) return std::nullopt;
    return std::uint32_t(value);
}

} // namespace trimeo::threemf
