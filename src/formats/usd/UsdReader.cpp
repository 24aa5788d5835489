#include "UsdReader.h"

#include "CrateReader.h"
#include "StageScene.h"
#include "UsdFormatError.h"
#include "UsdaParser.h"
#include "UsdzPackage.h"
#include "formats/common/RelatedFiles.h"

#include <string>

namespace trimeo::usd {
namespace {

std::string_view asText(std::span<const std::uint8_t> data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

Stage readLayer(std::span<const std::uint8_t> data, std::string_view extension) {
    if (extension == "usda" || (extension == "usd" && asText(data).starts_with("#usda"))) return parseUsda(asText(data));
    if (extension == "usdc" || (extension == "usd" && asText(data).starts_with("PXR-USDC"))) return readCrate(data);
    throw UsdFormatError("not a readable USD layer");
}

Stage readAny(std::span<const std::uint8_t> data, std::string_view extension) {
    if (extension != "usdz") return readLayer(data, extension);
    // A package's layer is read as its own extension says; a package inside is not opened.
    const PackagedLayer layer = firstPackagedLayer(data);
    return readLayer(layer.bytes, layer.extension);
}

} // namespace

std::optional<ReaderResult> readUsd(const ReaderInput& input) {
    try {
        // Textures beside the layer; a package's own files are not reached yet.
        TextureReader textures;
        if (input.extension != "usdz")
            textures = [&related = input.related](const std::string& path,
                                                  const std::string& layer) -> std::optional<std::vector<std::uint8_t>> {
                const auto resolved = layer.empty() ? std::optional(path) : joinRelative(layer, path);
                std::string why;
                auto bytes = resolved ? related.read(*resolved, why) : std::nullopt;
                if (!bytes) return std::nullopt;
                return **bytes;
            };
        StageScene built = buildScene(readAny(input.bytes, input.extension), std::move(textures));
        return ReaderResult{std::move(built.scene), built.meshCount, {}};
    } catch (const UsdFormatError& e) {
        // The asset route has always called such files empty; the reason stays for logs and tests.
        throw LoaderError::noGeometry(e.what());
    }
}

} // namespace trimeo::usd
