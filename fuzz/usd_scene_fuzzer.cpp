// The USD scene builder on usda text. The layer's prims are wired from the input's last
// bytes (bindings, prototypes, connections, instanceable flags between random prims), so
// materials, subsets and instancers are reached whatever the text reader fills in. A
// refusal of the text is fine; a crash, a hang or a sanitizer report is a bug.
#include "formats/usd/StageScene.h"
#include "formats/usd/UsdFormatError.h"
#include "formats/usd/UsdaParser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace trimeo::usd;

struct Wiring {
    const std::uint8_t* data;
    std::size_t size, at = 0;
    std::uint8_t next() { return size ? data[at++ % size] : 0; }
};

void collect(Prim& prim, const std::string& parent, std::vector<std::pair<Prim*, std::string>>& out, int depth) {
    if (depth > kMaxNestingDepth) return;
    const std::string path = parent + "/" + prim.name;
    out.emplace_back(&prim, path);
    for (Prim& child : prim.children) collect(child, path, out, depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t wiringBytes = size < 64 ? size / 4 : 16;
    Stage stage;
    try {
        stage = parseUsda({reinterpret_cast<const char*>(data), size - wiringBytes});
    } catch (const UsdFormatError&) {
        return 0;
    }
    std::vector<std::pair<Prim*, std::string>> prims;
    for (Prim& p : stage.rootPrims) collect(p, "", prims, 1);
    Wiring w{data + size - wiringBytes, wiringBytes};
    if (!prims.empty())
        for (auto& [prim, path] : prims) {
            auto target = [&] { return prims[w.next() % prims.size()].second; };
            const std::uint8_t choice = w.next();
            if (choice & 1) prim->relationships["material:binding"] = {target()};
            if (choice & 2) prim->relationships["prototypes"] = {target(), target()};
            if (choice & 4) prim->instanceable = true;
            if (choice & 8)
                for (auto& [name, attribute] : prim->attributes)
                    if (name.starts_with("inputs:") || name.starts_with("outputs:"))
                        attribute.connections = {target() + (w.next() & 1 ? ".outputs:rgb" : ".inputs:x")};
            if (choice & 16) prim->attributes["outputs:surface"].connections = {target() + ".outputs:surface"};
        }
    buildScene(stage, [&](const std::string&, const std::string&) {
        return std::optional(std::vector<std::uint8_t>(data, data + std::min<std::size_t>(size, 64)));
    });
    return 0;
}
