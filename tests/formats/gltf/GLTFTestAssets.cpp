#include "GLTFTestAssets.h"

#include <cstring>

namespace trimeo::test {
namespace {

void putUint32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

} // namespace

std::vector<std::uint8_t> glbContainer(const std::vector<Chunk>& chunks, std::uint32_t version,
                                       std::optional<std::uint32_t> totalLength) {
    std::vector<std::uint8_t> out;
    putUint32(out, 0x46546C67);
    putUint32(out, version);
    putUint32(out, 0);
    for (const Chunk& c : chunks) {
        putUint32(out, std::uint32_t(c.data.size()));
        putUint32(out, c.type);
        out.insert(out.end(), c.data.begin(), c.data.end());
    }
    const std::uint32_t length = totalLength.value_or(std::uint32_t(out.size()));
    for (int i = 0; i < 4; ++i) out[8 + i] = std::uint8_t(length >> (8 * i));
    return out;
}

std::vector<std::uint8_t> jsonBytes(const json& document) {
    const std::string text = document.dump();
    return {text.begin(), text.end()};
}

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = std::uint32_t(bytes[i]) << 16;
        if (n > 1) v |= std::uint32_t(bytes[i + 1]) << 8;
        if (n > 2) v |= bytes[i + 2];
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += n > 1 ? alphabet[v >> 6 & 63] : '=';
        out += n > 2 ? alphabet[v & 63] : '=';
    }
    return out;
}

int AssetBuilder::view(const std::vector<std::uint8_t>& bytes, json extra) {
    while (buffer.size() % 4) buffer.push_back(0);
    json v = {{"buffer", 0}, {"byteOffset", buffer.size()}, {"byteLength", bytes.size()}};
    v.update(extra);
    buffer.insert(buffer.end(), bytes.begin(), bytes.end());
    document["bufferViews"].push_back(v);
    document["buffers"] = json::array({{{"byteLength", buffer.size()}}});
    return int(document["bufferViews"].size() - 1);
}

int AssetBuilder::accessor(json fields) {
    document["accessors"].push_back(std::move(fields));
    return int(document["accessors"].size() - 1);
}

int AssetBuilder::positions(const std::vector<float>& xyz) {
    const int v = view(bytesOf(xyz));
    return accessor({{"bufferView", v}, {"count", xyz.size() / 3}, {"componentType", 5126}, {"type", "VEC3"}});
}

int AssetBuilder::indices32(const std::vector<std::uint32_t>& values) {
    const int v = view(bytesOf(values));
    return accessor({{"bufferView", v}, {"count", values.size()}, {"componentType", 5125}, {"type", "SCALAR"}});
}

int AssetBuilder::indices16(const std::vector<std::uint16_t>& values) {
    const int v = view(bytesOf(values));
    return accessor({{"bufferView", v}, {"count", values.size()}, {"componentType", 5123}, {"type", "SCALAR"}});
}

json AssetBuilder::primitive(int position, std::optional<int> indices) {
    json p = {{"attributes", {{"POSITION", position}}}};
    if (indices) p["indices"] = *indices;
    return p;
}

void AssetBuilder::mesh(json primitives, std::optional<std::string> name) {
    json m = {{"primitives", std::move(primitives)}};
    if (name) m["name"] = *name;
    document["meshes"].push_back(std::move(m));
}

void AssetBuilder::triangleMesh(const std::vector<float>& xyz, std::optional<std::vector<std::uint32_t>> indices,
                                std::optional<std::string> name) {
    const int p = positions(xyz);
    std::optional<int> i;
    if (indices) i = indices32(*indices);
    mesh(json::array({primitive(p, i)}), std::move(name));
}

std::vector<std::uint8_t> AssetBuilder::glb() const {
    return glbContainer({{chunkJSON, jsonBytes(document)}, {chunkBIN, buffer}});
}

std::vector<std::uint8_t> AssetBuilder::gltf(const std::string& mediaType) const {
    json d = document;
    d["buffers"] = json::array({{{"byteLength", buffer.size()}, {"uri", "data:" + mediaType + ";base64," + base64(buffer)}}});
    return jsonBytes(d);
}

ModelLoader::LoadResult load(const std::vector<std::uint8_t>& file, const std::string& fileName) {
    return ModelLoader::load(file, std::filesystem::path(fileName));
}

std::string loadError(const std::vector<std::uint8_t>& file, const std::string& fileName) {
    try {
        load(file, fileName);
    } catch (const LoaderError& e) {
        return e.errorDescription();
    }
    return "loaded";
}

std::vector<scene::Node::Ptr> modelNodes(const ModelLoader::LoadResult& result) {
    return result.scene->rootNode->childNodes();
}

std::vector<std::string> nodeNames(const ModelLoader::LoadResult& result) {
    std::vector<std::string> names;
    for (const auto& n : modelNodes(result)) names.push_back(n->name.value_or(""));
    return names;
}

std::vector<float> positionsOf(const scene::Node& node) {
    const auto* source = node.geometry ? node.geometry->source(scene::Semantic::vertex) : nullptr;
    return source ? source->data : std::vector<float>{};
}

std::vector<std::uint32_t> indicesOf(const scene::Node& node) {
    if (!node.geometry || node.geometry->elements.empty()) return {};
    return node.geometry->elements.front().indices;
}

} // namespace trimeo::test
