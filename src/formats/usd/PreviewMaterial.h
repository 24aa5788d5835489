// Materials as UsdPreviewSurface describes them. A Material prim's "outputs:surface"
// connection leads (through node graphs and interface inputs) to a UsdPreviewSurface shader,
// whose inputs give the look: diffuseColor (a constant, or a UsdUVTexture's image with its
// scale and bias, which fold into the fallback colour when the image is missing), opacity
// (the colour's alpha), metallic, roughness, and emissiveColor, added to a constant diffuse
// colour because the scene has no emission of its own. Without a connection the Material's
// first UsdPreviewSurface child serves.
//
// Texture files are read through `TextureReader`, given the asset path as written and the
// layer that wrote it (Attribute::layer); a texture that cannot be read leaves its fallback
// colour, or the schema's grey.
#pragma once

#include "PrimIndex.h"
#include "scene/Material.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trimeo::usd {

using TextureReader =
    std::function<std::optional<std::vector<std::uint8_t>>(const std::string& assetPath, const std::string& layer)>;

struct Look {
    scene::Material material;
    // The primvar the diffuse texture reads its coordinates from ("primvars:st0"); empty
    // when the look has no texture or does not say.
    std::string texcoords;
};

class Looks {
public:
    Looks(const PrimIndex& index, TextureReader textures);

    // The look of the material that `prim`'s "material:binding" names; null when it names
    // none or no usable material.
    const Look* boundTo(const Prim& prim);
    const Look* at(const std::string& materialPath);

private:
    std::optional<Look> build(const Prim& material);
    std::optional<scene::Image> texture(const Attribute& file);

    const PrimIndex& index_;
    TextureReader textures_;
    std::map<std::string, std::unique_ptr<Look>> looks_; // null entries: paths already refused
    std::map<std::pair<std::string, std::string>, std::optional<scene::Image>> images_; // by layer, path
};

} // namespace trimeo::usd
