// The 3MF build over arbitrary model parts: items, components with transforms, parts reached
// by path, cycles. The input is the main part, then the parts "3D/1.model", "3D/2.model"...,
// separated by NUL bytes. It must never crash, stay within its limits, and every node it
// makes must hold whole vertices.
#include "formats/threemf/ModelAssembly.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::vector<std::uint8_t>> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) parts.emplace_back();
        else parts.back().push_back(data[i]);
    }
    // Small limits keep each run short; the limits themselves are what is exercised.
    trimeo::threemf::PlacementLimits limits{16, 20000, 2000, 200000};
    const trimeo::threemf::PartReader read = [&](const std::string& path) -> std::optional<std::vector<std::uint8_t>> {
        for (std::size_t i = 1; i < parts.size(); ++i)
            if (path == "3D/" + std::to_string(i) + ".model") return parts[i];
        if (path == trimeo::threemf::kMainModelPath) return parts[0];
        return std::nullopt;
    };
    try {
        const trimeo::ReaderResult result = trimeo::threemf::assembleModel(parts[0], read, limits);
        const auto& nodes = result.scene->rootNode->childNodes();
        if (nodes.empty() || result.count != nodes.size()) __builtin_trap();
        for (const auto& node : nodes) {
            const auto& positions = node->geometry->sources.at(0).data;
            if (positions.empty() || positions.size() % 3 != 0) __builtin_trap();
            node->geometry->validTriangleIndices(0); // bounds-checked view of what is drawn
        }
    } catch (const trimeo::LoaderError&) {
    }
    return 0;
}
