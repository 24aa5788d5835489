// The bound on the JSON tree: a document with more containers and separators than
// JSONDocument::maxStructuralTokens is refused with a parseError before any tree is built.
#include "formats/common/RelatedFiles.h"
#include "formats/gltf/GLTFParser.h"
#include "formats/gltf/JSONDocument.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using trimeo::GLTFParser;
using trimeo::LoaderError;
using trimeo::RelatedFiles;
using trimeo::gltf::JSONDocument;

namespace {

// {"meshes":[{},{},...]} with `objects` empty objects: 2 * objects + 1 tokens in all.
std::string manyObjects(std::size_t objects) {
    std::string text = "{\"meshes\":[";
    text.reserve(text.size() + objects * 3 + 2);
    for (std::size_t i = 0; i < objects; ++i) text += i ? ",{}" : "{}";
    return text + "]}";
}

std::vector<std::uint8_t> glbWith(const std::string& json) {
    std::string padded = json + std::string((4 - json.size() % 4) % 4, ' ');
    std::vector<std::uint8_t> out(20);
    auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(out.data() + at, &v, 4); };
    put(0, 0x46546C67);
    put(4, 2);
    put(8, std::uint32_t(20 + padded.size()));
    put(12, std::uint32_t(padded.size()));
    put(16, 0x4E4F534A);
    out.insert(out.end(), padded.begin(), padded.end());
    return out;
}

} // namespace

TEST(DocumentSizeLimit, RefusesTooManyValuesInTextAndBinaryForm) {
    const std::string text = manyObjects(JSONDocument::maxStructuralTokens / 2 + 1);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    for (const auto& [data, isBinary] : {std::pair{bytes, false}, std::pair{glbWith(text), true}}) {
        try {
            RelatedFiles nowhere;
            GLTFParser().parse(data, isBinary, nowhere);
            ADD_FAILURE() << "accepted " << data.size() << " bytes";
        } catch (const LoaderError& e) {
            EXPECT_EQ(e.kind(), LoaderError::Kind::parseError);
            EXPECT_EQ(e.errorDescription(), "Parse error: glTF JSON has more than 8388608 values");
        }
    }
}

TEST(DocumentSizeLimit, CountsOnlyOutsideStrings) {
    // Commas and brackets inside a string cost the tree nothing.
    const std::string inString = "{\"a\":\"" + std::string(JSONDocument::maxStructuralTokens + 10, ',') + "\"}";
    ASSERT_TRUE(JSONDocument::parse(inString).has_value());
    const std::string escaped = "{\"a\":\"\\\"" + std::string(JSONDocument::maxStructuralTokens + 10, '[') + "\"}";
    EXPECT_TRUE(JSONDocument::parse(escaped).has_value());
    EXPECT_TRUE(JSONDocument::parse(manyObjects(1000)).has_value());
}
