// Opens the layers of one load: the model's own layer, and every layer and asset a layer
// names, through the related-file resolver or, inside a usdz package, from the package
// (packages inside packages included). An asset path resolves relative to the layer that
// wrote it: "../a.usda", "sub/b.usdc", "inner.usdz" (its first layer), "inner.usdz[c.usda]".
// Beside the model, layers and textures may climb `Limits::folderReach` folders above the
// model's folder, as asset trees share layers ("../../../_common/axis.usda"); inside a
// package they stay inside it. A layer opened twice is read once. Refused or unreadable
// assets are remembered with the reason; limits on the number of layers and on the bytes
// unpacked from packages count against this one load (file bytes count in the resolver's
// own budget).
//
// One instance serves one load on one thread.
#pragma once

#include "UsdStage.h"
#include "formats/common/RelatedFiles.h"

#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace trimeo::usd {

class UsdzPackage;

struct Layer {
    std::string identity; // unique in the load: "a/b.usda", "p.usdz[c.usda]", "" for the model
    Stage stage;
};

class LayerFiles {
public:
    struct Limits {
        std::size_t maxLayers = 4096;
        std::uint64_t maxPackagedBytes = std::uint64_t(4) << 30; // unpacked from packages, all together
        unsigned folderReach = 3; // folders above the model's that files beside it may be in
    };

    explicit LayerFiles(RelatedFiles& related);
    LayerFiles(RelatedFiles& related, Limits limits);
    ~LayerFiles();

    // The model's layer (a usdz package's first layer); throws UsdFormatError when unreadable.
    // The caller may take its stage when it composes nothing.
    std::shared_ptr<Layer> openModel(std::span<const std::uint8_t> bytes, std::string_view extension);
    // The layer `assetPath` names, as written in `from`; null when it cannot be read.
    std::shared_ptr<const Layer> open(const Layer& from, const std::string& assetPath);
    // Any other asset (a texture) as written in the layer of that identity.
    std::optional<RelatedFiles::Bytes> readAsset(const std::string& layerIdentity, const std::string& assetPath,
                                                 std::string& why);

    // Layer (as resolved: "sub/a.usda", "p.usdz[b.usda]"; a package that could not be opened;
    // or as written when it did not resolve) -> why it could not be read.
    const std::map<std::string, std::string>& failures() const { return failures_; }
    std::size_t layerCount() const { return layers_.size(); }

private:
    // A file beside the model, or an entry of a package.
    struct Location {
        bool inPackage = false;
        std::string package; // the package's identity, when in one
        std::string path;    // in the model's folder, or in the package
        std::string identity() const { return inPackage ? package + "[" + path + "]" : path; }
    };
    // `tried`: the package that could not be opened, or else the asset path as written.
    std::optional<Location> resolve(const std::string& fromIdentity, const std::string& assetPath, std::string& why,
                                    std::string& tried);
    std::optional<RelatedFiles::Bytes> bytesAt(const Location& where, std::string& why);

    RelatedFiles& related_;
    Limits limits_;
    std::uint64_t packagedBytes_ = 0;
    std::map<std::string, std::shared_ptr<const Layer>> layers_;     // identity -> layer (null: unreadable)
    std::map<std::string, Location> locations_;                      // identity -> where it is
    std::map<std::string, std::shared_ptr<const UsdzPackage>> packages_; // identity -> package
    std::map<std::string, std::string> failures_;
};

} // namespace trimeo::usd
