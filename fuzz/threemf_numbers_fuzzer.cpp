// The 3MF number rules against their definitions: the float rule must give strtof's bits
// (C locale, whole text, no leading blank), the unsigned rule the plain digit reading.
#include "formats/threemf/NumberParsing.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <optional>
#include <string>

namespace {

std::optional<float> referenceFloat(const std::string& text) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (text.empty() || std::strchr(" \t\n\v\f\r", text[0])) return std::nullopt;
    char* end = nullptr;
    float value = strtof_l(text.c_str(), &end, c);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> referenceUInt32(const std::string& text) {
    std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-');
    if (i == text.size()) return std::nullopt;
    std::string digits = text.substr(i);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    if (digits.size() > 10 || (digits.size() == 10 && digits > "4294967295")) return std::nullopt;
    std::uint64_t value = std::stoull(digits);
    if (text[0] == '-' && value != 0) return std::nullopt;
    return std::uint32_t(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<float> expected = text.find('\0') == std::string::npos ? referenceFloat(text) : std::nullopt;
    std::optional<float> actual = trimeo::threemf::parseFloatAttribute(text);
    if (expected.has_value() != actual.has_value()) __builtin_trap();
    if (expected && !(std::isnan(*expected) && std::isnan(*actual)) &&
        std::bit_cast<std::uint32_t>(*expected) != std::bit_cast<std::uint32_t>(*actual))
        __builtin_trap();
    if (trimeo::threemf::parseUInt32Attribute(text) != referenceUInt32(text)) __builtin_trap();
    return 0;
}
