// The standard's other ways of storing a primitive: sparse accessors, strips and fans, Draco
// and meshopt compression; and the document-level refusals (required extensions, glTF 1.0).
#include "GLTFTestAssets.h"

#include <draco/compression/encode.h>
#include <draco/mesh/triangle_soup_mesh_builder.h>
#include <gtest/gtest.h>
#include <meshoptimizer.h>

namespace trimeo::test {
namespace {

const std::vector<float> fourVertices = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};

scene::Node::Ptr onlyNode(const AssetBuilder& a) {
    auto nodes = modelNodes(load(a.glb(), "m.glb"));
    EXPECT_LE(nodes.size(), 1u);
    return nodes.empty() ? nullptr : nodes[0];
}

// sparse: values[k] replaces element indices[k] (indices as 16-bit values).
json sparseOf(AssetBuilder& a, const std::vector<std::uint16_t>& indices, const std::vector<std::uint8_t>& values) {
    return {{"count", indices.size()},
            {"indices", {{"bufferView", a.view(bytesOf(indices))}, {"componentType", 5123}}},
            {"values", {{"bufferView", a.view(values)}}}};
}

TEST(GLTFLayouts, SparseAccessorsReplaceTheElementsTheyName) {
    AssetBuilder a;
    const int p = a.positions(fourVertices);
    a.document["accessors"][p]["sparse"] = sparseOf(a, {1, 3, 9}, bytesOf(std::vector<float>{5, 5, 5, 7, 7, 7, 9, 9, 9}));
    a.mesh(json::array({AssetBuilder::primitive(p)}));
    // Element 9 is not there: passed over.
    EXPECT_EQ(positionsOf(*onlyNode(a)), (std::vector<float>{0, 0, 0, 5, 5, 5, 0, 1, 0, 7, 7, 7}));

    // Without a bufferView the elements start as zeros.
    a.document["accessors"][p].erase("bufferView");
    EXPECT_EQ(positionsOf(*onlyNode(a)), (std::vector<float>{0, 0, 0, 5, 5, 5, 0, 0, 0, 7, 7, 7}));

    // Sparse indices too; a sparse count beyond the stored lists reads what is there.
    AssetBuilder b;
    const int q = b.positions(fourVertices);
    const int i = b.accessor({{"count", 6}, {"componentType", 5125}, {"type", "SCALAR"}});
    b.document["accessors"][i]["sparse"] = sparseOf(b, {1, 2, 4, 5}, bytesOf(std::vector<std::uint32_t>{1, 2, 2, 3}));
    b.mesh(json::array({AssetBuilder::primitive(q, i)}));
    EXPECT_EQ(indicesOf(*onlyNode(b)), (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    b.document["accessors"][i]["sparse"]["count"] = 1000;
    EXPECT_EQ(indicesOf(*onlyNode(b)), (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
}

TEST(GLTFLayouts, AHugeSparseCountWithoutAViewIsRefusedByTheBudget) {
    AssetBuilder a;
    const int p = a.accessor({{"count", std::int64_t(1) << 40}, {"componentType", 5126}, {"type", "VEC3"}});
    a.document["accessors"][p]["sparse"] = sparseOf(a, {0}, bytesOf(std::vector<float>{1, 2, 3}));
    a.mesh(json::array({AssetBuilder::primitive(p)}));
    EXPECT_FALSE(onlyNode(a));
}

TEST(GLTFLayouts, StripsAndFansBecomeListsAndPointsAndLinesDrawNothing) {
    AssetBuilder a;
    const int p = a.positions(fourVertices);
    const int i = a.indices32({0, 1, 2, 3});
    a.mesh(json::array({AssetBuilder::primitive(p, i)}));
    auto withMode = [&](const json& mode) {
        a.document["meshes"][0]["primitives"][0]["mode"] = mode;
        return onlyNode(a);
    };
    EXPECT_EQ(indicesOf(*withMode(5)), (std::vector<std::uint32_t>{0, 1, 2, 1, 3, 2})); // same winding throughout
    EXPECT_EQ(indicesOf(*withMode(6)), (std::vector<std::uint32_t>{1, 2, 0, 2, 3, 0}));
    EXPECT_EQ(indicesOf(*withMode(4)), (std::vector<std::uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(indicesOf(*withMode("5")), (std::vector<std::uint32_t>{0, 1, 2, 3})); // not an integer: triangles
    for (int drawsNothing : {0, 1, 2, 3, 7, -1}) EXPECT_FALSE(withMode(drawsNothing)) << drawsNothing;

    // Without indices the strip runs over the vertices in order.
    a.document["meshes"][0]["primitives"][0].erase("indices");
    EXPECT_EQ(indicesOf(*withMode(5)), (std::vector<std::uint32_t>{0, 1, 2, 1, 3, 2}));
}

// Two triangles of a unit square, Draco-encoded without quantisation (exact positions).
std::vector<std::uint8_t> dracoSquare(int& positionId) {
    draco::TriangleSoupMeshBuilder builder;
    builder.Start(2);
    const int pos = builder.AddAttribute(draco::GeometryAttribute::POSITION, 3, draco::DT_FLOAT32);
    const float v[4][3] = {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}, {2, 3, 0}};
    builder.SetAttributeValuesForFace(pos, draco::FaceIndex(0), v[0], v[1], v[2]);
    builder.SetAttributeValuesForFace(pos, draco::FaceIndex(1), v[2], v[1], v[3]);
    const std::unique_ptr<draco::Mesh> mesh = builder.Finalize();
    positionId = int(mesh->attribute(pos)->unique_id());
    draco::Encoder encoder;
    draco::EncoderBuffer out;
    EXPECT_TRUE(encoder.EncodeMeshToBuffer(*mesh, &out).ok());
    return {out.data(), out.data() + out.size()};
}

TEST(GLTFLayouts, DracoCompressedPrimitivesDecode) {
    int positionId = 0;
    AssetBuilder a;
    const int view = a.view(dracoSquare(positionId));
    const int p = a.accessor({{"count", 4}, {"componentType", 5126}, {"type", "VEC3"}});
    const int i = a.accessor({{"count", 6}, {"componentType", 5123}, {"type", "SCALAR"}});
    json primitive = AssetBuilder::primitive(p, i);
    primitive["extensions"]["KHR_draco_mesh_compression"] = {{"bufferView", view}, {"attributes", {{"POSITION", positionId}}}};
    a.mesh(json::array({primitive}), "Square");
    a.document["extensionsRequired"] = {"KHR_draco_mesh_compression"};

    const auto node = onlyNode(a);
    ASSERT_TRUE(node);
    EXPECT_EQ(node->geometry->validTriangleCount(), 2u);
    const auto box = node->geometry->boundingBox();
    EXPECT_EQ(box.min, scene::Vector3(0, 0, 0));
    EXPECT_EQ(box.max, scene::Vector3(2, 3, 0));

    // Damaged payloads, a wrong attribute id or a view reaching past the buffer yield nothing.
    auto broken = a;
    broken.buffer[broken.document["bufferViews"][view]["byteOffset"].get<std::size_t>() + 2] ^= 0xFF;
    EXPECT_FALSE(onlyNode(broken));
    broken = a;
    broken.document["meshes"][0]["primitives"][0]["extensions"]["KHR_draco_mesh_compression"]["attributes"]["POSITION"] = 99;
    EXPECT_FALSE(onlyNode(broken));
    broken = a;
    broken.document["bufferViews"][view]["byteLength"] = a.buffer.size() + 1;
    EXPECT_FALSE(onlyNode(broken));
}

TEST(GLTFLayouts, MeshoptCompressedViewsDecode) {
    // Positions as 16-bit integers 8 bytes apart, indices as a triangle list.
    const std::vector<std::uint16_t> xyz = {0, 0, 0, 0, 4, 0, 0, 0, 0, 5, 0, 0, 4, 5, 0, 0};
    const std::vector<std::uint32_t> triangles = {0, 1, 2, 2, 1, 3};
    std::vector<std::uint8_t> vertexData(meshopt_encodeVertexBufferBound(4, 8));
    vertexData.resize(meshopt_encodeVertexBuffer(vertexData.data(), vertexData.size(), xyz.data(), 4, 8));
    std::vector<std::uint8_t> indexData(meshopt_encodeIndexBufferBound(6, 4));
    indexData.resize(meshopt_encodeIndexBuffer(indexData.data(), indexData.size(), triangles.data(), 6));

    AssetBuilder a;
    const int compressedVertices = a.view(vertexData), compressedIndices = a.view(indexData);
    json views = a.document["bufferViews"];
    auto meshopt = [&](int source, int count, int stride, const char* mode) {
        return json{{"buffer", 0}, {"byteOffset", views[source]["byteOffset"]}, {"byteLength", views[source]["byteLength"]},
                    {"byteStride", stride}, {"count", count}, {"mode", mode}};
    };
    // The views' own buffer is a fallback with no data, as compressing tools write it.
    a.document["bufferViews"].push_back({{"buffer", 1}, {"byteLength", 32}, {"byteStride", 8},
                                         {"extensions", {{"EXT_meshopt_compression", meshopt(compressedVertices, 4, 8, "ATTRIBUTES")}}}});
    a.document["bufferViews"].push_back({{"buffer", 1}, {"byteLength", 12},
                                         {"extensions", {{"EXT_meshopt_compression", meshopt(compressedIndices, 6, 2, "TRIANGLES")}}}});
    const int p = a.accessor({{"bufferView", 2}, {"count", 4}, {"componentType", 5123}, {"type", "VEC3"}});
    const int i = a.accessor({{"bufferView", 3}, {"count", 6}, {"componentType", 5123}, {"type", "SCALAR"}});
    a.mesh(json::array({AssetBuilder::primitive(p, i)}), "Box");
    a.document["extensionsRequired"] = {"EXT_meshopt_compression", "KHR_mesh_quantization"};
    const auto glb = [&](const AssetBuilder& b) {
        json d = b.document;
        d["buffers"] = json::array({{{"byteLength", b.buffer.size()}}, {{"byteLength", 44}}});
        return glbContainer({{chunkJSON, jsonBytes(d)}, {chunkBIN, b.buffer}});
    };

    const auto r = load(glb(a), "m.glb");
    ASSERT_EQ(modelNodes(r).size(), 1u);
    EXPECT_EQ(positionsOf(*modelNodes(r)[0]), (std::vector<float>{0, 0, 0, 4, 0, 0, 0, 5, 0, 4, 5, 0}));
    EXPECT_EQ(indicesOf(*modelNodes(r)[0]), triangles);

    // Fields the codec would assert on, or data that does not decode, yield nothing.
    for (const auto& [field, value] : std::vector<std::pair<std::string, json>>{
             {"byteStride", 6}, {"byteStride", 0}, {"count", -1}, {"mode", "QUADS"}, {"filter", "SQUARED"},
             {"byteLength", 3}, {"byteOffset", 1 << 20}, {"count", std::int64_t(1) << 50}}) {
        AssetBuilder b = a;
        b.document["bufferViews"][2]["extensions"]["EXT_meshopt_compression"][field] = value;
        EXPECT_TRUE(modelNodes(load(glb(b), "m.glb")).empty()) << field << " " << value.dump();
    }
}

TEST(GLTFLayouts, UnsupportedRequiredExtensionsAreRefusedByName) {
    AssetBuilder a;
    a.triangleMesh(fourVertices);
    a.document["extensionsRequired"] = {"KHR_materials_emissive_strength", "EXT_future_geometry"};
    EXPECT_EQ(loadError(a.glb(), "m.glb"),
              "Parse error: glTF extension 'EXT_future_geometry' is required by this file but not supported");
    EXPECT_EQ(loadError(a.gltf(), "m.gltf"),
              "Parse error: glTF extension 'EXT_future_geometry' is required by this file but not supported");

    // Used but not required: loads. Appearance-only extensions: loads.
    a.document["extensionsUsed"] = a.document["extensionsRequired"];
    a.document["extensionsRequired"] = {"KHR_materials_emissive_strength", "KHR_texture_transform", 5};
    EXPECT_EQ(loadError(a.glb(), "m.glb"), "loaded");
}

TEST(GLTFLayouts, GLTF1DocumentsAreRefusedWithAWayOut) {
    AssetBuilder a;
    a.triangleMesh(fourVertices);
    for (const char* version : {"1.0", "1.0.1", "1"}) {
        a.document["asset"]["version"] = version;
        EXPECT_EQ(loadError(a.gltf(), "m.gltf"), "Parse error: glTF 1.0 files are not supported; re-export as glTF 2.0");
        EXPECT_EQ(loadError(a.glb(), "m.glb"), "Parse error: glTF 1.0 files are not supported; re-export as glTF 2.0");
    }
    for (const json& version : {json("2.0"), json("2.1"), json(1.0), json(nullptr)}) {
        a.document["asset"]["version"] = version;
        EXPECT_EQ(loadError(a.glb(), "m.glb"), "loaded") << version.dump();
    }
}

TEST(GLTFLayouts, NumbersBeyondTheDoubleRangeReadAsInfinities) {
    // A matrix entry of 1e999 is a number: the matrix is used, not dropped as malformed.
    AssetBuilder a;
    a.triangleMesh(fourVertices);
    a.document["nodes"] = {{{"mesh", 0}, {"matrix", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}}};
    std::string glbText = a.document.dump();
    const std::string one = "0,0,0,1]";
    glbText.replace(glbText.find(one), one.size(), "0,0,1e999,1]");
    const auto placed = load(glbContainer({{chunkJSON, bytes(glbText)}, {chunkBIN, a.buffer}}), "m.glb");
    ASSERT_EQ(modelNodes(placed).size(), 1u);
    EXPECT_EQ(positionsOf(*modelNodes(placed)[0])[2], INFINITY);
}

} // namespace
} // namespace trimeo::test
