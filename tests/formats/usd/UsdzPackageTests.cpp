#include "formats/usd/UsdFormatError.h"
#include "formats/usd/UsdzPackage.h"
#include "loading/ModelLoader.h"

#include "../threemf/ZipPackage.h"
#include "UsdFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using trimeo::LoaderError;
using trimeo::ModelLoader;
using trimeo::test::ZipPackage;
using trimeo::usd::firstPackagedLayer;
using trimeo::usd::UsdFormatError;

namespace {

TEST(UsdzPackage, TakesTheFirstLayerInArchiveOrder) {
    const auto package = ZipPackage()
                             .file("textures/red.png", "not an image", false)
                             .directory("scenes/")
                             .file("scenes/Main.USDA", trimeo::test::kTwoMeshStage, false)
                             .file("other.usdc", "PXR-USDC")
                             .bytes();
    const auto layer = firstPackagedLayer(package);
    EXPECT_EQ(layer.extension, "usda");
    EXPECT_EQ(std::string(layer.bytes.begin(), layer.bytes.end()), trimeo::test::kTwoMeshStage);
}

TEST(UsdzPackage, LoadsThroughTheAssetRouteStoredOrDeflated) {
    for (bool compressed : {false, true}) {
        const auto package = ZipPackage().file("model.usda", trimeo::test::kTwoMeshStage, compressed).bytes();
        auto result = ModelLoader::load(package, std::filesystem::path("model.usdz"));
        ASSERT_TRUE(result.scene);
        ASSERT_EQ(result.scene->rootNode->childNodes().size(), 1u);
        EXPECT_EQ(result.scene->rootNode->childNodes()[0]->name, "World");
    }
}

TEST(UsdzPackage, RefusesPackagesWithoutAReadableLayer) {
    const auto good = ZipPackage().file("model.usda", trimeo::test::kTwoMeshStage, false).bytes();
    auto corrupted = ZipPackage().file("model.usda", trimeo::test::kTwoMeshStage, false).bytes();
    corrupted[40] ^= 0xff; // inside the stored data: the CRC no longer matches
    const std::vector<std::vector<std::uint8_t>> bad = {
        {},
        trimeo::test::bytes("PK\x03\x04 not really"),
        ZipPackage().file("readme.txt", "no layer here").bytes(),
        ZipPackage().file("inner.usdz", std::string(good.begin(), good.end())).bytes(),
        corrupted,
        std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2),
        std::vector<std::uint8_t>(good.begin(), good.end() - 10),
    };
    for (const auto& package : bad) {
        EXPECT_THROW(firstPackagedLayer(package), UsdFormatError) << package.size();
        try {
            ModelLoader::load(package, std::filesystem::path("bad.usdz"));
            ADD_FAILURE() << "loaded a package of " << package.size() << " bytes";
        } catch (const LoaderError& e) {
            EXPECT_EQ(e.kind(), LoaderError::Kind::noGeometry);
        }
    }
}

} // namespace
