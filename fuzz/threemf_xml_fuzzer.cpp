// The 3MF model XML reader over arbitrary bytes: it must never crash, and every mesh it
// hands back must be whole (vertices present, in threes; indices in threes), and every
// object's mesh must be one of them.
#include "formats/threemf/ThreeMFXMLParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trimeo::ThreeMFXMLParser::ParseResult result = trimeo::ThreeMFXMLParser({data, size}).parse();
    for (const auto& mesh : result.meshes)
        if (mesh.vertices.empty() || mesh.vertices.size() % 3 != 0 || mesh.triangles.size() % 3 != 0) __builtin_trap();
    for (const auto& path : result.componentPaths)
        if (!path.ends_with(".model")) __builtin_trap();
    for (const auto& object : result.objects)
        if (object.mesh && *object.mesh >= result.meshes.size()) __builtin_trap();
    return 0;
}
