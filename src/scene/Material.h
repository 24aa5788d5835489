// Surface description: diffuse contents (nothing, a colour or an image), lighting model,
// double-sidedness and fill mode.
#pragma once

#include "Color.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace trimeo::scene {

// An image used as material contents: a file on disk, or encoded image bytes (PNG, JPEG...)
// that came embedded in the model file.
struct Image {
    std::string path;
    std::vector<std::uint8_t> encoded;
    friend bool operator==(const Image&, const Image&) = default;
};

using MaterialContents = std::variant<std::monostate, Color, Image>;

struct MaterialProperty {
    MaterialContents contents;
    // An image's texels, in linear light, are multiplied by `scale` and then `bias` is added
    // (USD's texture scale and bias); a colour takes neither.
    Color scale = Color::white();
    Color bias{0, 0, 0, 0};
    bool hasContents() const { return !std::holds_alternative<std::monostate>(contents); }
    const Color* color() const { return std::get_if<Color>(&contents); }
    const Image* image() const { return std::get_if<Image>(&contents); }
};

enum class LightingModel { blinn, physicallyBased };
enum class FillMode { fill, lines };

struct Material {
    std::optional<std::string> name;
    MaterialProperty diffuse;
    LightingModel lightingModel = LightingModel::blinn;
    bool isDoubleSided = false;
    FillMode fillMode = FillMode::fill;
    float metalness = 0.0f;
    float roughness = 0.5f;
};

} // namespace trimeo::scene
