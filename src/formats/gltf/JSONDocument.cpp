#include "JSONDocument.h"

#include "formats/common/LoaderError.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace trimeo::gltf {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// Position of the quote closing the string literal that opens at `open`; npos when the text
// ends first. A quote preceded by an odd run of backslashes is escaped.
std::size_t closingQuote(std::string_view text, std::size_t open) {
    const char* t = text.data();
    std::size_t from = open + 1;
    while (from < text.size()) {
        const void* hit = std::memchr(t + from, '"', text.size() - from);
        if (!hit) return npos;
        const std::size_t quote = static_cast<const char*>(hit) - t;
        std::size_t run = quote;
        while (run > open + 1 && t[run - 1] == '\\') --run;
        if ((quote - run) % 2 == 0) return quote;
        from = quote + 1;
    }
    return npos;
}

// Length of the leading run of printable ASCII other than '"' and '\\': a string literal made
// only of these has its own bytes as value. Sixteen bytes per step, as it runs over the whole
// of an embedded base64 buffer.
std::size_t plainPrefix(const char* p, std::size_t n) {
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(0x20), del = _mm_set1_epi8(0x7F);
    for (; i + 16 <= n; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Signed compare: bytes of 0x80 and up are negative, so they count as below 0x20.
        const __m128i stop = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, quote), _mm_cmpeq_epi8(c, backslash)),
                                          _mm_or_si128(_mm_cmplt_epi8(c, space), _mm_cmpeq_epi8(c, del)));
        if (const int mask = _mm_movemask_epi8(stop)) return i + std::size_t(__builtin_ctz(unsigned(mask)));
    }
#endif
    for (; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c == '"' || c == '\\' || c < 0x20 || c >= 0x7F) break;
    }
    return i;
}

// A JSON number literal (RFC 8259 grammar) whose value lies beyond the double range. Only a
// literal with an exponent, or with more digits than any finite double has, can be one.
enum class Overflow { none, positive, negative };

Overflow numberOverflow(std::string_view token) {
    std::size_t i = token.starts_with('-') ? 1 : 0;
    auto digits = [&] {
        const std::size_t from = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
        return i - from;
    };
    const std::size_t whole = digits();
    if (whole == 0 || (whole > 1 && token[i - whole] == '0')) return Overflow::none;
    if (i < token.size() && token[i] == '.' && (++i, digits() == 0)) return Overflow::none;
    bool exponent = false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        exponent = true;
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        if (digits() == 0) return Overflow::none;
    }
    if (i != token.size() || (!exponent && whole <= 309)) return Overflow::none;
    const std::string copy(token);
    if (!std::isinf(std::strtod(copy.c_str(), nullptr))) return Overflow::none;
    return token.starts_with('-') ? Overflow::negative : Overflow::positive;
}

bool startsNumber(char c) { return c == '-' || (c >= '0' && c <= '9'); }
bool inNumber(char c) { return startsNumber(c) || c == '+' || c == '.' || c == 'e' || c == 'E'; }

// A stretch of the text the parser is shown something else for.
struct Replacement {
    std::size_t begin = 0, end = 0;
    enum class Kind { longString, positiveInfinity, negativeInfinity } kind = Kind::longString;
};

struct Prescan {
    bool tooDeep = false;
    bool tooMany = false;
    std::string reduced; // the text with replacements made; empty when none were
    std::vector<std::string_view> longStrings;
    bool hasInfinities = false;
};

// The placeholders: a string beginning with a NUL, then the long string's number, or "+" or
// "-" for an infinity. A genuine string can begin with a NUL only when the text spells
// "\u0000" somewhere; long strings are then left as they are. Infinities cannot be (the JSON
// library refuses them), so in such a text a genuine string equal to "\u0000+" would read
// as infinity: a harmless confusion only a crafted file can make.
constexpr std::string_view infinityPlaceholder[2] = {std::string_view("\0+", 2), std::string_view("\0-", 2)};

