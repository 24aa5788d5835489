// A glTF document's JSON, parsed so that hostile or huge files stay cheap, plus the readers
// that apply the document's kind rules: a value of another kind than required counts as absent.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace trimeo::gltf {

using JSON = nlohmann::json;

class JSONDocument {
public:
    // Deeper nesting is refused: it only ever comes from hostile files, and parts of the
    // JSON library recurse.
    static constexpr std::size_t maxDepth = 256;
    // Plain string literals at least this long (an embedded base64 buffer) are not copied
    // into the tree but kept as views into the source text.
    static constexpr std::size_t longStringLength = 4096;

    // Containers plus separators ("[", "{" and ",") outside strings. The parsed tree costs
    // up to some 50 bytes for each of them (a text of "{}," repeated grows 17-fold), so
    // past this many the document is refused rather than built: some 400 MiB at worst.
    static constexpr std::size_t maxStructuralTokens = std::size_t(1) << 23;

    // Nullopt when `text` is not exactly one valid JSON value (UTF-8), or nests deeper than
    // maxDepth. Throws LoaderError::parseError("glTF JSON has more than 8388608 values")
    // past maxStructuralTokens. Numbers beyond the double range read as infinities rather than
    // failing the parse. The document keeps views into `text`, which must outlive it.
    static std::optional<JSONDocument> parse(std::string_view text);

    const JSON& root() const { return root_; }

    // The text of a string value; nullopt for any other kind. Every string read goes through
    // here, since long strings live outside the tree.
    std::optional<std::string_view> text(const JSON& value) const;

private:
    JSON root_;
    std::vector<std::string_view> longStrings_;
};

// The member `key` of an object; null when `object` is not an object or has no such key.
const JSON* member(const JSON& object, std::string_view key);
const JSON* member(const JSON* object, std::string_view key);

// A number with an integral value, whatever type the parser stored it as (3 and 3.0 are 3;
// 3.5 is none). Values beyond the 64-bit range, infinities included, saturate to its ends, so
// they still read as "too large" or "negative" rather than wrapping.
std::optional<std::int64_t> integerValue(const JSON* value);

// Any number as a double; numbers beyond the double range in the text read as infinities.
std::optional<double> numberValue(const JSON* value);

// The elements of an array whose every element is an object; nullopt for anything else.
std::optional<std::span<const JSON>> arrayOfObjects(const JSON* value);

} // namespace trimeo::gltf
