// 3MF import of a generated package of about one million triangles: the whole load, its
// peak memory, and how the time splits between unpacking and reading the model XML.
// Also the attribute float rule against strtof and from_chars on the same texts.
#include "support/BenchSupport.h"

#include "loading/TemporaryFiles.h"
#include "threemf/NumberParsing.h"
#include "threemf/PackageExtractor.h"
#include "threemf/PackagePaths.h"
#include "threemf/ThreeMFParser.h"
#include "threemf/ThreeMFXMLParser.h"

#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale.h>
#include <string>
#include <vector>

namespace {
using trimeo::bench::now;

std::string modelXML(const trimeo::bench::Mesh& mesh) {
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

std::vector<std::uint8_t> package(const std::string& mainPart) {
    trimeo::TemporaryFile file("3mf");
    int error = 0;
    zip_t* archive = zip_open(file.path().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) std::abort();
    const std::string types = "<?xml version=\"1.0\"?><Types/>";
    auto add = [&](const char* name, const std::string& content) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (!source || zip_file_add(archive, name, source, 0) < 0) std::abort();
    };
    add("[Content_Types].xml", types);
    add("3D/3dmodel.model", mainPart);
    if (zip_close(archive) != 0) std::abort();
    std::ifstream in(file.path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double residentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

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

int main() {
    const trimeo::bench::Mesh torus = trimeo::bench::makeTorus(1000000);
    const std::string xml = modelXML(torus);
    const std::vector<std::uint8_t> bytes = package(xml);
    const std::size_t triangles = torus.indices.size() / 3, vertices = torus.positions.size() / 3;

    // The whole import, as the loader runs it.
    const double before = residentMiB();
    resetPeakMemory();
    std::size_t loaded = 0;
    const double whole = best(3, [&] {
        auto result = trimeo::ThreeMFParser().parse(bytes);
        loaded = result.scene->rootNode->childNodes()[0]->geometry->validTriangleCount();
    });
    const double peak = trimeo::bench::peakMemoryMiB();
    if (loaded != triangles) std::abort();

    // Its stages, one at a time.
    double unpack = 1e30, readBack = 1e30, parseXML = 1e30;
    for (int i = 0; i < 3; ++i) {
        trimeo::TemporaryDirectory work;
        double t0 = now();
        trimeo::writeWholeFile(work.path() / "model.3mf", bytes);
        std::filesystem::create_directory(work.path() / "extracted");
        trimeo::threemf::extractPackage(work.path() / "model.3mf", work.path() / "extracted");
        double t1 = now();
        auto main = trimeo::threemf::readWholeFile(work.path() / "extracted/3D/3dmodel.model");
        double t2 = now();
        auto parsed = trimeo::ThreeMFXMLParser(main).parse();
        double t3 = now();
        if (parsed.meshes.size() != 1) std::abort();
        unpack = std::min(unpack, t1 - t0);
        readBack = std::min(readBack, t2 - t1);
        parseXML = std::min(parseXML, t3 - t2);
    }

    std::printf("3MF import, generated torus: %zu triangles, %zu vertices\n", triangles, vertices);
    std::printf("  package %.1f MiB, model part %.1f MiB of XML\n", bytes.size() / 1048576.0, xml.size() / 1048576.0);
    std::printf("\n  stage                                 seconds   share of load\n");
    std::printf("  whole load (ThreeMFParser::parse)     %7.3f        100%%\n", whole);
    std::printf("  unpacking (write, libzip extract)     %7.3f    %7.1f%%\n", unpack, 100 * unpack / whole);
    std::printf("  reading the main part back            %7.3f    %7.1f%%\n", readBack, 100 * readBack / whole);
    std::printf("  XML parsing (expat + number rules)    %7.3f    %7.1f%%\n", parseXML, 100 * parseXML / whole);
    const double rest = whole - unpack - readBack - parseXML;
    std::printf("  rest (geometry, scene, clean-up)      %7.3f    %7.1f%%\n", rest, 100 * rest / whole);
    std::printf("\n  XML throughput                         %7.1f MiB/s\n", xml.size() / 1048576.0 / parseXML);
    std::printf("  resident before load %.1f MiB, peak during load %.1f MiB (+%.1f MiB)\n", before, peak, peak - before);

    floatRuleTable();
    return 0;
}
