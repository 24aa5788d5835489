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

} // namespace trimeo::bench
