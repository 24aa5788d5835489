#include "PlainXMLReader.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace trimeo::threemf {
namespace {

enum : std::uint8_t {
    kNameStart = 1,
    kNameChar = 2,
    kSpace = 4,
    kPlainValue = 8, // taken as is inside an attribute value
    kPlainText = 16, // taken as is in character data
};

// Non-ASCII bytes have no class: they go through the UTF-8 check, and end a name (which
// declines: names beyond ASCII are left to expat). DEL is declined too.
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
constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

struct Declined {};
[[noreturn]] void decline() { throw Declined{}; }

bool isXMLChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
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

class Reader {
public:
    Reader(const char* begin, const char* end, XMLEventHandler& handler) : p_(begin), end_(end), handler_(handler) {}
    Reader(const ArrivingDocument& arriving, XMLEventHandler& handler)
        : p_(nullptr), end_(nullptr), handler_(handler), arriving_(&arriving) {
        const ArrivingDocument::State state = arriving.waitBeyond(0);
        take(state);
        p_ = begin_;
    }

    void readDocument() {
        step([&] {
            if (startsWith("\xEF\xBB\xBF")) p_ += 3;
            if (startsWith("<?xml") && end_ - p_ > 5 && isSpace(p_[5])) readDeclaration();
            readMisc();
            if (p_ == end_ || *p_ != '<') decline(); // no root element
            readStartTag();
        });
        while (!open_.empty()) {
            step([&] {
                readText();
                if (startsWith("</")) readEndTag();
                else if (startsWith("<!--")) readComment();
                else if (startsWith("<!") || startsWith("<?")) decline();
                else readStartTag();
            });
        }
        // What follows the root element can be judged only once all of it is there.
        while (arriving_ && !finished_) take(arriving_->waitBeyond(std::size_t(end_ - begin_)));
        readMisc();
        if (p_ != end_) decline();
    }

private:
    // One piece of the document that delivers its events only once it has read to its end.
    // While the document arrives, a piece that runs out of bytes (or meets a fault, which
    // may just be bytes not yet there) is read again from its start when more has come:
    // at least twice what it saw, so that a long piece is not read over and over.
    template <class Piece> void step(Piece&& piece) {
        const char* start = p_;
        for (;;) {
            try {
                piece();
                return;
            } catch (const Declined&) {
                if (!arriving_ || finished_) throw;
            }
            const std::size_t want = std::size_t(start - begin_) + 2 * std::size_t(end_ - start);
            do take(arriving_->waitBeyond(std::max(want, std::size_t(end_ - begin_) + 1) - 1));
            while (!finished_ && std::size_t(end_ - begin_) < want);
            p_ = start;
        }
    }

    void take(const ArrivingDocument::State& state) {
        if (state.abandoned) decline();
        begin_ = reinterpret_cast<const char*>(state.begin);
        end_ = begin_ + state.arrived;
        finished_ = state.finished;
    }

    static bool isSpace(char c) { return kClasses[std::uint8_t(c)] & kSpace; }
    bool has(std::size_t n) const { return std::size_t(end_ - p_) >= n; }
    bool startsWith(std::string_view s) const { return has(s.size()) && std::string_view(p_, s.size()) == s; }

    bool skipSpace() {
        const char* start = p_;
        while (p_ != end_ && isSpace(*p_)) ++p_;
        return p_ != start;
    }

    void expect(std::string_view s) {
        if (!startsWith(s)) decline();
        p_ += s.size();
    }

    std::string_view readName() {
        const char* start = p_;
        if (p_ == end_ || !(kClasses[std::uint8_t(*p_)] & kNameStart)) decline();
        ++p_;
        while (p_ != end_ && (kClasses[std::uint8_t(*p_)] & kNameChar)) ++p_;
        if (p_ != end_ && std::uint8_t(*p_) >= 0x80) decline();
        return {start, std::size_t(p_ - start)};
    }

    // One well-formed UTF-8 sequence of an XML character, or decline.
    void skipUTF8() {
        auto byte = [&](std::size_t i) { return std::uint8_t(p_[i]); };
        auto continuation = [&](std::size_t i, std::uint8_t low = 0x80, std::uint8_t high = 0xBF) {
            return byte(i) >= low && byte(i) <= high;
        };
        const std::uint8_t b0 = byte(0);
        std::size_t length = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) length = 2;
        else if (b0 >= 0xE0 && b0 <= 0xEF) length = 3;
        else if (b0 >= 0xF0 && b0 <= 0xF4) length = 4;
        if (length == 0 || !has(length)) decline();
        bool valid = true;
        if (length == 2) {
            valid = continuation(1);
        } else if (length == 3) {
            const std::uint8_t low = b0 == 0xE0 ? 0xA0 : 0x80, high = b0 == 0xED ? 0x9F : 0xBF;
            valid = continuation(1, low, high) && continuation(2);
            if (b0 == 0xEF && byte(1) == 0xBF && (byte(2) == 0xBE || byte(2) == 0xBF)) valid = false; // U+FFFE, U+FFFF
        } else {
            const std::uint8_t low = b0 == 0xF0 ? 0x90 : 0x80, high = b0 == 0xF4 ? 0x8F : 0xBF;
            valid = continuation(1, low, high) && continuation(2) && continuation(3);
        }
        if (!valid) decline();
        p_ += length;
    }

