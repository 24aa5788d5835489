#include "XMLCharacters.h"

#include <string_view>

namespace trimeo::threemf::xml {

bool isXMLChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

std::size_t utf8CharacterLength(const char* p, const char* end) {
    auto byte = [&](std::size_t i) { return std::uint8_t(p[i]); };
    auto continuation = [&](std::size_t i, std::uint8_t low = 0x80, std::uint8_t high = 0xBF) {
        return byte(i) >= low && byte(i) <= high;
    };
    const std::uint8_t b0 = byte(0);
    std::size_t length = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) length = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) length = 3;
    else if (b0 >= 0xF0 && b0 <= 0xF4) length = 4;
    if (length == 0 || std::size_t(end - p) < length) return 0;
    bool valid = true;
    if (length == 2) {
        valid = continuation(1);
    } else if (length == 3) {
        // No overlong forms, no surrogates, no U+FFFE or U+FFFF.
        const std::uint8_t low = b0 == 0xE0 ? 0xA0 : 0x80, high = b0 == 0xED ? 0x9F : 0xBF;
        valid = continuation(1, low, high) && continuation(2) &&
                !(b0 == 0xEF && byte(1) == 0xBF && (byte(2) == 0xBE || byte(2) == 0xBF));
    } else {
        // No overlong forms, nothing past U+10FFFF.
        const std::uint8_t low = b0 == 0xF0 ? 0x90 : 0x80, high = b0 == 0xF4 ? 0x8F : 0xBF;
        valid = continuation(1, low, high) && continuation(2) && continuation(3);
    }
    return valid ? length : 0;
}

const char* readReference(const char* p, const char* end, std::uint32_t& value) {
    ++p; // '&'
    value = 0;
    if (p != end && *p == '#') {
        ++p;
        const bool hex = p != end && *p == 'x';
        if (hex) ++p;
        const char* digits = p;
        for (; p != end && *p != ';'; ++p) {
            const char c = *p;
            int digit = c >= '0' && c <= '9' ? c - '0' : -1;
            if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) return nullptr;
            value = value * (hex ? 16 : 10) + std::uint32_t(digit);
            if (value > 0x10FFFF) return nullptr;
        }
        if (p == digits) return nullptr;
    } else {
        const char* name = p;
        while (p != end && *p != ';' && p - name < 5) ++p;
        const std::string_view entity(name, std::size_t(p - name));
        if (entity == "lt") value = '<';
        else if (entity == "gt") value = '>';
        else if (entity == "amp") value = '&';
        else if (entity == "quot") value = '"';
        else if (entity == "apos") value = '\'';
        else return nullptr;
    }
    if (p == end || *p != ';' || !isXMLChar(value)) return nullptr;
    return p + 1;
}

void appendUTF8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace trimeo::threemf::xml
