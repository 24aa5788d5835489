#include "GLTFTestAssets.h"

#include <gtest/gtest.h>

#include <limits>

namespace trimeo::test {
namespace {

const std::vector<float> unitTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};
const std::vector<float> sixVertices = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 2, 0, 0, 2, 1, 0};

// The single node a GLB of `a` yields, or null when it yields none.
scene::Node::Ptr onlyNode(const AssetBuilder& a) {
    auto nodes = modelNodes(load(a.glb(), "m.glb"));
    EXPECT_LE(nodes.size(), 1u);
    return nodes.empty() ? nullptr : nodes[0];
}

// A mesh over `xyz` whose position accessor gets `fields` merged in.
AssetBuilder positionsWith(const std::vector<float>& xyz, const json& fields) {
    AssetBuilder a;
    a.triangleMesh(xyz);
    a.document["accessors"][0].update(fields);
    return a;
}

// A mesh over sixVertices whose index accessor (32-bit, over `indices`) gets `fields` merged in.
AssetBuilder indicesWith(const std::vector<std::uint32_t>& indices, const json& fields = json::object()) {
    AssetBuilder a;
    a.triangleMesh(sixVertices, indices);
    a.document["accessors"][1].update(fields);
    for (auto it = fields.begin(); it != fields.end(); ++it)
        if (it.value().is_null()) a.document["accessors"][1].erase(it.key());
    return a;
}

