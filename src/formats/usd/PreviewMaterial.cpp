#include "PreviewMaterial.h"

#include <algorithm>
#include <cmath>

namespace trimeo::usd {
namespace {

constexpr int kMaxConnectionHops = 16;

std::string firstText(const Prim& prim, const char* name) {
    const Attribute* a = prim.attribute(name);
    return a && !a->value.texts.empty() ? a->value.texts[0] : std::string{};
}

bool isShader(const Prim& prim, const char* id) { return prim.typeName == "Shader" && firstText(prim, "info:id") == id; }

// Where an input's value comes from: a shader's output, an authored value, or neither.
struct Source {
    const Prim* shader = nullptr;
    const Attribute* value = nullptr;
};

Source resolve(const PrimIndex& index, const Prim& prim, std::string_view name, int hops = 0) {
    const Attribute* a = prim.attribute(std::string(name));
    if (!a || hops > kMaxConnectionHops) return {};
    if (!a->connections.empty()) {
        const std::string& target = a->connections.front();
        const Prim* p = index.find(target);
        const std::string_view property = propertyOf(target);
        if (!p || property.empty()) return {};
        if (p->typeName == "Shader" && property.starts_with("outputs:")) return {p, nullptr};
        return resolve(index, *p, property, hops + 1); // a node graph's or material's interface
    }
    if (a->value.numbers.empty() && a->value.texts.empty()) return {};
    return {nullptr, a};
}

const Prim* surfaceShader(const PrimIndex& index, const Prim& material) {
    const Source s = resolve(index, material, "outputs:surface");
    if (s.shader) return isShader(*s.shader, "UsdPreviewSurface") ? s.shader : nullptr;
    for (const Prim& child : material.children)
        if (isShader(child, "UsdPreviewSurface")) return &child;
    return nullptr;
}

// Inputs are factors from 0 to 1; a value that is no number counts as 0.
float unit(double v) { return std::isfinite(v) ? float(std::clamp(v, 0.0, 1.0)) : 0.0f; }

std::optional<float> scalar(const Source& s) {
    if (s.value && !s.value->value.numbers.empty()) return unit(s.value->value.numbers[0]);
    return std::nullopt;
}

std::optional<scene::Color> colour(const Source& s) {
    if (!s.value || s.value->value.numbers.size() < 3) return std::nullopt;
    const auto& n = s.value->value.numbers;
    return scene::Color{unit(n[0]), unit(n[1]), unit(n[2]), 1.0f};
}

// A texture's scale or bias: four numbers of any sign (a fourth missing reads as `fallback`'s),
// or `fallback` when not all are finite.
scene::Color factors(const Source& s, scene::Color fallback) {
    if (!s.value || s.value->value.numbers.size() < 3) return fallback;
    const auto& n = s.value->value.numbers;
    const double a = n.size() > 3 ? n[3] : fallback.a;
    for (double v : {n[0], n[1], n[2], a})
        if (!std::isfinite(v)) return fallback;
    return {float(n[0]), float(n[1]), float(n[2]), float(a)};
}

} // namespace

Looks::Looks(const PrimIndex& index, TextureReader textures) : index_(index), textures_(std::move(textures)) {}

const Look* Looks::boundTo(const Prim& prim) {
    const auto* targets = prim.relationship("material:binding");
    return targets && !targets->empty() ? at(targets->front()) : nullptr;
}

const Look* Looks::at(const std::string& path) {
    auto it = looks_.find(path);
    if (it == looks_.end()) {
        const Prim* material = index_.find(path);
        std::optional<Look> look = material ? build(*material) : std::nullopt;
        it = looks_.emplace(path, look ? std::make_unique<Look>(std::move(*look)) : nullptr).first;
    }
    return it->second.get();
}

std::optional<Look> Looks::build(const Prim& material) {
    const Prim* surface = surfaceShader(index_, material);
    if (!surface) return std::nullopt;
    Look look;
    scene::Material& m = look.material;
    m.name = material.name;
    m.lightingModel = scene::LightingModel::physicallyBased;
    m.metalness = scalar(resolve(index_, *surface, "inputs:metallic")).value_or(0.0f);
    m.roughness = scalar(resolve(index_, *surface, "inputs:roughness")).value_or(0.5f);

    scene::Color diffuse{0.18f, 0.18f, 0.18f, 1.0f};
    const Source d = resolve(index_, *surface, "inputs:diffuseColor");
    if (d.shader && isShader(*d.shader, "UsdUVTexture")) {
        const Source file = resolve(index_, *d.shader, "inputs:file");
        if (file.value && !file.value->value.texts.empty()) {
            if (auto image = texture(*file.value)) m.diffuse.contents = std::move(*image);
        }
        const scene::Color scale = factors(resolve(index_, *d.shader, "inputs:scale"), scene::Color::white());
        const scene::Color bias = factors(resolve(index_, *d.shader, "inputs:bias"), {0, 0, 0, 0});
        if (m.diffuse.hasContents()) {
            m.diffuse.scale = scale;
            m.diffuse.bias = bias;
        } else {
            // The shader's output without its image: the fallback, scaled and biased alike.
            const scene::Color f = colour(resolve(index_, *d.shader, "inputs:fallback")).value_or(diffuse);
            diffuse = {unit(f.r * scale.r + bias.r), unit(f.g * scale.g + bias.g), unit(f.b * scale.b + bias.b), 1.0f};
        }
        const Source st = resolve(index_, *d.shader, "inputs:st");
        if (st.shader && std::string_view(firstText(*st.shader, "info:id")).starts_with("UsdPrimvarReader")) {
            const Source name = resolve(index_, *st.shader, "inputs:varname");
            if (name.value && !name.value->value.texts.empty()) look.texcoords = "primvars:" + name.value->value.texts[0];
        }
    } else {
        diffuse = colour(d).value_or(diffuse);
    }
    if (!m.diffuse.hasContents()) {
        // Emission adds light the scene cannot carry; a lit-looking colour is the closest.
        if (auto e = colour(resolve(index_, *surface, "inputs:emissiveColor"))) {
            diffuse.r = std::min(1.0f, diffuse.r + e->r);
            diffuse.g = std::min(1.0f, diffuse.g + e->g);
            diffuse.b = std::min(1.0f, diffuse.b + e->b);
        }
        diffuse.a = scalar(resolve(index_, *surface, "inputs:opacity")).value_or(1.0f);
        m.diffuse.contents = diffuse;
    }
    return look;
}

std::optional<scene::Image> Looks::texture(const Attribute& file) {
    const std::pair<std::string, std::string> key{file.layer, file.value.texts.front()};
    auto it = images_.find(key);
    if (it == images_.end()) {
        std::optional<scene::Image> image;
        if (textures_) {
            if (auto bytes = textures_(key.second, key.first); bytes && !bytes->empty())
                image = scene::Image{{}, std::move(*bytes)};
        }
        it = images_.emplace(key, std::move(image)).first;
    }
    return it->second;
}

} // namespace trimeo::usd
