#include "ModelFiles.h"

#include "formats/common/TemporaryFiles.h"

#include <nlohmann/json.hpp>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace trimeo::bench {

std::vector<std::uint8_t> binarySTL(const Mesh& mesh) {
    const std::uint32_t count = std::uint32_t(mesh.indices.size() / 3);
    std::vector<std::uint8_t> out(84 + std::size_t(count) * 50, 0);
    std::memcpy(out.data() + 80, &count, 4);
    std::uint8_t* p = out.data() + 84;
    for (std::uint32_t t = 0; t < count; ++t, p += 50)
        for (int k = 0; k < 3; ++k) std::memcpy(p + 12 + k * 12, &mesh.positions[mesh.indices[t * 3 + k] * 3], 12);
    return out;
}

std::vector<std::uint8_t> asciiSTL(const Mesh& mesh) {
    std::string s = "solid torus\n";
    char line[160];
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        s += " facet normal 0 0 0\n  outer loop\n";
        for (int k = 0; k < 3; ++k) {
            const float* v = &mesh.positions[mesh.indices[t + k] * 3];
            std::snprintf(line, sizeof line, "   vertex %.6f %.6f %.6f\n", v[0], v[1], v[2]);
            s += line;
        }
        s += "  endloop\n endfacet\n";
    }
    s += "endsolid torus\n";
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> wavefrontOBJ(const Mesh& mesh) {
    std::string s;
    char line[160];
    for (std::size_t v = 0; v + 2 < mesh.positions.size(); v += 3) {
        std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", mesh.positions[v], mesh.positions[v + 1],
                      mesh.positions[v + 2]);
        s += line;
    }
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        std::snprintf(line, sizeof line, "f %u %u %u\n", mesh.indices[t] + 1, mesh.indices[t + 1] + 1,
                      mesh.indices[t + 2] + 1);
        s += line;
    }
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> binaryPLY(const Mesh& mesh) {
    const std::size_t vertices = mesh.positions.size() / 3, faces = mesh.indices.size() / 3;
    std::string header = "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(vertices) +
                         "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                         std::to_string(faces) + "\nproperty list uchar int vertex_indices\nend_header\n";
    std::vector<std::uint8_t> out(header.begin(), header.end());
    out.reserve(out.size() + vertices * 12 + faces * 13);
    auto* p = reinterpret_cast<const std::uint8_t*>(mesh.positions.data());
    out.insert(out.end(), p, p + vertices * 12);
    for (std::size_t f = 0; f < faces; ++f) {
        out.push_back(3);
        auto* q = reinterpret_cast<const std::uint8_t*>(&mesh.indices[f * 3]);
        out.insert(out.end(), q, q + 12);
    }
    return out;
}

namespace {

std::vector<std::uint8_t> torusBuffer(const Mesh& mesh) {
    std::vector<std::uint8_t> buffer(mesh.positions.size() * 4 + mesh.indices.size() * 4);
    std::memcpy(buffer.data(), mesh.positions.data(), mesh.positions.size() * 4);
    std::memcpy(buffer.data() + mesh.positions.size() * 4, mesh.indices.data(), mesh.indices.size() * 4);
    return buffer;
}

nlohmann::json gltfDocument(const Mesh& mesh, std::size_t bufferLength) {
    const std::size_t positionBytes = mesh.positions.size() * 4;
    std::vector<float> lo(3, 1e30f), hi(3, -1e30f);
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], mesh.positions[i]);
        hi[i % 3] = std::max(hi[i % 3], mesh.positions[i]);
    }
    return {
        {"asset", {{"version", "2.0"}}},
        {"scene", 0},
        {"scenes", {{{"nodes", {0}}}}},
        {"nodes", {{{"mesh", 0}}}},
        {"buffers", {{{"byteLength", bufferLength}}}},
        {"bufferViews",
         {{{"buffer", 0}, {"byteOffset", 0}, {"byteLength", positionBytes}},
          {{"buffer", 0}, {"byteOffset", positionBytes}, {"byteLength", mesh.indices.size() * 4}}}},
        {"accessors",
         {{{"bufferView", 0}, {"componentType", 5126}, {"count", mesh.positions.size() / 3}, {"type", "VEC3"},
           {"min", lo}, {"max", hi}},
          {{"bufferView", 1}, {"componentType", 5125}, {"count", mesh.indices.size()}, {"type", "SCALAR"}}}},
        {"meshes", {{{"name", "Torus"}, {"primitives", {{{"attributes", {{"POSITION", 0}}}, {"indices", 1}}}}}}},
    };
}

