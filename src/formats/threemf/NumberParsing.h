// The two number rules of 3MF model attributes. Both read the whole text or nothing:
// they return no value for empty text, surrounding text, or a form the rule does not allow.
// Neither depends on the process locale; both are safe on any input.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace trimeo::threemf {

// Exactly what the C library's strtof reads in the C locale (sign, decimal with optional
// point and exponent, hexadecimal, infinity and NaN forms, out-of-range values as strtof
// rounds them), but only when the number is the whole text: leading white space or
// anything left over makes the text invalid. The common short decimal form takes a fast
// path that yields the same bits as strtof.
std::optional<float> parseFloatAttribute(std::string_view text);

// Decimal digits with at most one leading '+' or '-', in 0..4294967295; after '-' only a
// zero value is allowed ("-0" reads as 0). No spaces, no other characters.
std::optional<std::uint32_t> parseUInt32Attribute(std::string_view text);

} // namespace trimeo::threemf
