// glTF import speed: a generated torus of about 2 million triangles, as a GLB and as a .gltf
// with its buffer embedded as base64, each loaded through ModelLoader::load and compared with
// a plain copy (memcpy into a fresh allocation) of the same file bytes.
#include "support/BenchSupport.h"
#include "support/ModelFiles.h"
#include "loading/ModelLoader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

using trimeo::bench::now;

constexpr int runs = 7;

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

    std::printf("glTF import through ModelLoader::load, torus of %zu vertices; medians of %d runs\n\n",
                mesh.positions.size() / 3, runs);
    std::printf("%-20s %8s %9s %10s %11s %10s %10s %7s %7s %9s\n", "form", "file MiB", "triangles", "first load",
                "median load", "fresh copy", "warm copy", "/fresh", "/warm", "peak MiB");
    {
        const auto glb = trimeo::bench::binaryGLTF(mesh);
        print("GLB (BIN chunk)", measure(glb, "torus.glb"));
    }
    {
        const auto gltf = trimeo::bench::embeddedGLTF(mesh);
        print(".gltf (base64 URI)", measure(gltf, "torus.gltf"));
    }
    std::printf("\ntimes in ms. fresh copy: memcpy of the file into a new allocation (page faults included);\n"
                "warm copy: memcpy into memory already touched. /fresh, /warm: median load over that copy.\n"
                "peak MiB: rise of the peak resident memory during the loads, over the file and mesh already held.\n");
    return 0;
}