    // A reference after '&': the code point it stands for, or decline.
    std::uint32_t readReference() {
        ++p_;
        std::uint32_t value = 0;
        if (startsWith("#x")) {
            p_ += 2;
            const char* start = p_;
            for (; p_ != end_ && *p_ != ';'; ++p_) {
                const char c = *p_;
                int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
                if (digit < 0) decline();
                value = value * 16 + std::uint32_t(digit);
                if (value > 0x10FFFF) decline();
            }
            if (p_ == start) decline();
        } else if (startsWith("#")) {
            ++p_;
            const char* start = p_;
            for (; p_ != end_ && *p_ != ';'; ++p_) {
                if (*p_ < '0' || *p_ > '9') decline();
                value = value * 10 + std::uint32_t(*p_ - '0');
                if (value > 0x10FFFF) decline();
            }
            if (p_ == start) decline();
        } else {
            const char* start = p_;
            while (p_ != end_ && *p_ != ';' && p_ - start < 5) ++p_;
            const std::string_view name(start, std::size_t(p_ - start));
            if (name == "lt") value = '<';
            else if (name == "gt") value = '>';
            else if (name == "amp") value = '&';
            else if (name == "quot") value = '"';
            else if (name == "apos") value = '\'';
            else decline();
        }
        if (p_ == end_ || !isXMLChar(value)) decline();
        ++p_; // ';'
        return value;
    }

    // The value after the opening quote, up to and past the closing one. A value with
    // references or white space other than spaces is decoded into scratch_ (at `decodedAt`).
    std::string_view readValue(char quote, bool& decoded) {
        const char* start = p_;
        decoded = false;
        for (;;) {
            while (p_ != end_ && (kClasses[std::uint8_t(*p_)] & kPlainValue)) ++p_;
            if (p_ == end_) decline();
            const char c = *p_;
            if (c == quote) break;
            if (c == '"' || c == '\'') {
                ++p_;
            } else if (c == '\t' || c == '\n' || c == '\r') {
                decoded = true;
                ++p_;
            } else if (c == '&') {
                decoded = true;
                readReference();
            } else if (std::uint8_t(c) >= 0x80) {
                skipUTF8();
            } else {
                decline(); // '<', control characters, DEL
            }
        }
        const std::string_view raw(start, std::size_t(p_ - start));
        ++p_;
        if (decoded) decode(raw);
        return raw;
    }

    // What expat reports for a checked value: references expanded, and each tab, line feed,
    // carriage return or CR LF pair written as one space.
    void decode(std::string_view raw) {
        const char* savedP = p_;
        const char* savedEnd = end_;
        for (std::size_t i = 0; i < raw.size();) {
            const char c = raw[i];
            if (c == '\r') {
                scratch_ += ' ';
                i += i + 1 < raw.size() && raw[i + 1] == '\n' ? 2 : 1;
            } else if (c == '\t' || c == '\n') {
                scratch_ += ' ';
                ++i;
            } else if (c == '&') {
                p_ = raw.data() + i;
                end_ = raw.data() + raw.size();
                appendUTF8(scratch_, readReference());
                i = std::size_t(p_ - raw.data());
            } else {
                scratch_ += c;
                ++i;
            }
        }
        p_ = savedP;
        end_ = savedEnd;
    }