TEST(GLTFGeometry, AttributesMustAllBeIntegersAndNameAValidPosition) {
    AssetBuilder a;
    a.triangleMesh(unitTriangle);
    a.document["meshes"][0]["primitives"][0]["attributes"]["NORMAL"] = 0; // read past, not used
    ASSERT_TRUE(onlyNode(a));
    EXPECT_EQ(onlyNode(a)->geometry->sources.size(), 1u);

    a.document["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"] = 1.0; // integral: an integer
    EXPECT_TRUE(onlyNode(a));
    for (const json& bad : {json("0"), json(0.5), json(true), json::array(), json(nullptr)}) {
        a.document["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"] = bad;
        EXPECT_FALSE(onlyNode(a)) << bad.dump();
    }
    a.document["meshes"][0]["primitives"][0]["attributes"].erase("TEXCOORD_0");

    for (const json& position : {json(1), json(-1), json(1e30), json("0"), json(0.25)}) {
        a.document["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = position;
        EXPECT_FALSE(onlyNode(a)) << position.dump();
    }
    a.document["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = 0.0;
    EXPECT_TRUE(onlyNode(a));
    a.document["meshes"][0]["primitives"][0]["attributes"] = json::array({0});
    EXPECT_FALSE(onlyNode(a));
}

TEST(GLTFGeometry, PositionAccessorNeedsAViewAndACount) {
    for (const json& fields : {json{{"bufferView", nullptr}}, json{{"bufferView", 1}}, json{{"bufferView", "0"}},
                               json{{"count", nullptr}}, json{{"count", 0}}, json{{"count", -3}}, json{{"count", 2.5}},
                               json{{"count", "3"}}}) {
        AssetBuilder a = positionsWith(unitTriangle, json::object());
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (it.value().is_null()) a.document["accessors"][0].erase(it.key());
            else a.document["accessors"][0][it.key()] = it.value();
        }
        EXPECT_FALSE(onlyNode(a)) << fields.dump();
    }
    EXPECT_EQ(positionsOf(*onlyNode(positionsWith(unitTriangle, {{"count", 3.0}}))), unitTriangle);
    EXPECT_EQ(positionsOf(*onlyNode(positionsWith(unitTriangle, {{"count", 2}}))),
              std::vector<float>(unitTriangle.begin(), unitTriangle.begin() + 6));
}

TEST(GLTFGeometry, VerticesPastTheEndAreLeftOut) {
    // count 3 needs 36 bytes from the start; only 30 remain: two vertices.
    AssetBuilder a = positionsWith(unitTriangle, {{"byteOffset", 6}});
    auto node = onlyNode(a);
    ASSERT_TRUE(node);
    EXPECT_EQ(node->geometry->vertexCount(), 2u);
    EXPECT_EQ(indicesOf(*node), (std::vector<std::uint32_t>{0, 1}));

    // A count far beyond the buffer reads what the buffer holds, no more.
    for (const json& huge : {json(1'000'000'000'000), json(std::numeric_limits<std::uint64_t>::max()), json(1e300)})
        EXPECT_EQ(positionsOf(*onlyNode(positionsWith(unitTriangle, {{"count", huge}}))), unitTriangle) << huge.dump();

    // Starting at or past the end: none.
    EXPECT_FALSE(onlyNode(positionsWith(unitTriangle, {{"byteOffset", 36}})));
    EXPECT_FALSE(onlyNode(positionsWith(unitTriangle, {{"byteOffset", 25}})));
}

TEST(GLTFGeometry, HostileOffsetsReadNothing) {
    const std::int64_t maxInt = std::numeric_limits<std::int64_t>::max();
    for (const json& offset : {json(-12), json(-1), json(maxInt), json(std::numeric_limits<std::uint64_t>::max()),
                               json(1e300), json(-1e300)})
        EXPECT_FALSE(onlyNode(positionsWith(unitTriangle, {{"byteOffset", offset}}))) << offset.dump();

    // View and accessor offsets that overflow when summed.
    AssetBuilder a = positionsWith(unitTriangle, {{"byteOffset", maxInt}});
    a.document["bufferViews"][0]["byteOffset"] = maxInt;
    EXPECT_FALSE(onlyNode(a));
    // A negative view offset is not cancelled by the accessor's.
    a = positionsWith(unitTriangle, {{"byteOffset", 12}});
    a.document["bufferViews"][0]["byteOffset"] = -12;
    EXPECT_FALSE(onlyNode(a));
    // Offsets of another kind count as 0.
    a = positionsWith(unitTriangle, {{"byteOffset", "12"}});
    a.document["bufferViews"][0]["byteOffset"] = true;
    EXPECT_EQ(positionsOf(*onlyNode(a)), unitTriangle);
}

TEST(GLTFGeometry, ViewAndAccessorOffsetsAdd) {
    AssetBuilder a;
    a.view(bytesOf(std::vector<float>{9, 9, 9, 9}));
    std::vector<float> padded = {7, 7};
    padded.insert(padded.end(), unitTriangle.begin(), unitTriangle.end());
    a.triangleMesh(padded); // 11 floats: the accessor's count is 3
    a.document["accessors"][0]["count"] = 3;
    a.document["accessors"][0]["byteOffset"] = 8;
    EXPECT_EQ(positionsOf(*onlyNode(a)), unitTriangle);
}

TEST(GLTFGeometry, InterleavedPositionsFollowTheByteStride) {
    // Position and normal interleaved, 24 bytes apart; the last element needs only 12 bytes.
    const std::vector<float> interleaved = {0, 0, 0, 9, 9, 9, 1, 0, 0, 8, 8, 8, 0, 1, 0};
    AssetBuilder a;
    const int v = a.view(bytesOf(interleaved), {{"byteStride", 24}});
    const int p = a.accessor({{"bufferView", v}, {"count", 3}, {"componentType", 5126}});
    a.mesh(json::array({AssetBuilder::primitive(p)}));
    EXPECT_EQ(positionsOf(*onlyNode(a)), (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}));

    // The normals, read through the accessor's offset.
    a.document["accessors"][p]["byteOffset"] = 12;
    EXPECT_EQ(positionsOf(*onlyNode(a)), (std::vector<float>{9, 9, 9, 8, 8, 8}));

    // A stride smaller than an element, or beyond what glTF allows, reads as packed.
    a.document["accessors"][p]["byteOffset"] = 0;
    for (const json& stride : {json(8), json(0), json(-24), json(100000)}) {
        a.document["bufferViews"][v]["byteStride"] = stride;
        EXPECT_EQ(positionsOf(*onlyNode(a)), (std::vector<float>{0, 0, 0, 9, 9, 9, 1, 0, 0})) << stride.dump();
    }
}

