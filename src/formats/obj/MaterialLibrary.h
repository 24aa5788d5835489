// Wavefront material libraries (.mtl): the statements a viewer shows, namely diffuse colour
// (Kd), opacity (d, or Tr as its complement) and diffuse texture (map_Kd), and how an OBJ's
// `usemtl` names become scene materials.
#pragma once

#include "formats/common/RelatedFiles.h"
#include "scene/Material.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace trimeo::obj {

struct MaterialDefinition {
    std::optional<scene::Color> diffuse; // Kd, alpha 1
    std::optional<float> dissolve;       // d: opacity
    std::optional<float> transparency;   // Tr: 1 - opacity, when d is absent
    std::string diffuseMap;              // map_Kd's file name, options removed; empty when none
    std::string library;                 // the library's reference, which map names are relative to
};

// Adds the materials of one library's text to `into`, under their names with surrounding
// white space removed; a name defined again replaces the earlier definition. Other
// statements, and numbers that do not read, are skipped. Safe on any bytes.
void readMaterialLibrary(std::span<const std::uint8_t> text, const std::string& library,
                         std::map<std::string, MaterialDefinition>& into);

// The file name of a map statement's arguments: its options ("-s 1 1 1", "-clamp on"...)
// skipped, the rest with surrounding white space removed, inner spaces kept.
std::string mapFileName(std::string_view arguments);

// The scene material of a definition. A texture is looked for through `related` (relative
// to the library, then to the model, then either with '\' read as '/') and, once read
// there, named by its path relative to the model's folder, which the renderer resolves.
// Nothing when the definition gives neither colour, opacity nor texture, or when its
// texture cannot be read: those faces stay grey.
std::optional<scene::Material> makeMaterial(const std::string& name, const MaterialDefinition& definition,
                                            RelatedFiles& related);

} // namespace trimeo::obj
