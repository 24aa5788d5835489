// Shared by the benchmark programs: timing, peak memory and generated test models.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace trimeo::bench {

// Seconds since an arbitrary start, monotonic.
inline double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Peak resident set size of this process so far, in MiB (VmHWM).
double peakMemoryMiB();
// Resident set size of this process now, in MiB (VmRSS).
double residentMemoryMiB();

// A torus of about `triangles` triangles as flat position and index arrays.
struct Mesh {
    std::vector<float> positions; // xyz per vertex
    std::vector<std::uint32_t> indices;
};
Mesh makeTorus(std::size_t triangles);

} // namespace trimeo::bench
