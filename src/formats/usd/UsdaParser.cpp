#include "UsdaParser.h"

#include "UsdaTokenizer.h"

#include <array>
#include <limits>
#include <map>
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

    // `( key = value ... )`: `onEntry(listOp, key)` reads the value of the keys it knows
    // (the '=' already taken) and returns true; other values are parsed and dropped.
    template <class OnEntry> void metadata(OnEntry onEntry) {
        expectPunct('(');
        while (!tokens_.peek().is(')')) {
            UsdaToken t = tokens_.next();
            if (t.kind == Kind::string || t.is(';') || t.is(',')) continue; // doc string, separators
            if (t.kind != Kind::identifier) throw UsdFormatError("expected metadata");
            std::string op;
            if (isOneOf(t, kListOps)) {
                op = t.text;
                t = expect(Kind::identifier, "a metadata name");
            }
            if (!tokens_.peek().is('=')) continue;
            tokens_.next();
            if (onEntry(op, t.text)) continue;
            Value ignored;
            value(ignored, 1);
        }
        tokens_.next();
    }

    // One list-edited field: each statement's items, combined as one layer states them.
    struct ListEdit {
        std::vector<Arc> explicitItems, prepended, appended, deleted;
        bool any = false;
        void add(const std::string& op, std::vector<Arc> items) {
            any = true;
            auto& to = op == "prepend" ? prepended
                       : op == "append" || op == "add" ? appended
                       : op == "delete" ? deleted
                       : op.empty() ? explicitItems : reordered_;
            to = std::move(items);
        }
        // Prepended, explicit and appended items in order, deleted ones left out.
        std::vector<Arc> flattened() const {
            std::vector<Arc> out;
            for (const auto* list : {&prepended, &explicitItems, &appended})
                for (const Arc& a : *list) {
                    bool gone = false;
                    for (const Arc& d : deleted) gone = gone || (d.assetPath == a.assetPath && d.primPath == a.primPath);
                    if (!gone) out.push_back(a);
                }
            return out;
        }

    private:
        std::vector<Arc> reordered_;
    };

    // `None`, one item or `[item, ...]`; an item is @asset@, @asset@</path> or </path>,
    // each perhaps followed by `( offset = ... )`, which is dropped.
    std::vector<Arc> arcList(int depth) {
        std::vector<Arc> out;
        if (tokens_.peek().isWord("None")) {
            tokens_.next();
            return out;
        }
        const bool list = tokens_.peek().is('[');
        if (list) tokens_.next();
        while (!list || !tokens_.peek().is(']')) {
            UsdaToken t = tokens_.next();
            Arc arc;
            if (t.kind == Kind::assetPath) {
                arc.assetPath = std::move(t.text);
                if (tokens_.peek().kind == Kind::pathRef) arc.primPath = tokens_.next().text;
            } else if (t.kind == Kind::pathRef) {
                arc.primPath = std::move(t.text);
            } else {
                throw UsdFormatError("expected an asset path or a prim path");
            }
            if (tokens_.peek().is('(')) {
                tokens_.next();
                skipGroup(')', depth + 1);
            }
            out.push_back(std::move(arc));
            if (!list) break;
            if (tokens_.peek().is(',')) tokens_.next();
            else if (!tokens_.peek().is(']')) throw UsdFormatError("expected ',' in a list");
        }
        if (list) tokens_.next();
        return out;
    }

    std::vector<std::string> pathList(int depth) {
        std::vector<std::string> out;
        for (Arc& a : arcList(depth)) out.push_back(std::move(a.primPath));
        return out;
    }

    bool boolean() {
        Value v;
        value(v, 1);
        return !v.numbers.empty() && v.numbers.front() != 0;
    }

    void layerMetadata(Stage& stage) {
        metadata([&](const std::string&, const std::string& key) {
            Value v;
            if (key == "subLayers") {
                for (Arc& a : arcList(1)) stage.subLayers.push_back(std::move(a.assetPath));
                return true;
            }
            if (key != "upAxis" && key != "defaultPrim" && key != "metersPerUnit") return false;
            value(v, 1);
            if (key == "upAxis" && !v.texts.empty()) stage.upAxis = v.texts.front();
            if (key == "defaultPrim" && !v.texts.empty()) stage.defaultPrim = v.texts.front();
            if (key == "metersPerUnit" && !v.numbers.empty()) stage.metersPerUnit = v.numbers.front();
            return true;
        });
    }

    // `variants = { string set = "choice" ... }`
    void variantSelections(Prim& p) {
        expectPunct('{');
        while (!tokens_.peek().is('}')) {
            expect(Kind::identifier, "a variant selection type");
            UsdaToken set = tokens_.next();
            if (set.kind != Kind::identifier && set.kind != Kind::string) throw UsdFormatError("expected a variant set name");
            expectPunct('=');
            UsdaToken choice = expect(Kind::string, "a variant name");
            p.variantSelections[set.text] = std::move(choice.text);
            if (tokens_.peek().is(';') || tokens_.peek().is(',')) tokens_.next();
        }
        tokens_.next();
    }

    void primMetadata(Prim& p) {
        std::map<std::string, ListEdit> edits;
        metadata([&](const std::string& op, const std::string& key) {
            if (key == "references" || key == "payload" || key == "inherits" || key == "specializes") {
                edits[key].add(op, arcList(1));
                return true;
            }
            if (key == "variants") variantSelections(p);
            else if (key == "active") p.active = boolean();
            else if (key == "instanceable") p.instanceable = boolean();
            else if (key == "kind") {
                Value v;
                value(v, 1);
                if (!v.texts.empty()) p.kind = v.texts.front();
            } else return false;
            return true;
        });
        for (auto& [key, edit] : edits) {
            auto& to = key == "references" ? p.references
                       : key == "payload"  ? p.payloads
                       : key == "inherits" ? p.inherits
                                           : p.specializes;
            to = edit.flattened();
        }
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
        if (tokens_.peek().is('(')) primMetadata(p);
        body(p, depth);
        return p;
    }

    // `{ properties, child prims and variant sets }`
    void body(Prim& p, int depth) {
        expectPunct('{');
        std::set<std::string> sampled;
        while (!tokens_.peek().is('}')) {
            const UsdaToken& t = tokens_.peek();
            if (t.kind == Kind::end) throw UsdFormatError("unterminated prim");
            if (t.isWord("def") || t.isWord("over") || t.isWord("class")) {
                p.children.push_back(prim(depth + 1));
            } else if (t.isWord("variantSet")) {
                tokens_.next();
                std::string set = expect(Kind::string, "a variant set name").text;
                expectPunct('=');
                variantSet(p.variantSets[set], depth + 1);
            } else {
                property(p, sampled, depth);
            }
        }
        tokens_.next();
    }

    // `{ "name" (metadata) { body } ... }`; a variant's own variant sets are not kept.
    void variantSet(std::map<std::string, Variant>& variants, int depth) {
        checkDepth(depth);
        expectPunct('{');
        while (!tokens_.peek().is('}')) {
            std::string name = expect(Kind::string, "a variant name").text;
            Prim inside;
            if (tokens_.peek().is('(')) primMetadata(inside);
            body(inside, depth + 1);
            variants[name] = variantFrom(std::move(inside));
        }
        tokens_.next();
    }

    void property(Prim& p, std::set<std::string>& sampled, int depth) {
        UsdaToken t = tokens_.next();
        std::string op;
        if (isOneOf(t, kListOps)) {
            op = t.text;
            t = tokens_.next();
        }
        while (isOneOf(t, kVariabilities)) t = tokens_.next();
        if (t.isWord("rel")) return relationship(p, op, depth);
        if (t.kind != Kind::identifier) throw UsdFormatError("expected a property");
        std::string typeName = t.text;
        // reorder statements have no type: "reorder properties = [...]"
        if (tokens_.peek().is('=')) {
            tokens_.next();
            Value ignored;
            value(ignored, 1);
            return;
        }
        if (tokens_.peek().is('[')) {
            tokens_.next();
            expectPunct(']');
            typeName += "[]";
        }
        std::string name = expect(Kind::identifier, "an attribute name").text;
        enum class Part { value, samples, connect, other } part = Part::value;
        if (endsWith(name, ".timeSamples")) part = Part::samples, name.resize(name.size() - 12);
        else if (endsWith(name, ".connect")) part = Part::connect, name.resize(name.size() - 8);
        else if (name.find('.') != std::string::npos) part = Part::other; // splines and the like
        Value v;
        std::vector<std::string> targets;
        bool hasValue = false;
        if (tokens_.peek().is('=')) {
            tokens_.next();
            hasValue = true;
            if (part == Part::samples) firstSample(v, depth);
            else if (part == Part::connect) targets = pathList(depth);
            else value(v, 1);
        }
        std::string interpolation;
        if (tokens_.peek().is('(')) {
            metadata([&](const std::string&, const std::string& key) {
                if (key != "interpolation") return false;
                Value m;
                value(m, 1);
                if (!m.texts.empty()) interpolation = m.texts.front();
                return true;
            });
        }
        if (part == Part::other || op == "delete" || op == "reorder") return;
        Attribute& slot = p.attributes[name];
        slot.typeName = typeName;
        if (!interpolation.empty()) slot.interpolation = interpolation;
        if (part == Part::connect) {
            slot.connections = std::move(targets);
            return;
        }
        // A sampled value is what a viewer shows at the first frame: it beats a default.
        if (hasValue && !sampled.count(name)) slot.value = std::move(v);
        if (hasValue && part == Part::samples) sampled.insert(name);
    }

    // `rel name`, `rel name = </target>` or `= [</a>, </b>]`, with list edits.
    void relationship(Prim& p, const std::string& op, int depth) {
        std::string name = expect(Kind::identifier, "a relationship name").text;
        std::vector<std::string> targets;
        bool hasValue = false;
        if (tokens_.peek().is('=')) {
            tokens_.next();
            hasValue = true;
            targets = pathList(depth);
        }
        if (tokens_.peek().is('(')) metadata([](const std::string&, const std::string&) { return false; });
        if (name.find('.') != std::string::npos || op == "delete" || op == "reorder") return;
        auto& slot = p.relationships[name];
        if (!hasValue) return;
        if (op == "append" || op == "add") slot.insert(slot.end(), targets.begin(), targets.end());
        else if (op == "prepend") slot.insert(slot.begin(), targets.begin(), targets.end());
        else slot = std::move(targets);
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
