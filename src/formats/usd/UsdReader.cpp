#include "UsdReader.h"

#include "Composition.h"
#include "LayerFiles.h"
#include "StageScene.h"
#include "UsdFormatError.h"

#include <string>

namespace trimeo::usd {
namespace {

// "a.usda (not found), b.drc (Draco-compressed meshes are not supported)", the first few.
std::string listFailures(const std::map<std::string, std::string>& failures) {
    constexpr std::size_t kShown = 5;
    std::string out;
    std::size_t shown = 0;
    for (const auto& [asset, why] : failures) {
        if (shown == kShown) {
            out += " and " + std::to_string(failures.size() - kShown) + " more";
            break;
        }
        out += (shown++ ? ", " : "") + (asset.empty() ? std::string("the model") : asset) + " (" + why + ")";
    }
    return out;
}

} // namespace

std::optional<ReaderResult> readUsd(const ReaderInput& input) {
    LayerFiles files(input.related);
    std::shared_ptr<Layer> model;
    try {
        model = files.openModel(input.bytes, input.extension);
    } catch (const UsdFormatError& e) {
        // The asset route has always called such files empty; the reason stays for logs and tests.
        throw LoaderError::noGeometry(e.what());
    }
    // Textures are found beside the layer that names them, or inside its package.
    const TextureReader textures = [&files](const std::string& path, const std::string& layer) {
        std::string why;
        auto bytes = files.readAsset(layer, path, why);
        return bytes ? std::optional(**bytes) : std::nullopt;
    };
    const StageScene built =
        buildScene(needsComposition(model->stage) ? compose(model, files).stage : composeAlone(*model), textures);
    if (built.meshCount == 0 && !files.failures().empty())
        throw LoaderError::parseError("no geometry could be reached; layers that could not be read: " +
                                      listFailures(files.failures()));
    return ReaderResult{built.scene, built.meshCount, {}};
}

} // namespace trimeo::usd
