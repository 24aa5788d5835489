// Wavefront material libraries over arbitrary bytes: the library reader and the map-name
// rule must never crash, and every material made must hold colours in 0..1.
#include "formats/obj/MaterialLibrary.h"

#include <cstdint>
#include <map>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::map<std::string, trimeo::obj::MaterialDefinition> definitions;
    trimeo::obj::readMaterialLibrary({data, size}, "lib/a.mtl", definitions);
    trimeo::obj::mapFileName(std::string_view(reinterpret_cast<const char*>(data), size));
    trimeo::RelatedFiles none; // nothing beside the model: textures leave their faces grey
    for (const auto& [name, definition] : definitions) {
        const auto material = trimeo::obj::makeMaterial(name, definition, none);
        if (!material) continue;
        const trimeo::scene::Color* c = material->diffuse.color();
        if (!c || material->diffuse.image()) __builtin_trap();
        for (float v : {c->r, c->g, c->b, c->a})
            if (!(v >= 0 && v <= 1)) __builtin_trap();
    }
    return 0;
}
