#include "loading/ModelLoader.h"
#include "loading/ThreeDDocument.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using trimeo::LoaderError;
using trimeo::ModelLoader;
using trimeo::test::bytes;

namespace {
const char* kTriangleOBJ = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

LoaderError loadError(const std::vector<std::uint8_t>& data, const std::optional<std::filesystem::path>& url) {
    try {
        ModelLoader::load(data, url);
    } catch (const LoaderError& e) {
        return e;
    }
    ADD_FAILURE() << "expected a LoaderError";
    return LoaderError::noGeometry();
}
} // namespace

TEST(Dispatch, ExtensionIsLastComponentsSuffixLowerCased) {
    EXPECT_EQ(ModelLoader::fileExtension("/x/MODEL.STL"), "stl");
    EXPECT_EQ(ModelLoader::fileExtension("/x/archive.tar.gz"), "gz");
    EXPECT_EQ(ModelLoader::fileExtension("/x.dir/model"), "");
    EXPECT_EQ(ModelLoader::fileExtension("/x/.hidden"), "");
    EXPECT_EQ(ModelLoader::fileExtension("/x/model."), "");
    EXPECT_EQ(ModelLoader::routeFor("stl"), ModelLoader::Route::modelIO);
    EXPECT_EQ(ModelLoader::routeFor("abc"), ModelLoader::Route::modelIO);
    EXPECT_EQ(ModelLoader::routeFor("scn"), ModelLoader::Route::sceneKit);
    EXPECT_EQ(ModelLoader::routeFor("glb"), ModelLoader::Route::gltf);
    EXPECT_EQ(ModelLoader::routeFor("3mf"), ModelLoader::Route::threeMF);
    EXPECT_EQ(ModelLoader::routeFor("fbx"), ModelLoader::Route::fbx);
    EXPECT_EQ(ModelLoader::routeFor("STL"), ModelLoader::Route::unsupported); // callers lower-case first
    EXPECT_EQ(ModelLoader::routeFor(""), ModelLoader::Route::unsupported);
}

TEST(Dispatch, UpperCaseAndAbsentURLsReachTheAssetRoute) {
    auto data = bytes(kTriangleOBJ);
    auto result = ModelLoader::load(data, std::nullopt); // read as OBJ
    EXPECT_FALSE(result.hasAnimations);
    EXPECT_TRUE(result.animations.empty());
    EXPECT_NO_THROW(ModelLoader::load(data, std::filesystem::path("/tmp/TRIANGLE.OBJ")));
}

TEST(Dispatch, UnsupportedExtensionsCarryTheirLowerCasedName) {
    auto data = bytes(kTriangleOBJ);
    LoaderError none = loadError(data, std::filesystem::path("/x/model"));
    EXPECT_EQ(none.kind(), LoaderError::Kind::unsupportedFormat);
    EXPECT_EQ(none.errorDescription(), "Unsupported format: ");
    EXPECT_STREQ(loadError(data, std::filesystem::path("/x/archive.TAR.GZ")).what(), "Unsupported format: gz");
}

TEST(Dispatch, VDBIsRefusedWithoutReadingItsBytes) {
    // Empty bytes: any attempt to read them would fail differently.
    LoaderError e = loadError({}, std::filesystem::path("/x/smoke.VDB"));
    EXPECT_EQ(e.kind(), LoaderError::Kind::unsupportedFormat);
    EXPECT_EQ(e.errorDescription(), "Unsupported format: VDB volumetric files require OpenVDB library");
    EXPECT_TRUE(trimeo::test::temporaryDirectoryEntries().empty());
}

TEST(ContentTypes, FourteenFreshEqualListsInOrder) {
    auto a = trimeo::ThreeDDocument::readableContentTypes();
    auto b = trimeo::ThreeDDocument::readableContentTypes();
    ASSERT_EQ(a.size(), 14u);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a[0].identifier, "public.standard-tesselated-geometry");
    EXPECT_EQ(a[1].identifier, "org.3mf.3mf");
    EXPECT_EQ(a[5].extensions, std::vector<std::string>{"usdz"});
    EXPECT_EQ(a[10].identifier, "org.openvdb.vdb");
    EXPECT_EQ(a[13].identifier, "com.autodesk.fbx");
    // Scene archives are accepted but not offered.
    for (const auto& type : a) EXPECT_NE(type.extensions, std::vector<std::string>{"scn"});
}
