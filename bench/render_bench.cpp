// Whole-process figure: `trimeo --render` against the peer viewer f3d on the same
// generated 2-million-triangle files, same size, same display. Median wall time of
// several runs and the peak resident memory of each child (wait4 rusage).
// Run under a display, e.g.: xvfb-run -a -s "-screen 0 1440x900x24" bench/render_bench
// Arguments: [runs] [triangles]; TRIMEO_BIN overrides the trimeo path.
#include "support/BenchSupport.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using trimeo::bench::now;

struct Run {
    double seconds = 0;
    double cpuSeconds = 0; // user + system: steadier than wall time on a shared machine
    double peakMiB = 0;
    int status = -1;
};

Run runChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const double start = now();
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = now() - start;
    r.peakMiB = double(usage.ru_maxrss) / 1024.0;
    r.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

struct Figure {
    double medianSeconds = 0;
    double medianCPU = 0;
    double peakMiB = 0;
    bool ok = false;
};

Figure measure(const std::vector<std::string>& argv, int runs, const fs::path& output) {
    std::vector<double> times, cpu;
    Figure f;
    f.ok = true;
    for (int i = 0; i < runs; ++i) {
        fs::remove(output);
        Run r = runChild(argv);
        f.ok = f.ok && r.status == 0 && fs::exists(output);
        times.push_back(r.seconds);
        cpu.push_back(r.cpuSeconds);
        f.peakMiB = std::max(f.peakMiB, r.peakMiB);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    f.medianSeconds = times[times.size() / 2];
    f.medianCPU = cpu[cpu.size() / 2];
    return f;
}

void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A minimal GLB: one mesh, one primitive, positions and 32-bit indices in one buffer.
std::vector<std::uint8_t> binaryGLTF(const trimeo::bench::Mesh& mesh) {
    const std::size_t posBytes = mesh.positions.size() * 4, idxBytes = mesh.indices.size() * 4;
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], mesh.positions[i]);
        hi[i % 3] = std::max(hi[i % 3], mesh.positions[i]);
    }
    char json[2048];
    std::snprintf(json, sizeof json,
                  "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],"
                  "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}],"
                  "\"buffers\":[{\"byteLength\":%zu}],"
                  "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":%zu},"
                  "{\"buffer\":0,\"byteOffset\":%zu,\"byteLength\":%zu}],"
                  "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":%zu,\"type\":\"VEC3\","
                  "\"min\":[%g,%g,%g],\"max\":[%g,%g,%g]},"
                  "{\"bufferView\":1,\"componentType\":5125,\"count\":%zu,\"type\":\"SCALAR\"}]}",
                  posBytes + idxBytes, posBytes, posBytes, idxBytes, mesh.positions.size() / 3, lo[0], lo[1], lo[2],
                  hi[0], hi[1], hi[2], mesh.indices.size());
    std::string j = json;
    while (j.size() % 4) j += ' ';
    const std::uint32_t binLength = std::uint32_t(posBytes + idxBytes);
    const std::uint32_t total = 12 + 8 + std::uint32_t(j.size()) + 8 + binLength;
    std::vector<std::uint8_t> out;
    auto u32 = [&](std::uint32_t v) { out.insert(out.end(), reinterpret_cast<std::uint8_t*>(&v), reinterpret_cast<std::uint8_t*>(&v) + 4); };
    u32(0x46546C67), u32(2), u32(total);
    u32(std::uint32_t(j.size())), u32(0x4E4F534A);
    out.insert(out.end(), j.begin(), j.end());
    u32(binLength), u32(0x004E4942);
    auto* p = reinterpret_cast<const std::uint8_t*>(mesh.positions.data());
    out.insert(out.end(), p, p + posBytes);
    auto* q = reinterpret_cast<const std::uint8_t*>(mesh.indices.data());
    out.insert(out.end(), q, q + idxBytes);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::size_t triangles = argc > 2 ? std::size_t(std::atoll(argv[2])) : 2'000'000;
    const char* env = std::getenv("TRIMEO_BIN");
    const std::string trimeo = env ? env : TRIMEO_BINARY;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "needs a display: run under xvfb-run\n");
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / ("trimeo-render-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);

    const trimeo::bench::Mesh mesh = trimeo::bench::makeTorus(triangles);
    std::printf("torus: %zu triangles, %zu vertices; %d runs each, 800x600\n", mesh.indices.size() / 3,
                mesh.positions.size() / 3, runs);
    struct Input {
        std::string name;
        fs::path path;
    };
    std::vector<Input> inputs;
    writeFile(dir / "torus.stl", trimeo::bench::binarySTL(mesh));
    inputs.push_back({"STL (binary)", dir / "torus.stl"});
    writeFile(dir / "torus-ascii.stl", trimeo::bench::asciiSTL(mesh));
    inputs.push_back({"STL (ASCII)", dir / "torus-ascii.stl"});
    writeFile(dir / "torus.ply", trimeo::bench::binaryPLY(mesh));
    inputs.push_back({"PLY (binary)", dir / "torus.ply"});
    writeFile(dir / "torus.obj", trimeo::bench::wavefrontOBJ(mesh));
    inputs.push_back({"OBJ", dir / "torus.obj"});
    writeFile(dir / "torus.glb", binaryGLTF(mesh));
    // GLB counts only where trimeo has its glTF importer.
    if (runChild({trimeo, "--info", (dir / "torus.glb").string()}).status == 0)
        inputs.push_back({"GLB", dir / "torus.glb"});
    else
        std::printf("GLB skipped: this trimeo cannot read glTF yet\n");

    const bool haveF3D = runChild({"f3d", "--version"}).status == 0;
    // `--info` runs the same load without GL: the part of the figure that is the loader's.
    std::printf("%-14s %10s %12s %10s %12s %10s %8s\n", "file", "load s", "trimeo s", "MiB", "f3d s", "MiB",
                "f3d/us");
    for (const Input& in : inputs) {
        const fs::path out = dir / "out.png";
        std::vector<double> loadTimes;
        for (int i = 0; i < runs; ++i) loadTimes.push_back(runChild({trimeo, "--info", in.path.string()}).seconds);
        std::sort(loadTimes.begin(), loadTimes.end());
        Figure ours = measure({trimeo, "--render", out.string(), "--size", "800x600", in.path.string()}, runs, out);
        Figure peer;
        if (haveF3D)
            peer = measure({"f3d", "--output=" + out.string(), "--resolution=800,600", in.path.string()}, runs, out);
        std::printf("%-14s %10.3f %12.3f %10.1f %12.3f %10.1f %8.2f%s%s\n", in.name.c_str(),
                    loadTimes[loadTimes.size() / 2], ours.medianSeconds, ours.peakMiB,
                    peer.medianSeconds, peer.peakMiB, ours.medianSeconds > 0 ? peer.medianSeconds / ours.medianSeconds : 0,
                    ours.ok ? "" : "  [trimeo failed]", !haveF3D ? "  [no f3d]" : (peer.ok ? "" : "  [f3d failed]"));
        std::printf("%-14s %10s %12.3f %10s %12.3f %10s %8.2f   (CPU seconds, user + system)\n", "", "",
                    ours.medianCPU, "", peer.medianCPU, "", ours.medianCPU > 0 ? peer.medianCPU / ours.medianCPU : 0);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
