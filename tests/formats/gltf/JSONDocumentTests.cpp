#include "GLTFTestAssets.h"
#include "formats/gltf/JSONDocument.h"

#include <gtest/gtest.h>

#include <limits>

namespace trimeo::test {
namespace {

using gltf::JSONDocument;

std::string nested(std::size_t depth, const std::string& inner = "1") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

TEST(GLTFJSON, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    EXPECT_TRUE(JSONDocument::parse(nested(JSONDocument::maxDepth)));
    EXPECT_FALSE(JSONDocument::parse(nested(JSONDocument::maxDepth + 1)));

    const std::string deep = "{\"meshes\":[],\"x\":" + nested(100000) + "}";
    EXPECT_EQ(loadError(bytes(deep), "m.gltf"), "Parse error: Failed to parse glTF JSON");
    EXPECT_EQ(loadError(glbContainer({{chunkJSON, bytes(deep)}}), "m.glb"), "Parse error: Failed to parse GLB JSON");
    const std::string unclosed = "{\"meshes\":[],\"x\":" + std::string(100000, '{');
    EXPECT_EQ(loadError(bytes(unclosed), "m.gltf"), "Parse error: Failed to parse glTF JSON");

    // Brackets inside strings, escaped quotes included, are text.
    const std::string quoted = "{\"meshes\":[],\"x\":\"\\\"" + std::string(1000, '[') + "\",\"y\":\"\\\\\"}";
    EXPECT_EQ(loadError(bytes(quoted), "m.gltf"), "loaded");
}

TEST(GLTFJSON, IntegersAreIntegralNumbersWhateverTheirStoredType) {
    const auto doc = JSONDocument::parse(
        R"([3, 3.0, 3e0, 300e-2, -0.0, 3.5, "3", true, null, 1e300, -1e300, 18446744073709551615, -9223372036854775808, 9.5e18])");
    ASSERT_TRUE(doc);
    const auto& a = doc->root();
    auto at = [&](std::size_t i) { return gltf::integerValue(&a[i]); };
    const std::int64_t maxInt = std::numeric_limits<std::int64_t>::max(), minInt = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(at(0), 3);
    EXPECT_EQ(at(1), 3);
    EXPECT_EQ(at(2), 3);
    EXPECT_EQ(at(3), 3);
    EXPECT_EQ(at(4), 0);
    for (std::size_t i : {5, 6, 7, 8}) EXPECT_FALSE(at(i)) << i;
    EXPECT_EQ(at(9), maxInt);
    EXPECT_EQ(at(10), minInt);
    EXPECT_EQ(at(11), maxInt);
    EXPECT_EQ(at(12), minInt);
    EXPECT_EQ(at(13), maxInt);
    EXPECT_FALSE(gltf::integerValue(nullptr));
}

TEST(GLTFJSON, LongStringsReadBackAsTheirText) {
    const std::string longText(JSONDocument::longStringLength, 'b');
    const std::string text = "{\"a\":\"" + longText + "\",\"b\":[\"" + longText + "c\"],\"s\":\"\"}";
    const auto doc = JSONDocument::parse(text); // the document refers to `text`
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->text(doc->root()["a"]), longText);
    EXPECT_EQ(doc->text(doc->root()["b"][0]), longText + "c");
    EXPECT_EQ(doc->text(doc->root()["s"]), "");

    // This document spells a NUL escape, so no placeholder was made: "\u00000" is its own text.
    const std::string withNul = "{\"a\":\"" + longText + "\",\"n\":\"\\u00000\"}";
    const auto plain = JSONDocument::parse(withNul);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->text(plain->root()["a"]), longText);
    EXPECT_EQ(plain->text(plain->root()["n"]), std::string_view("\0" "0", 2));
}

TEST(GLTFJSON, NumbersBeyondTheDoubleRangeAreInfinities) {
    const auto doc = JSONDocument::parse(R"([1e400, -1E+309, 1e308, 1e-400, "1e400", {"k": [2e999]}, 1)" +
                                         std::string(400, '9') + "]");
    ASSERT_TRUE(doc);
    const auto& a = doc->root();
    EXPECT_EQ(gltf::numberValue(&a[0]), INFINITY);
    EXPECT_EQ(gltf::numberValue(&a[1]), -INFINITY);
    EXPECT_EQ(gltf::numberValue(&a[2]), 1e308);
    EXPECT_EQ(gltf::numberValue(&a[3]), 0.0);
    EXPECT_EQ(doc->text(a[4]), "1e400"); // text stays text
    EXPECT_EQ(gltf::numberValue(&a[5]["k"][0]), INFINITY);
    EXPECT_EQ(gltf::numberValue(&a[6]), INFINITY); // 401 digits
    EXPECT_EQ(gltf::integerValue(&a[0]), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(gltf::integerValue(&a[1]), std::numeric_limits<std::int64_t>::min());

    // Still JSON: malformed numbers, and numbers where keys belong, are refused.
    for (const char* bad : {"[1e400e1]", "[01e400]", "[1e]", "{1e400: 1}", "[1e400 1]", "[-]"})
        EXPECT_FALSE(JSONDocument::parse(bad)) << bad;
    // Beside long strings and NUL escapes alike.
    const std::string longText(JSONDocument::longStringLength, 'b');
    const auto mixed = JSONDocument::parse("[\"" + longText + "\", 1e999, \"\\u0000+\"]");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->text(mixed->root()[0]), longText);
    EXPECT_EQ(gltf::numberValue(&mixed->root()[1]), INFINITY);
}

} // namespace
} // namespace trimeo::test
