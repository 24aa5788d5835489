#include "UsdaParser.h"

#include "UsdaTokenizer.h"

#include <array>
#include <limits>
#include <set>

namespace trimeo::usd {
namespace {

using Kind = UsdaToken::Kind;

constexpr std::array<std::string_view, 6> kListOps{"prepend", "append", "add", "delete", "reorder", "remove"};
constexpr std::array<std::string_view, 4> kVariabilities{"custom", "uniform", "varying", "config"};

template <std::size_t N> bool isOneOf(const UsdaToken& t, const std::array<std::string_view, N>& words) {
    for (std::string_view w : words)
        if (t.isWord(w)) return true;
    return false;
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

class Parser {
public:
    explicit Parser(std::string_view text) : tokens_(text) {}

    Stage layer() {
        Stage stage;
        if (tokens_.peek().is('(')) layerMetadata(stage);
        while (tokens_.peek().kind != Kind::end) stage.rootPrims.push_back(prim(1));
        return stage;
    }

private:
    UsdaToken expect(Kind kind, const char* what) {
        UsdaToken t = tokens_.next();
        if (t.kind != kind) throw UsdFormatError(std::string("expected ") + what);
        return t;
    }
    void expectPunct(char c) {
        if (!tokens_.next().is(c)) throw UsdFormatError(std::string("expected '") + c + "'");
    }
    void checkDepth(int depth) {
        if (depth > kMaxNestingDepth) throw UsdFormatError("nesting too deep");
    }

    // Values: numbers, words, strings, tuples and arrays flattened; dictionaries dropped.
    void value(Value& out, int depth) {
        checkDepth(depth);
        UsdaToken t = tokens_.next();
        switch (t.kind) {
        case Kind::number: out.numbers.push_back(t.number); return;
        case Kind::assetPath:
            // A reference names a prim right after the asset: @file.usda@</Prim>.
            if (tokens_.peek().kind == Kind::pathRef) {
                t.text += '<';
                t.text += tokens_.next().text;
                t.text += '>';
            }
            [[fallthrough]];
        case Kind::string:
        case Kind::pathRef: out.texts.push_back(std::move(t.text)); return;
        case Kind::identifier:
            if (t.text == "true" || t.text == "false") out.numbers.push_back(t.text == "true" ? 1 : 0);
            else if (t.text == "inf") out.numbers.push_back(std::numeric_limits<double>::infinity());
            else if (t.text == "nan") out.numbers.push_back(std::numeric_limits<double>::quiet_NaN());
            else if (t.text != "None") out.texts.push_back(std::move(t.text));
            return;
        case Kind::punct:
            if (t.is('(')) return sequence(out, ')', depth);
            if (t.is('[')) return sequence(out, ']', depth);
            if (t.is('{')) return skipGroup('}', depth);
            break;
        case Kind::end: break;
        }
        throw UsdFormatError("expected a value");
    }

    void sequence(Value& out, char close, int depth) {
        while (!tokens_.peek().is(close)) {
            value(out, depth + 1);
            if (tokens_.peek().is(',')) tokens_.next();
            else if (!tokens_.peek().is(close)) throw UsdFormatError("expected ',' in a list");
        }
        tokens_.next();
    }

    // Skips tokens up to the `close` matching an opening already read.
    void skipGroup(char close, int depth) {
        checkDepth(depth);
        for (;;) {
            UsdaToken t = tokens_.next();
            if (t.kind == Kind::end) throw UsdFormatError("unbalanced brackets");
            if (t.is(close)) return;
            if (t.is('(')) skipGroup(')', depth + 1);
            else if (t.is('[')) skipGroup(']', depth + 1);
            else if (t.is('{')) skipGroup('}', depth + 1);
            else if (t.is(')') || t.is(']') || t.is('}')) throw UsdFormatError("unbalanced brackets");
        }
    }

    // `( key = value ... )`; calls `onEntry(key, value)` for each entry.
    template <class OnEntry> void metadata(OnEntry onEntry) {
        expectPunct('(');
        while (!tokens_.peek().is(')')) {
            UsdaToken t = tokens_.next();
            if (t.kind == Kind::string || t.is(';') || t.is(',')) continue; // doc string, separators
            if (t.kind != Kind::identifier) throw UsdFormatError("expected metadata");
            if (isOneOf(t, kListOps)) t = expect(Kind::identifier, "a metadata name");
            Value v;
            if (tokens_.peek().is('=')) {
                tokens_.next();
                value(v, 1);
            }
            onEntry(t.text, v);
        }
        tokens_.next();
    }

    void layerMetadata(Stage& stage) {
        metadata([&](const std::string& key, Value& v) {
            if (key == "upAxis" && !v.texts.empty()) stage.upAxis = v.texts.front();
        });
    }

    Prim prim(int depth) {
        checkDepth(depth);
        UsdaToken keyword = expect(Kind::identifier, "def, over or class");
        Prim p;
        if (keyword.text == "def") p.specifier = Specifier::def;
        else if (keyword.text == "over") p.specifier = Specifier::over;
        else if (keyword.text == "class") p.specifier = Specifier::klass;
        else throw UsdFormatError("expected def, over or class");
        if (tokens_.peek().kind == Kind::identifier) p.typeName = tokens_.next().text;
        p.name = expect(Kind::string, "a prim name").text;
        if (tokens_.peek().is('(')) metadata([](const std::string&, Value&) {});
        expectPunct('{');
        std::set<std::string> sampled;
        while (!tokens_.peek().is('}')) {
            const UsdaToken& t = tokens_.peek();
            if (t.kind == Kind::end) throw UsdFormatError("unterminated prim");
            if (t.isWord("def") || t.isWord("over") || t.isWord("class")) {
                p.children.push_back(prim(depth + 1));
            } else if (t.isWord("variantSet")) {
                tokens_.next();
                expect(Kind::string, "a variant set name");
                expectPunct('=');
                expectPunct('{');
                skipGroup('}', depth + 1);
            } else {
                property(p, sampled, depth);
            }
        }
        tokens_.next();
        return p;
    }

    void property(Prim& p, std::set<std::string>& sampled, int depth) {
        UsdaToken t = tokens_.next();
        bool discard = false;
        if (isOneOf(t, kListOps)) {
            discard = true;
            t = tokens_.next();
        }
        if (t.isWord("rel")) {
            discard = true;
            expect(Kind::identifier, "a relationship name");
        } else {
            while (isOneOf(t, kVariabilities)) t = tokens_.next();
            if (t.kind != Kind::identifier) throw UsdFormatError("expected a property");
            Attribute attr;
            attr.typeName = t.text;
            // reorder statements have no type: "reorder properties = [...]"
            if (tokens_.peek().is('=')) discard = true;
            else {
                if (tokens_.peek().is('[')) {
                    tokens_.next();
                    expectPunct(']');
                    attr.typeName += "[]";
                }
                t = expect(Kind::identifier, "an attribute name");
            }
            std::string name = t.text;
            bool isSamples = false;
            if (endsWith(name, ".timeSamples")) {
                isSamples = true;
                name.resize(name.size() - 12);
            } else if (name.find('.') != std::string::npos) {
                discard = true; // connections, splines
            }
            Value v;
            bool hasValue = false;
            if (tokens_.peek().is('=')) {
                tokens_.next();
                hasValue = true;
                if (isSamples) firstSample(v, depth);
                else value(v, 1);
            }
            std::string interpolation;
            if (tokens_.peek().is('(')) {
                metadata([&](const std::string& key, Value& m) {
                    if (key == "interpolation" && !m.texts.empty()) interpolation = m.texts.front();
                });
            }
            if (discard) return;
            Attribute& slot = p.attributes[name];
            slot.typeName = attr.typeName;
            if (!interpolation.empty()) slot.interpolation = interpolation;
            // A sampled value is what a viewer shows at the first frame: it beats a default.
            if (hasValue && !sampled.count(name)) slot.value = std::move(v);
            if (hasValue && isSamples) sampled.insert(name);
            return;
        }
        if (tokens_.peek().is('=')) {
            tokens_.next();
            Value ignored;
            value(ignored, 1);
        }
        if (tokens_.peek().is('(')) metadata([](const std::string&, Value&) {});
    }

    // `{ time: value, ... }`: keeps the first sample, parses and drops the rest.
    void firstSample(Value& out, int depth) {
        expectPunct('{');
        bool first = true;
        while (!tokens_.peek().is('}')) {
            expect(Kind::number, "a sample time");
            expectPunct(':');
            Value v;
            value(v, depth + 1);
            if (first) out = std::move(v);
            first = false;
            if (tokens_.peek().is(',')) tokens_.next();
        }
        tokens_.next();
    }

    UsdaTokenizer tokens_;
};

} // namespace

Stage parseUsda(std::string_view text) {
    if (text.substr(0, 5) != "#usda") throw UsdFormatError("not a usda layer");
    return Parser(text).layer();
}

} // namespace trimeo::usd
