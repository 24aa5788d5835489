#include "PlainXMLReader.h"

#include "XMLCharacters.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace trimeo::threemf {
namespace {

using namespace xml;

struct Declined {};
[[noreturn]] void decline() { throw Declined{}; }

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

    static bool isSpace(char c) { return is(c, kSpace); }
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
        if (p_ == end_ || !is(*p_, kNameStart)) decline();
        ++p_;
        while (p_ != end_ && is(*p_, kNameChar)) ++p_;
        if (p_ != end_ && std::uint8_t(*p_) >= 0x80) decline();
        return {start, std::size_t(p_ - start)};
    }

    // One well-formed UTF-8 sequence of an XML character, or decline.
    void skipUTF8() {
        const std::size_t length = utf8CharacterLength(p_, end_);
        if (length == 0) decline();
        p_ += length;
    }

    // A reference at '&': the code point it stands for, or decline.
    std::uint32_t readReference() {
        std::uint32_t value = 0;
        p_ = xml::readReference(p_, end_, value);
        if (!p_) decline();
        return value;
    }

    // The value after the opening quote, up to and past the closing one. A value with
    // references or white space other than spaces is also decoded, onto scratch_.
    std::string_view readValue(char quote, bool& decoded) {
        const char* start = p_;
        decoded = false;
        for (;;) {
            while (p_ != end_ && is(*p_, kPlainValue)) ++p_;
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
        const char* const end = raw.data() + raw.size();
        for (const char* q = raw.data(); q != end;) {
            if (*q == '\r') {
                scratch_ += ' ';
                q += q + 1 != end && q[1] == '\n' ? 2 : 1;
            } else if (*q == '\t' || *q == '\n') {
                scratch_ += ' ';
                ++q;
            } else if (*q == '&') {
                std::uint32_t value = 0;
                q = xml::readReference(q, end, value); // checked while scanning
                appendUTF8(scratch_, value);
            } else {
                scratch_ += *q++;
            }
        }
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
        for (const Decoded& d : decodedAt_)
            attributes_[d.attribute].value = std::string_view(scratch_).substr(d.offset, d.length);
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
            while (p_ != end_ && is(*p_, kPlainText)) ++p_;
            if (p_ == end_) decline();
            const char c = *p_;
            if (c == '<') return;
            if (c == '&') {
                readReference();
            } else if (c == ']') {
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
