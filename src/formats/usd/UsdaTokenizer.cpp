#include "UsdaTokenizer.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace trimeo::usd {
namespace {

bool isIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
// Namespaced names ("primvars:displayColor") and suffixes (".timeSamples") stay one token.
bool isIdentifierPart(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '.';
}
bool isNumberStart(std::string_view rest) {
    if (rest.empty()) return false;
    char c = rest[0];
    if (std::isdigit(static_cast<unsigned char>(c))) return true;
    if ((c == '-' || c == '+' || c == '.') && rest.size() > 1)
        return std::isdigit(static_cast<unsigned char>(rest[1])) || rest[1] == '.' || rest.substr(1, 3) == "inf";
    return false;
}

} // namespace

const UsdaToken& UsdaTokenizer::peek() {
    if (!hasPeeked_) {
        peeked_ = scan();
        hasPeeked_ = true;
    }
    return peeked_;
}

UsdaToken UsdaTokenizer::next() {
    if (hasPeeked_) {
        hasPeeked_ = false;
        return std::move(peeked_);
    }
    return scan();
}

void UsdaTokenizer::skipSpaceAndComments() {
    while (pos_ < text_.size()) {
        char c = text_[pos_];
        if (c == '#') {
            while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++pos_;
        } else {
            return;
        }
    }
}

std::string UsdaTokenizer::delimited(std::string_view close) {
    auto end = text_.find(close, pos_);
    if (end == std::string_view::npos) throw UsdFormatError("unterminated token");
    std::string out(text_.substr(pos_, end - pos_));
    pos_ = end + close.size();
    return out;
}

std::string UsdaTokenizer::quoted(char quote) {
    const std::string triple(3, quote);
    if (text_.substr(pos_, 3) == triple) {
        pos_ += 3;
        return delimited(triple);
    }
    ++pos_;
    std::string out;
    while (pos_ < text_.size()) {
        char c = text_[pos_++];
        if (c == quote) return out;
        if (c == '\n') break;
        if (c == '\\' && pos_ < text_.size()) c = text_[pos_++];
        out += c;
    }
    throw UsdFormatError("unterminated string");
}

UsdaToken UsdaTokenizer::scan() {
    skipSpaceAndComments();
    UsdaToken t;
    if (pos_ >= text_.size()) return t;
    const char c = text_[pos_];
    const std::string_view rest = text_.substr(pos_);
    if (c == '"' || c == '\'') {
        t.kind = UsdaToken::Kind::string;
        t.text = quoted(c);
    } else if (c == '@') {
        t.kind = UsdaToken::Kind::assetPath;
        bool triple = rest.substr(0, 3) == "@@@";
        pos_ += triple ? 3 : 1;
        t.text = delimited(triple ? "@@@" : "@");
    } else if (c == '<') {
        t.kind = UsdaToken::Kind::pathRef;
        ++pos_;
        t.text = delimited(">");
    } else if (isNumberStart(rest)) {
        t.kind = UsdaToken::Kind::number;
        std::size_t start = pos_;
        ++pos_;
        while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.' ||
                                       ((text_[pos_] == '-' || text_[pos_] == '+') &&
                                        (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E'))))
            ++pos_;
        t.text = std::string(text_.substr(start, pos_ - start));
        std::string_view digits = t.text;
        bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
        if (digits == "inf") {
            t.number = std::numeric_limits<double>::infinity();
        } else {
            auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), t.number);
            if (ec == std::errc::result_out_of_range) t.number = std::numeric_limits<double>::infinity();
            else if (ec != std::errc() || ptr != digits.data() + digits.size()) throw UsdFormatError("bad number " + t.text);
        }
        if (negative) t.number = -t.number;
    } else if (isIdentifierStart(c)) {
        t.kind = UsdaToken::Kind::identifier;
        std::size_t start = pos_;
        while (pos_ < text_.size() && isIdentifierPart(text_[pos_])) ++pos_;
        t.text = std::string(text_.substr(start, pos_ - start));
    } else {
        t.kind = UsdaToken::Kind::punct;
        t.text = std::string(1, c);
        ++pos_;
    }
    return t;
}

} // namespace trimeo::usd
