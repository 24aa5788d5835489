#include "LayerFiles.h"

#include "CrateReader.h"
#include "UsdFormatError.h"
#include "UsdaParser.h"
#include "UsdzPackage.h"

#include <algorithm>
#include <cctype>

namespace trimeo::usd {

namespace {

std::string extensionOf(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return {};
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

std::string_view asText(std::span<const std::uint8_t> data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

Stage readLayer(std::span<const std::uint8_t> data, std::string_view extension) {
    if (extension == "usda" || (extension == "usd" && asText(data).starts_with("#usda"))) return parseUsda(asText(data));
    if (extension == "usdc" || (extension == "usd" && asText(data).starts_with("PXR-USDC"))) return readCrate(data);
    throw UsdFormatError("not a readable USD layer");
}

} // namespace

LayerFiles::LayerFiles(RelatedFiles& related) : LayerFiles(related, Limits{}) {}
LayerFiles::LayerFiles(RelatedFiles& related, Limits limits) : related_(related), limits_(limits) {}
LayerFiles::~LayerFiles() = default;

std::shared_ptr<Layer> LayerFiles::openModel(std::span<const std::uint8_t> bytes, std::string_view extension) {
    auto layer = std::make_shared<Layer>();
    Location where;
    if (extension == "usdz") {
        // The model's bytes outlive the load, and so this package.
        auto package = std::make_shared<const UsdzPackage>(bytes, nullptr);
        packages_[""] = package;
        where = {true, "", package->firstLayer()};
        const auto entry = package->read(where.path);
        if (!entry) throw UsdFormatError("the package's layer cannot be read");
        layer->stage = readLayer(*entry, extensionOf(where.path));
    } else {
        layer->stage = readLayer(bytes, extension);
    }
    layer->identity = where.identity();
    locations_[layer->identity] = where;
    layers_[layer->identity] = layer;
    return layer;
}

std::optional<LayerFiles::Location> LayerFiles::resolve(const std::string& fromIdentity, const std::string& assetPath,
                                                        std::string& why, std::string& tried) {
    tried = assetPath;
    auto from = locations_.find(fromIdentity);
    if (from == locations_.end()) {
        why = "no location";
        return std::nullopt;
    }
    Location base = from->second;
    std::string rest = assetPath;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxNestingDepth) {
            why = "packages nest too deep";
            return std::nullopt;
        }
        // "outer.usdz[inner]": the inner path is inside the outer package.
        std::string outer = rest, inner;
        const auto open = rest.find('[');
        if (open != std::string::npos && rest.ends_with(']')) {
            outer = rest.substr(0, open);
            inner = rest.substr(open + 1, rest.size() - open - 2);
        }
        const unsigned reach = base.inPackage ? 0 : limits_.folderReach;
        const auto joined = joinRelative(base.path, outer, reach);
        if (!joined) {
            why = base.inPackage ? "outside the package" : outsideReason(reach);
            return std::nullopt;
        }
        Location target{base.inPackage, base.package, *joined};
        if (extensionOf(target.path) != "usdz") {
            if (!inner.empty()) {
                why = "not a package";
                return std::nullopt;
            }
            return target;
        }
        const std::string packageId = target.identity();
        tried = packageId;
        if (!packages_.count(packageId)) {
            auto bytes = bytesAt(target, why);
            if (!bytes) return std::nullopt;
            try {
                packages_[packageId] = std::make_shared<const UsdzPackage>(**bytes, *bytes);
            } catch (const UsdFormatError& e) {
                why = e.what();
                return std::nullopt;
            }
        }
        const auto& package = packages_.at(packageId);
        if (inner.empty()) return Location{true, packageId, package->firstLayer()};
        // The inner path starts at the package's top.
        base = Location{true, packageId, std::string()};
        rest = inner;
    }
}

std::optional<RelatedFiles::Bytes> LayerFiles::bytesAt(const Location& where, std::string& why) {
    if (!where.inPackage) return related_.read(where.path, why, limits_.folderReach);
    const auto& package = packages_.at(where.package);
    std::optional<std::vector<std::uint8_t>> entry;
    try {
        entry = package->read(where.path);
    } catch (const UsdFormatError& e) {
        why = e.what();
        return std::nullopt;
    }
    if (!entry) {
        why = "not in the package";
        return std::nullopt;
    }
    if (entry->size() > limits_.maxPackagedBytes - std::min(packagedBytes_, limits_.maxPackagedBytes)) {
        why = "over the load's budget of " + std::to_string(limits_.maxPackagedBytes >> 20) + " MiB unpacked";
        return std::nullopt;
    }
    packagedBytes_ += entry->size();
    return std::make_shared<const std::vector<std::uint8_t>>(std::move(*entry));
}

std::shared_ptr<const Layer> LayerFiles::open(const Layer& from, const std::string& assetPath) {
    std::string why, tried;
    const auto where = resolve(from.identity, assetPath, why, tried);
    if (!where) {
        failures_[tried] = why;
        return nullptr;
    }
    const std::string identity = where->identity();
    if (auto known = layers_.find(identity); known != layers_.end()) return known->second;
    std::shared_ptr<const Layer> layer;
    if (layers_.size() >= limits_.maxLayers) {
        why = "more than " + std::to_string(limits_.maxLayers) + " layers";
    } else if (const std::string ext = extensionOf(where->path); ext == "drc") {
        why = "Draco-compressed meshes are not supported";
    } else if (ext != "usda" && ext != "usdc" && ext != "usd") {
        why = "not a USD layer";
    } else if (const auto bytes = bytesAt(*where, why)) {
        try {
            auto read = std::make_shared<Layer>();
            read->identity = identity;
            read->stage = readLayer(**bytes, ext);
            layer = std::move(read);
        } catch (const UsdFormatError& e) {
            why = std::string("unreadable: ") + e.what();
        }
    }
    // A layer that failed stays failed: it is not read again.
    if (!layer) failures_[identity] = why;
    locations_[identity] = *where;
    layers_[identity] = layer;
    return layer;
}

std::optional<RelatedFiles::Bytes> LayerFiles::readAsset(const std::string& layerIdentity, const std::string& assetPath,
                                                         std::string& why) {
    std::string tried;
    const auto where = resolve(layerIdentity, assetPath, why, tried);
    if (!where) return std::nullopt;
    return bytesAt(*where, why);
}

} // namespace trimeo::usd
