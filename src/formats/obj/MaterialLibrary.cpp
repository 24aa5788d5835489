#include "MaterialLibrary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace trimeo::obj {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// The next word of `s`, removed from it.
std::string_view nextWord(std::string_view& s) {
    s = trim(s);
    std::size_t end = 0;
    while (end < s.size() && !isSpace(s[end])) ++end;
    std::string_view word = s.substr(0, end);
    s.remove_prefix(end);
    return word;
}

std::optional<float> number(std::string_view word) {
    if (word.starts_with('+')) word.remove_prefix(1);
    float value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool isNumber(std::string_view word) { return number(word).has_value(); }

float unit(float v) { return std::clamp(v, 0.0f, 1.0f); }

// How many words follow each map option (at most; "-o", "-s", "-t" take one to three numbers).
int optionArguments(std::string_view option) {
    static constexpr std::pair<std::string_view, int> kOptions[] = {
        {"-blendu", 1}, {"-blendv", 1}, {"-bm", 1},   {"-boost", 1}, {"-cc", 1},      {"-clamp", 1},
        {"-imfchan", 1}, {"-mm", 2},    {"-o", 3},    {"-s", 3},     {"-t", 3},       {"-texres", 1},
        {"-type", 1},   {"-colorspace", 1}};
    for (auto [name, count] : kOptions)
        if (option == name) return count;
    return -1;
}

// The reference, relative to the model's folder, under which the texture can be read.
std::optional<std::string> findTexture(const MaterialDefinition& d, RelatedFiles& related) {
    std::string backslashed = d.diffuseMap;
    std::replace(backslashed.begin(), backslashed.end(), '\\', '/');
    std::vector<std::string> candidates;
    for (const std::string& name : {d.diffuseMap, backslashed}) {
        if (auto beside = joinRelative(d.library, name)) candidates.push_back(*beside);
        candidates.push_back(name);
    }
    std::string why;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (std::find(candidates.begin(), candidates.begin() + i, candidates[i]) != candidates.begin() + i) continue;
        if (related.read(candidates[i], why)) return candidates[i];
    }
    return std::nullopt;
}

} // namespace

void readMaterialLibrary(std::span<const std::uint8_t> text, const std::string& library,
                         std::map<std::string, MaterialDefinition>& into) {
    const char* p = reinterpret_cast<const char*>(text.data());
    const char* end = p + text.size();
    MaterialDefinition* current = nullptr;
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!eol) eol = end;
        std::string_view line(p, std::size_t(eol - p));
        p = eol + 1;
        const std::string_view keyword = nextWord(line);
        if (keyword == "newmtl") {
            current = &(into[std::string(trim(line))] = MaterialDefinition{});
            current->library = library;
        } else if (!current) {
            continue;
        } else if (keyword == "Kd") {
            float c[3];
            int n = 0;
            for (; n < 3; ++n) {
                auto v = number(nextWord(line));
                if (!v) break;
                c[n] = unit(*v);
            }
            if (n == 1) c[1] = c[2] = c[0]; // one value stands for grey
            if (n == 1 || n == 3) current->diffuse = scene::Color{c[0], c[1], c[2], 1};
        } else if (keyword == "d" || keyword == "Tr") {
            // "d -halo 0.5": the option changes how opacity varies, not its value.
            std::string_view word = nextWord(line);
            if (word == "-halo") word = nextWord(line);
            if (auto v = number(word)) (keyword == "d" ? current->dissolve : current->transparency) = unit(*v);
        } else if (keyword == "map_Kd") {
            current->diffuseMap = mapFileName(line);
        }
    }
}

std::string mapFileName(std::string_view arguments) {
    std::string_view rest = trim(arguments);
    while (rest.starts_with('-')) {
        std::string_view probe = rest;
        const int count = optionArguments(nextWord(probe));
        if (count < 0) break; // a file name that starts with '-'
        for (int i = 0; i < count; ++i) {
            std::string_view before = probe;
            std::string_view word = nextWord(probe);
            // "-o", "-s", "-t" take up to three numbers; the others one or two words.
            if (count == 3 && i > 0 && !isNumber(word)) {
                probe = before;
                break;
            }
        }
        rest = trim(probe);
    }
    return std::string(rest);
}

std::optional<scene::Material> makeMaterial(const std::string& name, const MaterialDefinition& d,
                                            RelatedFiles& related) {
    scene::Material material;
    material.name = name;
    const float opacity = d.dissolve ? *d.dissolve : d.transparency ? 1 - *d.transparency : 1;
    if (!d.diffuseMap.empty()) {
        // Named, not embedded: every run of faces that uses the material shares one texture,
        // as with the files the asset library reads.
        std::optional<std::string> texture = findTexture(d, related);
        if (!texture) return std::nullopt;
        material.diffuse.contents = scene::Image{*texture, {}};
    } else if (d.diffuse) {
        material.diffuse.contents = d.diffuse->withAlpha(opacity);
    } else if (opacity < 1) {
        material.diffuse.contents = scene::Color::systemGray().withAlpha(opacity);
    } else {
        return std::nullopt;
    }
    return material;
}

} // namespace trimeo::obj
