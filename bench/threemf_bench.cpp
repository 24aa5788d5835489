// 3MF import of a generated package of about one million triangles: the whole load, its
// peak memory, and how the time splits between unpacking and reading the model XML (the
// plain reader, and expat alone for comparison). With a package path as argument, the
// whole load of that package alone.
// Also the attribute float rule against strtof and from_chars on the same texts.
#include "support/BenchSupport.h"
#include "support/ModelFiles.h"

#include "formats/common/TemporaryFiles.h"
#include "formats/threemf/NumberParsing.h"
#include "formats/threemf/PackageExtractor.h"
#include "formats/threemf/PackagePaths.h"
#include "formats/threemf/ThreeMFParser.h"
#include "formats/threemf/ThreeMFXMLParser.h"

#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <locale.h>
#include <string>
#include <time.h>
#include <vector>

namespace {
using trimeo::bench::now;

// Lets VmHWM measure from here on (Linux: "5" resets the peak to the current size).
void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

template <class F> double best(int runs, F&& f) {
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i) {
        double t0 = now();
        f();
        fastest = std::min(fastest, now() - t0);
    }
    return fastest;
}

void floatRuleTable() {
    std::vector<std::string> texts;
    char buffer[32];
    for (int i = 0; i < 2000000; ++i) {
        std::snprintf(buffer, sizeof buffer, i % 2 ? "%.5f" : "%.6f", (i % 100003) * 0.0137 - 650.0);
        texts.emplace_back(buffer);
    }
    const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    double sink = 0;
    const double rule = best(3, [&] {
        for (const auto& t : texts) sink += *trimeo::threemf::parseFloatAttribute(t);
    });
    const double strtofTime = best(3, [&] {
        for (const auto& t : texts) sink += strtof_l(t.c_str(), nullptr, c);
    });
    const double fromChars = best(3, [&] {
        for (const auto& t : texts) {
            float f = 0;
            std::from_chars(t.data(), t.data() + t.size(), f);
            sink += f;
        }
    });
    const double n = double(texts.size());
    std::printf("\nFloat attribute texts (%zu, \"%%.5f\"/\"%%.6f\" mixed)   ns per value\n", texts.size());
    std::printf("  parseFloatAttribute                        %8.1f\n", rule / n * 1e9);
    std::printf("  strtof_l (C locale)                        %8.1f\n", strtofTime / n * 1e9);
    std::printf("  std::from_chars                            %8.1f\n", fromChars / n * 1e9);
    if (sink == 0.123) std::puts("");
}

} // namespace

struct Times {
    double wall = 1e30, cpu = 1e30;
    void keepFastest(double w, double c) {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

double cpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void printRow(const char* stage, const Times& t, const Times& whole) {
    std::printf("  %-38s %7.3f  %7.3f   %6.1f%%\n", stage, t.wall, t.cpu, 100 * t.cpu / whole.cpu);
}

// The whole load of one package file: each run's wall and CPU seconds, and their medians.
int loadPackage(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return 1;
    std::vector<double> walls, cpus;
    for (int run = 0; run < 5; ++run) {
        const double w0 = now(), c0 = cpuNow();
        trimeo::ThreeMFParser().parse(bytes);
        walls.push_back(now() - w0);
        cpus.push_back(cpuNow() - c0);
        std::printf("  run %d: %.3f s wall, %.3f s CPU\n", run + 1, walls.back(), cpus.back());
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    std::printf("%s: median %.3f s wall, %.3f s CPU\n", path, walls[2], cpus[2]);
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 1) return loadPackage(argv[1]);
    const trimeo::bench::Mesh torus = trimeo::bench::makeTorus(1000000);
    const std::string xml = trimeo::bench::threeMFModelXML(torus);
    const std::vector<std::uint8_t> bytes = trimeo::bench::threeMFPackage(xml);
    const std::size_t triangles = torus.indices.size() / 3, vertices = torus.positions.size() / 3;

    const double before = trimeo::bench::residentMemoryMiB();
    resetPeakMemory();
    Times whole, unpack, parseXML, parseExpat;
    double peak = 0;
    constexpr int kRuns = 5;
    for (int run = 0; run < kRuns; ++run) {
        // The whole import, as the loader runs it.
        double w0 = now(), c0 = cpuNow();
        {
            auto result = trimeo::ThreeMFParser().parse(bytes);
            if (result.scene->rootNode->childNodes()[0]->geometry->validTriangleCount() != triangles) std::abort();
        }
        whole.keepFastest(now() - w0, cpuNow() - c0);
        if (run == 0) peak = trimeo::bench::peakMemoryMiB(); // the loads', before the stages

        // Its stages, one at a time.
        trimeo::TemporaryDirectory work;
        w0 = now(), c0 = cpuNow();
        trimeo::writeWholeFile(work.path() / "model.3mf", bytes);
        std::filesystem::create_directory(work.path() / "extracted");
        trimeo::threemf::HeldEntry main;
        main.path = "3D/3dmodel.model";
        main.maxBytes = std::uint64_t(1) << 30;
        trimeo::threemf::extractPackage(work.path() / "model.3mf", work.path() / "extracted", {}, &main);
        double w1 = now(), c1 = cpuNow();
        auto parsed = trimeo::ThreeMFXMLParser(main.bytes).parse();
        double w2 = now(), c2 = cpuNow();
        auto reference = trimeo::ThreeMFXMLParser(main.bytes).parseWithExpat();
        double w3 = now(), c3 = cpuNow();
        if (parsed.meshes.size() != 1 || reference.meshes.size() != 1 ||
            parsed.meshes[0].vertices != reference.meshes[0].vertices)
            std::abort();
        unpack.keepFastest(w1 - w0, c1 - c0);
        parseXML.keepFastest(w2 - w1, c2 - c1);
        parseExpat.keepFastest(w3 - w2, c3 - c2);
    }

    std::printf("3MF import, generated torus: %zu triangles, %zu vertices\n", triangles, vertices);
    std::printf("  package %.1f MiB, model part %.1f MiB of XML; fastest of %d runs\n", bytes.size() / 1048576.0,
                xml.size() / 1048576.0, kRuns);
    std::printf("\n  %-38s %7s  %7s   %7s\n", "stage", "wall s", "CPU s", "CPU share");
    printRow("whole load (ThreeMFParser::parse)", whole, whole);
    printRow("unpacking (write, libzip, main held)", unpack, whole);
    printRow("XML parsing (plain reader + numbers)", parseXML, whole);
    printRow("  the same with expat alone (reference)", parseExpat, whole);
    std::printf("\n  XML parsing throughput %.1f MiB/s (wall), expat alone %.1f MiB/s\n",
                xml.size() / 1048576.0 / parseXML.wall, xml.size() / 1048576.0 / parseExpat.wall);
    std::printf("  resident before the loads %.1f MiB, peak during the first %.1f MiB (+%.1f MiB)\n", before, peak,
                peak - before);

    floatRuleTable();
    return 0;
}
