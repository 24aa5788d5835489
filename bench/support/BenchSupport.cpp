#include "BenchSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace trimeo::bench {

namespace {
// A "Vm...:" line of /proc/self/status, in MiB.
double statusMiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}
} // namespace

double peakMemoryMiB() { return statusMiB("VmHWM:"); }
double residentMemoryMiB() { return statusMiB("VmRSS:"); }

Mesh makeTorus(std::size_t triangles) {
    // rings * sides quads, two triangles each
    const std::size_t sides = 500;
    const std::size_t rings = std::max<std::size_t>(3, triangles / (2 * sides));
    Mesh m;
    m.positions.reserve(rings * sides * 3);
    for (std::size_t r = 0; r < rings; ++r) {
        double u = 2 * M_PI * double(r) / double(rings);
        for (std::size_t s = 0; s < sides; ++s) {
            double v = 2 * M_PI * double(s) / double(sides);
            double w = 1.0 + 0.35 * std::cos(v);
            m.positions.push_back(float(w * std::cos(u)));
            m.positions.push_back(float(0.35 * std::sin(v)));
            m.positions.push_back(float(w * std::sin(u)));
        }
    }
    m.indices.reserve(rings * sides * 6);
    for (std::size_t r = 0; r < rings; ++r)
        for (std::size_t s = 0; s < sides; ++s) {
            auto at = [&](std::size_t rr, std::size_t ss) { return std::uint32_t((rr % rings) * sides + ss % sides); };
            std::uint32_t a = at(r, s), b = at(r + 1, s), c = at(r + 1, s + 1), d = at(r, s + 1);
            m.indices.insert(m.indices.end(), {a, d, c, a, c, b});
        }
    return m;
}

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

} // namespace trimeo::bench
