#include "NumberParsing.h"

#include <bit>
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

// Powers of ten that are exact in a double (5^22 < 2^53).
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Whether a double in the normal float range lies exactly halfway between two floats:
// the 29 mantissa bits a float drops are 1 followed by zeros.
bool isFloatMidpoint(double d) {
    constexpr std::uint64_t dropped = (std::uint64_t(1) << 29) - 1;
    return (std::bit_cast<std::uint64_t>(d) & dropped) == (std::uint64_t(1) << 28);
}

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

    // Exact operands and one operation give the correctly rounded double. Rounding that to a
    // float is the correctly rounded float too, unless the double sits exactly halfway between
    // two floats (then the true value may not). The range keeps clear of float overflow and
    // subnormals: 1e-22 <= |value| < 2^53 * 1e22.
    if (significantDigits <= 19 && mantissa <= (std::uint64_t(1) << 53) && exponent10 >= -22 && exponent10 <= 22) {
        double exact = double(mantissa);
        exact = exponent10 < 0 ? exact / kExactPowersOfTen[-exponent10] : exact * kExactPowersOfTen[exponent10];
        if (mantissa == 0 || !isFloatMidpoint(exact)) {
            const float value = float(exact);
            return negative ? -value : value;
        }
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
