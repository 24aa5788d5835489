// The characters of plain XML in UTF-8, for the plain reader: byte classes for its scans,
// the characters XML allows, and the references XML knows without a document type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace trimeo::threemf::xml {

enum : std::uint8_t {
    kNameStart = 1,
    kNameChar = 2,
    kSpace = 4,
    kPlainValue = 8, // taken as is inside an attribute value
    kPlainText = 16, // taken as is in character data
};

// Non-ASCII bytes have no class: they go through the UTF-8 check, and end an ASCII name.
// DEL has none either.
constexpr std::array<std::uint8_t, 256> makeClasses() {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 128; ++c) {
        std::uint8_t k = 0;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':') k |= kNameStart | kNameChar;
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') k |= kNameChar;
        const bool printable = c >= 0x20 && c < 0x7F;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') k |= kSpace;
        if (printable && c != '<' && c != '&' && c != '"' && c != '\'') k |= kPlainValue;
        if ((printable && c != '<' && c != '&' && c != ']') || c == '\t' || c == '\n' || c == '\r') k |= kPlainText;
        classes[std::size_t(c)] = k;
    }
    return classes;
}
inline constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

inline bool is(char c, std::uint8_t byteClass) { return kClasses[std::uint8_t(c)] & byteClass; }

// Whether XML 1.0 allows the code point as a character.
bool isXMLChar(std::uint32_t c);

// The length of the well-formed UTF-8 sequence at `p` (before `end`) if it encodes a
// character XML allows; 0 otherwise.
std::size_t utf8CharacterLength(const char* p, const char* end);

// A reference at `p` ('&'): a character reference to a character XML allows, or one of the
// five predefined entities. Sets `value` and returns the position past its ';', or nullptr.
const char* readReference(const char* p, const char* end, std::uint32_t& value);

void appendUTF8(std::string& out, std::uint32_t c);

} // namespace trimeo::threemf::xml
