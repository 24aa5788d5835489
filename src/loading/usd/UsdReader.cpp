#include "UsdReader.h"

#include "CrateReader.h"
#include "StageScene.h"
#include "UsdFormatError.h"
#include "UsdaParser.h"
#include "UsdzPackage.h"

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

bool isUsdExtension(std::string_view e) { return e == "usd" || e == "usda" || e == "usdc" || e == "usdz"; }

AssetRead readUsd(std::span<const std::uint8_t> data, std::string_view extension) {
    AssetRead read;
    try {
        StageScene built = buildScene(readAny(data, extension));
        read.count = built.meshCount;
        read.scene = std::move(built.scene);
    } catch (const UsdFormatError& e) {
        read.error = e.what();
    }
    return read;
}

} // namespace trimeo::usd