TEST(GLTFGeometry, QuantisedPositionsAreConvertedPlainOrNormalised) {
    struct Case {
        std::int64_t type;
        std::vector<std::uint8_t> bytes; // one VEC3 element, padded to 4-byte stride by the view
        bool normalized;
        std::vector<float> expected;
    };
    const std::vector<Case> cases = {
        {5121, {255, 0, 51, 0}, false, {255, 0, 51}},
        {5121, {255, 0, 51, 0}, true, {1, 0, 0.2f}},
        {5120, {0x81, 0x80, 127, 0}, false, {-127, -128, 127}},
        {5120, {0x81, 0x80, 127, 0}, true, {-1, -1, 1}}, // -128 clamps to -1
        {5123, {0xFF, 0xFF, 0, 0, 0x00, 0x80, 0, 0}, false, {65535, 0, 32768}},
        {5123, {0xFF, 0xFF, 0, 0, 0x00, 0x80, 0, 0}, true, {1, 0, 32768.0f / 65535}},
        {5122, {0x01, 0x80, 0xFF, 0x7F, 0x00, 0x80, 0, 0}, true, {-1, 1, -1}},
        {5122, {0x01, 0x80, 0xFF, 0x7F, 0x00, 0x80, 0, 0}, false, {-32767, 32767, -32768}},
    };
    for (const Case& c : cases) {
        AssetBuilder a;
        const int v = a.view(c.bytes, {{"byteStride", c.bytes.size()}});
        const int p = a.accessor({{"bufferView", v}, {"count", 1}, {"componentType", c.type}, {"normalized", c.normalized}});
        a.mesh(json::array({AssetBuilder::primitive(p)}));
        const auto xyz = positionsOf(*onlyNode(a));
        ASSERT_EQ(xyz.size(), 3u) << c.type;
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(xyz[k], c.expected[k]) << c.type << " " << c.normalized << " " << k;
    }
    // 32-bit integers are no position type.
    AssetBuilder a;
    const int p = a.accessor({{"bufferView", a.view(bytesOf(std::vector<std::uint32_t>{1, 2, 3}))}, {"count", 1}, {"componentType", 5125}});
    a.mesh(json::array({AssetBuilder::primitive(p)}));
    EXPECT_FALSE(onlyNode(a));
}

TEST(GLTFGeometry, ConsecutiveIndicesWithoutAnIndexAccessorView) {
    AssetBuilder a;
    a.triangleMesh(sixVertices);
    const std::vector<std::uint32_t> zeroToFive = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(indicesOf(*onlyNode(a)), zeroToFive);
    EXPECT_EQ(onlyNode(a)->geometry->validTriangleCount(), 2u);

    for (const json& indices : {json(7), json(-1), json("1"), json(1.5)}) {
        a.document["meshes"][0]["primitives"][0]["indices"] = indices;
        EXPECT_EQ(indicesOf(*onlyNode(a)), zeroToFive) << indices.dump();
    }
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({5, 4, 3}, {{"bufferView", nullptr}}))), zeroToFive); // no view, no sparse data
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({5, 4, 3}, {{"bufferView", 9}}))), zeroToFive);
}