    void readStartTag() {
        ++p_; // '<'
        const std::string_view name = readName();
        attributes_.clear();
        decodedAt_.clear();
        scratch_.clear();
        for (;;) {
            const bool spaced = skipSpace();
            if (p_ == end_) decline();
            if (*p_ == '>') {
                ++p_;
                deliverStart(name);
                open_.push_back(name);
                return;
            }
            if (*p_ == '/') {
                expect("/>");
                deliverStart(name);
                handler_.endElement(name);
                return;
            }
            if (!spaced) decline();
            const std::string_view attribute = readName();
            for (const XMLAttribute& earlier : attributes_)
                if (earlier.name == attribute) decline();
            if (attributes_.size() >= kMostAttributes) decline();
            skipSpace();
            expect("=");
            skipSpace();
            if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) decline();
            const char quote = *p_++;
            const std::size_t decodedStart = scratch_.size();
            bool decoded = false;
            const std::string_view value = readValue(quote, decoded);
            attributes_.push_back({attribute, value});
            if (decoded) decodedAt_.push_back({attributes_.size() - 1, decodedStart, scratch_.size() - decodedStart});
        }
    }

    // Decoded values point into scratch_ only once it has stopped growing.
    void deliverStart(std::string_view name) {
        for (const Decoded& d : decodedAt_) attributes_[d.attribute].value = std::string_view(scratch_).substr(d.offset, d.length);
        handler_.startElement(name, attributes_);
    }

    void readEndTag() {
        p_ += 2;
        const std::string_view name = readName();
        if (name != open_.back()) decline();
        skipSpace();
        expect(">");
        open_.pop_back();
        handler_.endElement(name);
    }

    // Character data up to the next '<'; it gives no event but must be well-formed.
    void readText() {
        for (;;) {
            while (p_ != end_ && (kClasses[std::uint8_t(*p_)] & kPlainText)) ++p_;
            if (p_ == end_) decline();
            const char c = *p_;
            if (c == '<') return;
            if (c == '&') readReference();
            else if (c == ']') {
                if (startsWith("]]>")) decline();
                ++p_;
            } else if (std::uint8_t(c) >= 0x80) {
                skipUTF8();
            } else {
                decline();
            }
        }
    }

    void readComment() {
        p_ += 4;
        for (;;) {
            if (p_ == end_) decline();
            const std::uint8_t c = std::uint8_t(*p_);
            if (c == '-' && startsWith("--")) {
                expect("-->"); // "--" may only close the comment
                return;
            }
            if (c >= 0x80) skipUTF8();
            else if ((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r') ++p_;
            else decline();
        }
    }

    // White space and comments around the root element.
    void readMisc() {
        for (;;) {
            skipSpace();
            if (!startsWith("<!--")) return;
            readComment();
        }
    }

    std::string_view readQuoted() {
        if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) decline();
        const char quote = *p_++;
        const char* start = p_;
        while (p_ != end_ && *p_ != quote) ++p_;
        if (p_ == end_) decline();
        return {start, std::size_t(p_++ - start)};
    }

    void readPseudoAttribute(std::string_view name, bool spaced) {
        if (!spaced) decline();
        expect(name);
        skipSpace();
        expect("=");
        skipSpace();
    }

    // <?xml version="1.0" [encoding="UTF-8"] [standalone="yes"|"no"] ?>
    void readDeclaration() {
        p_ += 5;
        readPseudoAttribute("version", skipSpace());
        if (readQuoted() != "1.0") decline();
        bool spaced = skipSpace();
        if (startsWith("encoding")) {
            readPseudoAttribute("encoding", spaced);
            const std::string_view encoding = readQuoted();
            if (encoding.size() != 5) decline();
            for (std::size_t i = 0; i < 5; ++i) {
                const char c = encoding[i] >= 'a' && encoding[i] <= 'z' ? char(encoding[i] - 32) : encoding[i];
                if (c != "UTF-8"[i]) decline();
            }
            spaced = skipSpace();
        }
        if (startsWith("standalone")) {
            readPseudoAttribute("standalone", spaced);
            const std::string_view value = readQuoted();
            if (value != "yes" && value != "no") decline();
            skipSpace();
        }
        expect("?>");
    }

    // Beyond this many attributes the duplicate check would turn quadratic: left to expat.
    static constexpr std::size_t kMostAttributes = 64;

    struct Decoded {
        std::size_t attribute, offset, length;
    };

    const char* p_;
    const char* end_;
    XMLEventHandler& handler_;
    const ArrivingDocument* arriving_ = nullptr; // none: the whole document is there
    const char* begin_ = nullptr;
    bool finished_ = false;
    std::vector<std::string_view> open_;
    std::vector<XMLAttribute> attributes_;
    std::vector<Decoded> decodedAt_;
    std::string scratch_;
};

} // namespace

bool readPlainXML(std::span<const std::uint8_t> document, XMLEventHandler& handler) {
    const char* begin = reinterpret_cast<const char*>(document.data());
    try {
        Reader(begin, begin + document.size(), handler).readDocument();
        return true;
    } catch (const Declined&) {
        return false;
    }
}

bool readPlainXML(const ArrivingDocument& document, XMLEventHandler& handler) {
    try {
        Reader(document, handler).readDocument();
        return true;
    } catch (const Declined&) {
        return false;
    }
}

} // namespace trimeo::threemf
