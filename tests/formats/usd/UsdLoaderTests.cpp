#include "loading/ModelLoader.h"

#include "UsdFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using trimeo::LoaderError;
using trimeo::ModelLoader;

namespace {

ModelLoader::LoadResult load(const std::vector<std::uint8_t>& bytes, const char* name) {
    return ModelLoader::load(bytes, std::filesystem::path(name));
}

LoaderError::Kind failure(const std::vector<std::uint8_t>& bytes, const char* name) {
    try {
        load(bytes, name);
    } catch (const LoaderError& e) {
        return e.kind();
    }
    ADD_FAILURE() << name << " loaded";
    return LoaderError::Kind::unsupportedFormat;
}

TEST(UsdLoader, TextLoadsUnderUsdaAndUsdWithoutTemporaryFiles) {
    const auto before = trimeo::test::temporaryDirectoryEntries();
    const auto bytes = trimeo::test::bytes(trimeo::test::kTwoMeshStage);
    for (const char* name : {"stage.usda", "STAGE.USD"}) {
        auto result = load(bytes, name);
        ASSERT_TRUE(result.scene) << name;
        EXPECT_EQ(result.scene->rootNode->childNodes().size(), 1u);
        EXPECT_FALSE(result.hasAnimations);
        EXPECT_TRUE(result.animations.empty());
    }
    EXPECT_EQ(trimeo::test::temporaryDirectoryEntries(), before);
}

TEST(UsdLoader, UnreadableOrMeshlessFilesEndInNoGeometry) {
    const auto meshless = trimeo::test::bytes("#usda 1.0\ndef Xform \"Empty\" {}\n");
    const auto broken = trimeo::test::bytes("#usda 1.0\ndef Mesh \"M\" { point3f[] points = [(0, 0");
    const auto text = trimeo::test::bytes(trimeo::test::kTwoMeshStage);
    EXPECT_EQ(failure(meshless, "a.usda"), LoaderError::Kind::noGeometry);
    EXPECT_EQ(failure(broken, "a.usda"), LoaderError::Kind::noGeometry);
    EXPECT_EQ(failure({}, "a.usd"), LoaderError::Kind::noGeometry);
    // Text named as crate or package is not guessed at.
    EXPECT_EQ(failure(text, "a.usdc"), LoaderError::Kind::noGeometry);
    EXPECT_EQ(failure(text, "a.usdz"), LoaderError::Kind::noGeometry);
}

} // namespace
