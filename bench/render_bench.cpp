// The performance table: `trimeo --render` against the peer viewer f3d on the same
// generated 2-million-triangle model in each common format, same image size, same display.
// Median wall time of several runs and the peak resident memory of each child (wait4
// rusage); then trimeo's own split of the time (`--render --timings`) and its frame rate
// while orbiting the uploaded model.
// Run under a display, e.g.: xvfb-run -a -s "-screen 0 1440x900x24" bench/render_bench
// Arguments: [runs] [triangles] [--keep DIR] [--only torus.stl,torus.glb,...] [--files-only];
// TRIMEO_BIN overrides the trimeo path.
#include "support/BenchSupport.h"
#include "support/ModelFiles.h"

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
#include <map>
#include <sstream>
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

// Runs argv with stdout discarded; stderr goes to `errors` when given, else is discarded.
Run runChild(const std::vector<std::string>& argv, const fs::path* errors = nullptr) {
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
        if (errors) {
            int fd = ::open(errors->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) dup2(fd, 2);
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

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The "timing NAME SECONDS" lines of `trimeo --render --timings`, medians over the runs.
using Split = std::map<std::string, double>;
const char* const kSteps[] = {"read", "parse", "pipeline", "context", "wait", "upload", "frame", "readback", "save",
                              "total", "orbit-fps"};

Split measureSplit(const std::string& trimeo, const fs::path& file, const fs::path& dir, int runs) {
    std::map<std::string, std::vector<double>> samples;
    const fs::path out = dir / "split.png", log = dir / "split.log";
    for (int i = 0; i < runs; ++i) {
        if (runChild({trimeo, "--render", out.string(), "--size", "800x600", "--timings", file.string()}, &log)
                .status != 0)
            continue;
        std::ifstream in(log);
        std::string word, name;
        double value = 0;
        while (in >> word) {
            if (word == "timing" && in >> name >> value) samples[name].push_back(value);
        }
    }
    Split split;
    for (auto& [name, values] : samples) split[name] = median(values);
    return split;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::size_t triangles = 2'000'000;
    fs::path keep;
    std::string only; // ",torus.stl,torus.glb," picks rows by file name
    bool filesOnly = false;
    for (int i = 1, positional = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) keep = argv[++i];
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = "," + std::string(argv[++i]) + ",";
        else if (std::strcmp(argv[i], "--files-only") == 0) filesOnly = true;
        else if (positional++ == 0) runs = std::max(1, std::atoi(argv[i]));
        else triangles = std::size_t(std::atoll(argv[i]));
    }
    const char* env = std::getenv("TRIMEO_BIN");
    const std::string trimeo = env ? env : TRIMEO_BINARY;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "needs a display: run under xvfb-run\n");
        return 1;
    }
    const fs::path dir = !keep.empty() ? keep
                                       : fs::temp_directory_path() / ("trimeo-render-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);

    const trimeo::bench::Mesh mesh = trimeo::bench::makeTorus(triangles);
    std::printf("torus: %zu triangles, %zu vertices; median of %d runs each, 800x600\n\n", mesh.indices.size() / 3,
                mesh.positions.size() / 3, runs);
    struct Input {
        std::string name;
        fs::path path;
    };
    std::vector<Input> inputs;
    auto add = [&](std::string name, const char* fileName, auto&& write) {
        if (!only.empty() && only.find("," + std::string(fileName) + ",") == std::string::npos) return;
        const fs::path path = dir / fileName;
        if (!fs::exists(path)) writeFile(path, write());
        inputs.push_back({std::move(name), path});
    };
    add("STL (binary)", "torus.stl", [&] { return trimeo::bench::binarySTL(mesh); });
    add("STL (ASCII)", "torus-ascii.stl", [&] { return trimeo::bench::asciiSTL(mesh); });
    add("OBJ", "torus.obj", [&] { return trimeo::bench::wavefrontOBJ(mesh); });
    add("PLY (binary)", "torus.ply", [&] { return trimeo::bench::binaryPLY(mesh); });
    add("GLB", "torus.glb", [&] { return trimeo::bench::binaryGLTF(mesh); });
    add("glTF (base64)", "torus.gltf", [&] { return trimeo::bench::embeddedGLTF(mesh); });
    add("3MF", "torus.3mf", [&] { return trimeo::bench::threeMFPackage(trimeo::bench::threeMFModelXML(mesh)); });

    if (filesOnly) return 0;
    const bool haveF3D = runChild({"f3d", "--version"}).status == 0;
    std::printf("| file | MiB | trimeo s | trimeo MiB | trimeo CPU s | f3d s | time ratio | f3d MiB | memory ratio | "
                "f3d CPU s |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    std::vector<Split> splits;
    for (const Input& in : inputs) {
        const fs::path out = dir / "out.png";
        Figure ours = measure({trimeo, "--render", out.string(), "--size", "800x600", in.path.string()}, runs, out);
        Figure peer;
        if (haveF3D)
            peer = measure({"f3d", "--output=" + out.string(), "--resolution=800,600", in.path.string()}, runs, out);
        // Peer columns stay empty where f3d is missing or cannot read the format.
        char peerFigures[160] = "– | – | – | – | –";
        if (peer.ok)
            std::snprintf(peerFigures, sizeof peerFigures, "%.3f | %.2f | %.0f | %.2f | %.2f", peer.medianSeconds,
                          ours.medianSeconds / peer.medianSeconds, peer.peakMiB, ours.peakMiB / peer.peakMiB,
                          peer.medianCPU);
        std::printf("| %s | %.0f | %.3f | %.0f | %.2f | %s |%s%s\n", in.name.c_str(),
                    double(fs::file_size(in.path)) / 1048576.0, ours.medianSeconds, ours.peakMiB, ours.medianCPU,
                    peerFigures, ours.ok ? "" : "  [trimeo failed]",
                    !haveF3D ? "  [no f3d]" : (peer.ok ? "" : "  [f3d failed]"));
        std::fflush(stdout);
        splits.push_back(measureSplit(trimeo, in.path, dir, runs));
    }

    std::printf("\ntrimeo's own split (seconds; read and parse overlap the context set-up, wait is what remained):\n\n|"
                " file |");
    for (const char* step : kSteps) std::printf(" %s |", step);
    std::printf("\n|---|");
    for (std::size_t i = 0; i < std::size(kSteps); ++i) std::printf("---|");
    std::printf("\n");
    for (std::size_t r = 0; r < inputs.size(); ++r) {
        std::printf("| %s |", inputs[r].name.c_str());
        for (const char* step : kSteps) {
            auto it = splits[r].find(step);
            if (it == splits[r].end()) std::printf(" – |");
            else std::printf(std::strcmp(step, "orbit-fps") == 0 ? " %.1f |" : " %.3f |", it->second);
        }
        std::printf("\n");
    }
    if (keep.empty()) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    return 0;
}