void putUint32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
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

} // namespace

std::vector<std::uint8_t> binaryGLTF(const Mesh& mesh) {
    const std::vector<std::uint8_t> buffer = torusBuffer(mesh);
    std::string text = gltfDocument(mesh, buffer.size()).dump();
    text.resize((text.size() + 3) / 4 * 4, ' ');
    std::vector<std::uint8_t> out;
    out.reserve(12 + 8 + text.size() + 8 + buffer.size());
    putUint32(out, 0x46546C67);
    putUint32(out, 2);
    putUint32(out, std::uint32_t(12 + 8 + text.size() + 8 + buffer.size()));
    putUint32(out, std::uint32_t(text.size()));
    putUint32(out, 0x4E4F534A);
    out.insert(out.end(), text.begin(), text.end());
    putUint32(out, std::uint32_t(buffer.size()));
    putUint32(out, 0x004E4942);
    out.insert(out.end(), buffer.begin(), buffer.end());
    return out;
}

std::vector<std::uint8_t> embeddedGLTF(const Mesh& mesh) {
    const std::vector<std::uint8_t> buffer = torusBuffer(mesh);
    nlohmann::json document = gltfDocument(mesh, buffer.size());
    document["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64(buffer);
    const std::string text = document.dump();
    return {text.begin(), text.end()};
}

std::string threeMFModelXML(const trimeo::bench::Mesh& mesh) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"millimeter\" "
                      "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n <resources>\n"
                      "  <object id=\"1\" type=\"model\">\n   <mesh>\n    <vertices>\n";
    char line[160];
    for (std::size_t v = 0; v + 2 < mesh.positions.size(); v += 3) {
        // Five decimals on a model in millimetres, as slicers and CAD exports write them.
        std::snprintf(line, sizeof line, "     <vertex x=\"%.5f\" y=\"%.5f\" z=\"%.5f\" />\n", mesh.positions[v] * 50,
                      mesh.positions[v + 1] * 50, mesh.positions[v + 2] * 50);
        xml += line;
    }
    xml += "    </vertices>\n    <triangles>\n";
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        std::snprintf(line, sizeof line, "     <triangle v1=\"%u\" v2=\"%u\" v3=\"%u\" />\n", mesh.indices[t],
                      mesh.indices[t + 1], mesh.indices[t + 2]);
        xml += line;
    }
    xml += "    </triangles>\n   </mesh>\n  </object>\n </resources>\n <build><item objectid=\"1\"/></build>\n</model>\n";
    return xml;
}

std::vector<std::uint8_t> threeMFPackage(const std::string& modelXML) {
    trimeo::TemporaryFile file("3mf");
    int error = 0;
    zip_t* archive = zip_open(file.path().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) std::abort();
    // Content types and the root relationship, so that readers which follow them find the part.
    const std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
        "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"model\" "
        "ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/></Types>";
    const std::string relationships =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
        "2006/relationships\"><Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
        "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>";
    auto add = [&](const char* name, const std::string& content) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (!source || zip_file_add(archive, name, source, 0) < 0) std::abort();
    };
    add("[Content_Types].xml", types);
    add("_rels/.rels", relationships);
    add("3D/3dmodel.model", modelXML);
    if (zip_close(archive) != 0) std::abort();
    std::ifstream in(file.path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace trimeo::bench