// One pass over the text before the real parse: measures the nesting depth, lifts long plain
// strings out so the parser never walks a 100 MB base64 literal byte by byte, and finds
// numbers beyond the double range, which the JSON library would refuse.
//
// The pass tracks strings exactly as a JSON lexer does on any valid prefix of the text and
// swaps only complete, valid literals for valid literals, so the reduced text is valid exactly
// when the original is. (A number in a key's place is the one exception: the tree is checked
// for it after the parse.)
Prescan prescan(std::string_view text) {
    Prescan scan;
    std::vector<Replacement> replacements;
    std::size_t depth = 0, i = 0, tokens = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            const std::size_t run = plainPrefix(text.data() + i + 1, text.size() - i - 1);
            const bool plain = i + 1 + run < text.size() && text[i + 1 + run] == '"';
            const std::size_t close = plain ? i + 1 + run : closingQuote(text, i);
            if (close == npos) break; // unterminated: the parser refuses it
            if (plain && close - i - 1 >= JSONDocument::longStringLength)
                replacements.push_back({i, close + 1, Replacement::Kind::longString});
            i = close + 1;
            continue;
        }
        if (startsNumber(c) && (i == 0 || !inNumber(text[i - 1]))) {
            std::size_t end = i + 1;
            while (end < text.size() && inNumber(text[end])) ++end;
            const Overflow overflow = numberOverflow(text.substr(i, end - i));
            if (overflow != Overflow::none)
                replacements.push_back({i, end, overflow == Overflow::positive ? Replacement::Kind::positiveInfinity
                                                                               : Replacement::Kind::negativeInfinity});
            i = end;
            continue;
        }
        if ((c == '[' || c == '{' || c == ',') && ++tokens > JSONDocument::maxStructuralTokens) {
            scan.tooMany = true;
            return scan;
        }
        if (c == '[' || c == '{') {
            if (++depth > JSONDocument::maxDepth) {
                scan.tooDeep = true;
                return scan;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
        ++i;
    }
    if (replacements.empty()) return scan;
    if (text.find("\\u0000") != npos)
        std::erase_if(replacements, [](const Replacement& r) { return r.kind == Replacement::Kind::longString; });
    std::size_t copied = 0;
    for (const Replacement& r : replacements) {
        scan.reduced += text.substr(copied, r.begin - copied);
        scan.reduced += "\"\\u0000";
        switch (r.kind) {
        case Replacement::Kind::longString:
            scan.reduced += std::to_string(scan.longStrings.size());
            scan.longStrings.push_back(text.substr(r.begin + 1, r.end - r.begin - 2));
            break;
        case Replacement::Kind::positiveInfinity: scan.reduced += '+'; break;
        case Replacement::Kind::negativeInfinity: scan.reduced += '-'; break;
        }
        if (r.kind != Replacement::Kind::longString) scan.hasInfinities = true;
        scan.reduced += '"';
        copied = r.end;
    }
    if (!replacements.empty()) scan.reduced += text.substr(copied);
    return scan;
}

// Turns the infinity placeholders back into numbers. False when one stands as an object key:
// the original text had a number there and was not valid JSON.
bool restoreInfinities(JSON& value) {
    if (value.is_string()) {
        const std::string& s = value.get_ref<const std::string&>();
        if (s == infinityPlaceholder[0]) value = std::numeric_limits<double>::infinity();
        else if (s == infinityPlaceholder[1]) value = -std::numeric_limits<double>::infinity();
        return true;
    }
    if (value.is_object()) {
        for (auto& [key, member] : value.items()) {
            if (key == infinityPlaceholder[0] || key == infinityPlaceholder[1]) return false;
            if (!restoreInfinities(member)) return false;
        }
    } else if (value.is_array()) {
        for (JSON& element : value)
            if (!restoreInfinities(element)) return false;
    }
    return true;
}

} // namespace

std::optional<JSONDocument> JSONDocument::parse(std::string_view text) {
    Prescan scan = prescan(text);
    if (scan.tooDeep) return std::nullopt;
    if (scan.tooMany)
        throw LoaderError::parseError("glTF JSON has more than " + std::to_string(maxStructuralTokens) + " values");
    const std::string_view input = scan.reduced.empty() ? text : std::string_view(scan.reduced);
    JSONDocument document;
    document.root_ = JSON::parse(input.data(), input.data() + input.size(), nullptr, /*allow_exceptions=*/false);
    if (document.root_.is_discarded()) return std::nullopt;
    if (scan.hasInfinities && !restoreInfinities(document.root_)) return std::nullopt;
    document.longStrings_ = std::move(scan.longStrings);
    return document;
}

std::optional<std::string_view> JSONDocument::text(const JSON& value) const {
    if (!value.is_string()) return std::nullopt;
    const std::string& s = value.get_ref<const std::string&>();
    if (!longStrings_.empty() && !s.empty() && s[0] == '\0') {
        std::size_t index = 0;
        auto [end, ec] = std::from_chars(s.data() + 1, s.data() + s.size(), index);
        if (ec == std::errc() && end == s.data() + s.size() && index < longStrings_.size()) return longStrings_[index];
    }
    return std::string_view(s);
}

const JSON* member(const JSON& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const JSON* member(const JSON* object, std::string_view key) { return object ? member(*object, key) : nullptr; }

std::optional<std::int64_t> integerValue(const JSON* value) {
    constexpr std::int64_t maxInt = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t minInt = std::numeric_limits<std::int64_t>::min();
    if (!value) return std::nullopt;
    switch (value->type()) {
    case JSON::value_t::number_integer: return value->get<std::int64_t>();
    case JSON::value_t::number_unsigned: {
        const auto u = value->get<std::uint64_t>();
        return u > std::uint64_t(maxInt) ? maxInt : std::int64_t(u);
    }
    case JSON::value_t::number_float: {
        const double d = value->get<double>();
        if (std::isnan(d) || (std::isfinite(d) && std::trunc(d) != d)) return std::nullopt;
        if (d >= 0x1p63) return maxInt;
        if (d < -0x1p63) return minInt;
        return static_cast<std::int64_t>(d);
    }
    default: return std::nullopt;
    }
}

std::optional<double> numberValue(const JSON* value) {
    if (!value || !value->is_number()) return std::nullopt;
    return value->get<double>();
}

std::optional<std::span<const JSON>> arrayOfObjects(const JSON* value) {
    if (!value || !value->is_array()) return std::nullopt;
    const auto& elements = value->get_ref<const JSON::array_t&>();
    for (const JSON& e : elements)
        if (!e.is_object()) return std::nullopt;
    return std::span<const JSON>(elements.data(), elements.size());
}

} // namespace trimeo::gltf
