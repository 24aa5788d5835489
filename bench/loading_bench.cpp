// Times ModelLoader::load on generated ~2-million-triangle models through the asset
// library route. Each format runs in its own process so that peak memory is its own.
//   loading_bench [TRIANGLES]          the whole table
//   loading_bench --one FORMAT N       one row (used by the table)
#include "loading/ModelLoader.h"
#include "support/BenchSupport.h"
#include "support/ModelFiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace trimeo;

namespace {

int runOne(const std::string& format, std::size_t triangles) {
    bench::Mesh mesh = bench::makeTorus(triangles);
    std::vector<std::uint8_t> data = format == "stl-binary" ? bench::binarySTL(mesh)
                                     : format == "stl-ascii" ? bench::asciiSTL(mesh)
                                                             : bench::wavefrontOBJ(mesh);
    const char* ext = format == "obj" ? "obj" : "stl";
    mesh = {};
    double before = bench::peakMemoryMiB();
    double t0 = bench::now();
    auto result = ModelLoader::load(data, std::filesystem::path(std::string("bench.") + ext));
    double seconds = bench::now() - t0;
    std::size_t tris = 0;
    result.scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (n->geometry) tris += n->geometry->validTriangleCount();
    });
    std::printf("%-11s %9.1f MB %10zu %8.3f s %10.2f M/s %9.0f MiB %9.0f MiB\n", format.c_str(), data.size() / 1e6, tris,
                seconds, tris / seconds / 1e6, bench::peakMemoryMiB(), bench::peakMemoryMiB() - before);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--one") == 0) return runOne(argv[2], std::strtoull(argv[3], nullptr, 10));
    std::size_t triangles = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 2000000;
    std::printf("%-11s %12s %10s %10s %14s %13s %13s\n", "format", "file", "triangles", "load", "triangles/s",
                "peak RSS", "load's share");
    std::fflush(stdout);
    for (const char* format : {"stl-binary", "stl-ascii", "obj"}) {
        std::string cmd = std::filesystem::read_symlink("/proc/self/exe").string() + " --one " + format + " " + std::to_string(triangles);
        if (std::system(cmd.c_str()) != 0) std::printf("%-11s failed\n", format);
    }
    return 0;
}
