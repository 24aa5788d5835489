// glTF import speed: a generated torus of about 2 million triangles, as a GLB and as a .gltf
// with its buffer embedded as base64, each loaded through ModelLoader::load and compared with
// a plain copy (memcpy into a fresh allocation) of the same file bytes.
#include "support/BenchSupport.h"
#include "loading/ModelLoader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

using trimeo::bench::now;

constexpr int runs = 7;

std::vector<std::uint8_t> torusBuffer(const trimeo::bench::Mesh& mesh) {
    std::vector<std::uint8_t> buffer(mesh.positions.size() * 4 + mesh.indices.size() * 4);
    std::memcpy(buffer.data(), mesh.positions.data(), mesh.positions.size() * 4);
    std::memcpy(buffer.data() + mesh.positions.size() * 4, mesh.indices.data(), mesh.indices.size() * 4);
    return buffer;
}

nlohmann::json torusDocument(const trimeo::bench::Mesh& mesh, std::size_t bufferLength) {
    const std::size_t positionBytes = mesh.positions.size() * 4;
    return {
        {"asset", {{"version", "2.0"}}},
        {"buffers", {{{"byteLength", bufferLength}}}},
        {"bufferViews",
         {{{"buffer", 0}, {"byteOffset", 0}, {"byteLength", positionBytes}},
          {{"buffer", 0}, {"byteOffset", positionBytes}, {"byteLength", mesh.indices.size() * 4}}}},
        {"accessors",
         {{{"bufferView", 0}, {"componentType", 5126}, {"count", mesh.positions.size() / 3}, {"type", "VEC3"}},
          {{"bufferView", 1}, {"componentType", 5125}, {"count", mesh.indices.size()}, {"type", "SCALAR"}}}},
        {"meshes", {{{"name", "Torus"}, {"primitives", {{{"attributes", {{"POSITION", 0}}}, {"indices", 1}}}}}}},
    };
}

void putUint32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

std::vector<std::uint8_t> glbFile(const nlohmann::json& document, const std::vector<std::uint8_t>& buffer) {
    std::string text = document.dump();
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

std::vector<std::uint8_t> gltfFile(nlohmann::json document, const std::vector<std::uint8_t>& buffer) {
    document["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64(buffer);
    const std::string text = document.dump();
    return {text.begin(), text.end()};
}

// Lets the next peak-memory reading cover only what follows (Linux: clear_refs 5).
void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Row {
    double fileMiB, firstLoadMs, loadMs, freshCopyMs, warmCopyMs, peakMiB;
    std::size_t triangles;
};

// Copies into a fresh allocation, as a loader must place its output in new memory (page
// faults included), and into one already touched (the bare memory bandwidth).
void measureCopies(const std::vector<std::uint8_t>& file, Row& row) {
    std::vector<double> fresh, warm;
    for (int r = 0; r < runs; ++r) {
        double t0 = now();
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[file.size()]);
        std::memcpy(copy.get(), file.data(), file.size());
        fresh.push_back(now() - t0);
        if (copy[file.size() / 2] != file[file.size() / 2]) std::abort(); // keep the copy observable
    }
    std::vector<std::uint8_t> target(file.size(), 1);
    for (int r = 0; r < runs; ++r) {
        double t0 = now();
        std::memcpy(target.data(), file.data(), file.size());
        warm.push_back(now() - t0);
        if (target[file.size() / 3] != file[file.size() / 3]) std::abort();
    }
    row.freshCopyMs = median(fresh) * 1e3;
    row.warmCopyMs = median(warm) * 1e3;
}

Row measure(const std::vector<std::uint8_t>& file, const char* fileName) {
    Row row{file.size() / 1048576.0, 0, 0, 0, 0, 0, 0};
    std::vector<double> loads;
    resetPeakMemory();
    const double before = trimeo::bench::peakMemoryMiB();
    for (int r = 0; r < runs; ++r) {
        double t0 = now();
        auto result = trimeo::ModelLoader::load(file, std::filesystem::path(fileName));
        loads.push_back(now() - t0);
        row.triangles = 0;
        for (const auto& node : result.scene->rootNode->childNodes())
            row.triangles += node->geometry->validTriangleCount();
    }
    row.peakMiB = trimeo::bench::peakMemoryMiB() - before;
    row.firstLoadMs = loads.front() * 1e3;
    row.loadMs = median(loads) * 1e3;
    measureCopies(file, row);
    return row;
}

void print(const char* form, const Row& r) {
    std::printf("%-20s %8.1f %9zu %10.1f %11.1f %10.1f %10.1f %7.2f %7.2f %9.0f\n", form, r.fileMiB, r.triangles,
                r.firstLoadMs, r.loadMs, r.freshCopyMs, r.warmCopyMs, r.loadMs / r.freshCopyMs, r.loadMs / r.warmCopyMs,
                r.peakMiB);
}

} // namespace

int main() {
    const trimeo::bench::Mesh mesh = trimeo::bench::makeTorus(2'000'000);
    std::vector<std::uint8_t> buffer = torusBuffer(mesh);
    const nlohmann::json document = torusDocument(mesh, buffer.size());

    std::printf("glTF import through ModelLoader::load, torus of %zu vertices; medians of %d runs\n\n",
                mesh.positions.size() / 3, runs);
    std::printf("%-20s %8s %9s %10s %11s %10s %10s %7s %7s %9s\n", "form", "file MiB", "triangles", "first load",
                "median load", "fresh copy", "warm copy", "/fresh", "/warm", "peak MiB");
    {
        const auto glb = glbFile(document, buffer);
        print("GLB (BIN chunk)", measure(glb, "torus.glb"));
    }
    {
        const auto gltf = gltfFile(document, buffer);
        print(".gltf (base64 URI)", measure(gltf, "torus.gltf"));
    }
    std::printf("\ntimes in ms. fresh copy: memcpy of the file into a new allocation (page faults included);\n"
                "warm copy: memcpy into memory already touched. /fresh, /warm: median load over that copy.\n"
                "peak MiB: rise of the peak resident memory during the loads, over the file and mesh already held.\n");
    return 0;
}