TEST(GLTFGeometry, IndexComponentTypes) {
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({5, 4, 3, 70000}))), (std::vector<std::uint32_t>{5, 4, 3, 70000}));

    // Without a componentType the values are 16-bit: each 32-bit value reads as two.
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({5, 0x10004}, {{"componentType", nullptr}}))),
              (std::vector<std::uint32_t>{5, 0}));
    // So is a componentType of another kind: it counts as absent.
    for (const json& notInteger : {json(5125.5), json("5125")})
        EXPECT_EQ(indicesOf(*onlyNode(indicesWith({5, 0x10004}, {{"componentType", notInteger}}))),
                  (std::vector<std::uint32_t>{5, 0}));
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({5, 0x10004}, {{"componentType", nullptr}, {"count", 4}}))),
              (std::vector<std::uint32_t>{5, 0, 4, 1}));
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({0xFFFF0001}, {{"componentType", 5123.0}, {"count", 2}}))),
              (std::vector<std::uint32_t>{1, 0xFFFF}));

    // Unsigned bytes.
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({0x03020100, 0x0504}, {{"componentType", 5121}, {"count", 6}}))),
              (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));

    // Unknown types: the node exists and draws nothing.
    for (const json& type : {json(5126), json(-5125), json(0), json(5120)}) {
        auto node = onlyNode(indicesWith({0, 1, 2}, {{"componentType", type}}));
        ASSERT_TRUE(node) << type.dump();
        EXPECT_TRUE(indicesOf(*node).empty()) << type.dump();
    }
    // No count: empty, not consecutive.
    EXPECT_TRUE(indicesOf(*onlyNode(indicesWith({0, 1, 2}, {{"count", nullptr}}))).empty());
}

TEST(GLTFGeometry, IndicesPastTheEndAreLeftOut) {
    EXPECT_EQ(indicesOf(*onlyNode(indicesWith({0, 1, 2, 3}, {{"count", 1'000'000'000}}))).size(), 4u + 0u);
    AssetBuilder a = indicesWith({0, 1, 2, 3}, {{"byteOffset", 8}});
    EXPECT_EQ(indicesOf(*onlyNode(a)), (std::vector<std::uint32_t>{2, 3})); // the view is the buffer's last
    for (const json& offset : {json(-4), json(std::numeric_limits<std::int64_t>::max()), json(1e19)})
        EXPECT_TRUE(indicesOf(*onlyNode(indicesWith({0, 1, 2}, {{"byteOffset", offset}}))).empty()) << offset.dump();
}

TEST(GLTFGeometry, IndexValuesAreKeptAsReadButOnlyValidTrianglesAreDrawable) {
    auto node = onlyNode(indicesWith({0, 1, 2, 3, 4, 99, 5, 4, 3, 1}));
    ASSERT_TRUE(node);
    const auto& geometry = *node->geometry;
    EXPECT_EQ(indicesOf(*node), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 99, 5, 4, 3, 1}));
    EXPECT_EQ(geometry.elements[0].primitiveCount(), 3u); // seven or more: the remainder is unused
    EXPECT_EQ(geometry.validTriangleCount(), 2u);
    EXPECT_EQ(geometry.validTriangleIndices(0), (std::vector<std::uint32_t>{0, 1, 2, 5, 4, 3}));
}

TEST(GLTFGeometry, EveryGeometryIsOneSourceOneTriangleElementAndOneGreyMaterial) {
    auto node = onlyNode(indicesWith({0, 1, 2}));
    ASSERT_TRUE(node);
    const auto& g = *node->geometry;
    ASSERT_EQ(g.sources.size(), 1u);
    EXPECT_EQ(g.sources[0].semantic, scene::Semantic::vertex);
    ASSERT_EQ(g.elements.size(), 1u);
    EXPECT_EQ(g.elements[0].primitiveType, scene::PrimitiveType::triangles);
    ASSERT_EQ(g.materials.size(), 1u);
    const scene::Material& m = g.materials[0];
    ASSERT_TRUE(m.diffuse.color());
    EXPECT_EQ(*m.diffuse.color(), scene::Color::systemGray());
    EXPECT_EQ(m.lightingModel, scene::LightingModel::physicallyBased);
    EXPECT_FALSE(m.isDoubleSided);
    EXPECT_EQ(m.fillMode, scene::FillMode::fill);
}

} // namespace
} // namespace trimeo::test
