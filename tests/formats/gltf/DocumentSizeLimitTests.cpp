// The bound on the JSON tree: a document with more containers and separators than
// JSONDocument::maxStructuralTokens is refused with a parseError before any tree is built.
#include "GLTFTestAssets.h"
#include "formats/gltf/JSONDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace trimeo::test {
namespace {

using gltf::JSONDocument;

// {"meshes":[{},{},...]} with `objects` empty objects: 2 * objects + 1 tokens in all.
std::string manyObjects(std::size_t objects) {
    std::string text = "{\"meshes\":[";
    text.reserve(text.size() + objects * 3 + 2);
    for (std::size_t i = 0; i < objects; ++i) text += i ? ",{}" : "{}";
    return text + "]}";
}

TEST(DocumentSizeLimit, RefusesTooManyValuesInTextAndBinaryForm) {
    const auto text = bytes(manyObjects(JSONDocument::maxStructuralTokens / 2 + 1));
    for (const auto& [data, name] : {std::pair{text, "m.gltf"}, {glbContainer({{chunkJSON, text}}), "m.glb"}})
        EXPECT_EQ(loadError(data, name), "Parse error: glTF JSON has more than 8388608 values") << name;
}

TEST(DocumentSizeLimit, CountsOnlyOutsideStrings) {
    // Commas and brackets inside a string cost the tree nothing.
    const std::string inString = "{\"a\":\"" + std::string(JSONDocument::maxStructuralTokens + 10, ',') + "\"}";
    ASSERT_TRUE(JSONDocument::parse(inString).has_value());
    const std::string escaped = "{\"a\":\"\\\"" + std::string(JSONDocument::maxStructuralTokens + 10, '[') + "\"}";
    EXPECT_TRUE(JSONDocument::parse(escaped).has_value());
    EXPECT_TRUE(JSONDocument::parse(manyObjects(1000)).has_value());
}

} // namespace
} // namespace trimeo::test
