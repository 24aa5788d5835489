// Splits usda text into tokens. Comments ("#" to the end of the line) vanish; strings
// (single, double or triple quoted), asset paths (@...@, @@@...@@@) and path references
// (<...>) come out whole without their delimiters. Throws UsdFormatError for an
// unterminated string, asset path or path reference.
#pragma once

#include "UsdFormatError.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace trimeo::usd {

struct UsdaToken {
    enum class Kind { end, identifier, number, string, assetPath, pathRef, punct };
    Kind kind = Kind::end;
    std::string text; // for punct: the one character
    double number = 0;

    bool is(char c) const { return kind == Kind::punct && text.size() == 1 && text[0] == c; }
    bool isWord(std::string_view w) const { return kind == Kind::identifier && text == w; }
};

class UsdaTokenizer {
public:
    explicit UsdaTokenizer(std::string_view text) : text_(text) {}

    const UsdaToken& peek();
    UsdaToken next();

private:
    UsdaToken scan();
    void skipSpaceAndComments();
    std::string quoted(char quote);
    std::string delimited(std::string_view close);

    std::string_view text_;
    std::size_t pos_ = 0;
    UsdaToken peeked_;
    bool hasPeeked_ = false;
};

} // namespace trimeo::usd
