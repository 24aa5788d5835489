// Material libraries of OBJ files: read beside the model through the related-file resolver,
// applied per usemtl run; anything missing leaves grey faces and never fails the load.
#include "formats/common/RelatedFiles.h"
#include "formats/common/TemporaryFiles.h"
#include "formats/obj/MaterialLibrary.h"
#include "formats/obj/OBJReader.h"
#include "loading/ModelLoader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
namespace scene = trimeo::scene;
using trimeo::test::bytes;

namespace {

const char* kTwoTriangles = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n";

// A folder holding the model and the files beside it (one level down a temporary
// directory, so "../" names stay in it); the model read with that location.
class Folder {
public:
    Folder& file(const std::string& name, const std::string& content) {
        fs::create_directories((model() / name).parent_path());
        trimeo::writeWholeFile(model() / name, bytes(content));
        return *this;
    }
    trimeo::ReaderResult read(const std::string& obj) {
        file("model.obj", obj);
        trimeo::RelatedFiles related(model() / "model.obj");
        const auto data = bytes(obj);
        return *trimeo::readOBJ({data, "obj", related});
    }

private:
    fs::path model() const { return dir_.path() / "model"; }
    trimeo::TemporaryDirectory dir_;
};

const scene::Node& node(const trimeo::ReaderResult& r, std::size_t i) { return *r.scene->rootNode->childNodes().at(i); }
const std::vector<scene::Material>& materials(const trimeo::ReaderResult& r, std::size_t i) {
    return node(r, i).geometry->materials;
}
std::optional<scene::Color> colour(const trimeo::ReaderResult& r, std::size_t i) {
    const auto& m = materials(r, i);
    if (m.size() != 1 || !m[0].diffuse.color()) return std::nullopt;
    return *m[0].diffuse.color();
}

} // namespace

TEST(OBJMaterials, EachUsemtlRunGetsItsColourAndOpacity) {
    Folder folder;
    folder.file("lib.mtl", "newmtl red\nKd 1 0 0\n\nnewmtl glass  \nKd 0 0.5 1\nd 0.25\nTr 0.9\n"
                           "newmtl faded\nKd 0.5\nTr 0.75\nnewmtl halo\nKd 0 1 0\nd -halo 0.5\n");
    auto r = folder.read(std::string(kTwoTriangles) + "mtllib lib.mtl\ng part\nusemtl red\nf 1 2 3\nusemtl red\n"
                                                      "f 2 4 3\nusemtl  glass \n"
                                                      "f 2 4 3\nusemtl faded\nf 1 2 3\ng other\nf 2 4 3\n"
                                                      "usemtl halo\nf 1 2 3\n");
    ASSERT_EQ(r.count, 5u);
    EXPECT_EQ(colour(r, 0), (scene::Color{1, 0, 0, 1}));
    EXPECT_EQ(node(r, 0).geometry->validTriangleCount(), 2u) << "the same usemtl again continues the run";
    EXPECT_EQ(colour(r, 1), (scene::Color{0, 0.5f, 1, 0.25f})) << "d wins over Tr";
    EXPECT_EQ(colour(r, 2), (scene::Color{0.5f, 0.5f, 0.5f, 0.25f})) << "Tr is 1 - opacity";
    EXPECT_EQ(colour(r, 3), (scene::Color{0.5f, 0.5f, 0.5f, 0.25f})) << "a material stays on across groups";
    EXPECT_EQ(colour(r, 4), (scene::Color{0, 1, 0, 0.5f}));
    EXPECT_EQ(node(r, 0).name, "part");
    EXPECT_EQ(node(r, 2).name, "part");
    EXPECT_EQ(node(r, 3).name, "other");
    EXPECT_EQ(materials(r, 1)[0].name, "glass");
}

TEST(OBJMaterials, LibrariesAndTexturesWithSpacesInFolders) {
    Folder folder;
    folder.file("maps/my texture.png", "\x89PNG\r\n\x1a\nnot really")
        .file("maps/other.png", "other")
        .file("libs/my lib.mtl", "newmtl wood\nKd 1 1 1\nmap_Kd -s 1 1 1 -o 0.5 -clamp on ../maps/my texture.png\n"
                                 "newmtl win\nmap_Kd ..\\maps\\other.png\n")
        .file("second.mtl", "newmtl late\nKd 0 0 1\n");
    auto r = folder.read(std::string(kTwoTriangles) + "mtllib libs/my lib.mtl\nusemtl wood\nf 1/1 2/2 3/3\n"
                                                      "usemtl win\nf 2/2 4/3 3/1\nusemtl late\nf 1 2 3\n"
                                                      "mtllib second.mtl missing.mtl\n");
    ASSERT_EQ(r.count, 3u);
    ASSERT_EQ(materials(r, 0).size(), 1u);
    const scene::Image* image = materials(r, 0)[0].diffuse.image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->path, "maps/my texture.png") << "relative to the model, where the renderer looks";
    EXPECT_TRUE(image->encoded.empty());
    ASSERT_NE(materials(r, 1)[0].diffuse.image(), nullptr);
    EXPECT_EQ(materials(r, 1)[0].diffuse.image()->path, "maps/other.png");
    EXPECT_EQ(colour(r, 2), (scene::Color{0, 0, 1, 1})) << "a library named after the faces, beside a missing one";
    EXPECT_NE(node(r, 0).geometry->source(scene::Semantic::texcoord), nullptr);
}

TEST(OBJMaterials, WhatCannotBeReadLeavesTheFacesGrey) {
    Folder folder;
    folder.file("lib.mtl", "newmtl lost\nKd 1 0 0\nmap_Kd nowhere.png\nnewmtl plain\nKs 1 1 1\nnewmtl red\nKd 1 0 0\n")
        .file("../outside.mtl", "newmtl red\nKd 1 0 0\n");
    // A missing library, one outside the model's folder, an unknown name, a missing
    // texture, a material that gives no colour.
    for (const std::string& obj : {std::string("mtllib missing.mtl\nusemtl red\nf 1 2 3\n"),
                                   std::string("mtllib ../outside.mtl\nusemtl red\nf 1 2 3\n"),
                                   std::string("mtllib lib.mtl\nusemtl unknown\nf 1 2 3\n"),
                                   std::string("mtllib lib.mtl\nusemtl lost\nf 1 2 3\n"),
                                   std::string("mtllib lib.mtl\nusemtl plain\nf 1 2 3\n"), std::string("mtllib\nf 1 2 3\n")}) {
        auto r = folder.read(kTwoTriangles + obj);
        ASSERT_EQ(r.count, 1u) << obj;
        EXPECT_TRUE(materials(r, 0).empty()) << obj;
    }
    // Without a location nothing beside the model is read.
    trimeo::RelatedFiles none;
    const auto data = bytes(std::string(kTwoTriangles) + "mtllib lib.mtl\nusemtl red\nf 1 2 3\n");
    EXPECT_TRUE(trimeo::readOBJ({data, "obj", none})->scene->rootNode->childNodes()[0]->geometry->materials.empty());
}

TEST(OBJMaterials, MapOptionsAreNotPartOfTheName) {
    using trimeo::obj::mapFileName;
    EXPECT_EQ(mapFileName("  tex.png  "), "tex.png");
    EXPECT_EQ(mapFileName("-blendu on -bm 0.3 -s 2 2 my file.jpg"), "my file.jpg");
    EXPECT_EQ(mapFileName("-o 1 -t 0.1 0.2 -mm 0 1 a.png"), "a.png");
    EXPECT_EQ(mapFileName("-imfchan r -texres 512 -type sphere b.tga"), "b.tga");
    EXPECT_EQ(mapFileName("-unknown.png"), "-unknown.png");
    EXPECT_EQ(mapFileName("-s 1"), "");
}

// Real files. Triangles and boxes from obj_figures.py beside this file.
TEST(OBJMaterials, RealFilesShowTheirLibraries) {
    const fs::path capsule = trimeo::test::sharedFixtures() / "real/obj/trimesh/models/capsule.obj";
    auto loaded = trimeo::ModelLoader::load(trimeo::test::readFile(capsule), capsule);
    ASSERT_EQ(loaded.scene->rootNode->childNodes().size(), 1u);
    const auto& g = *loaded.scene->rootNode->childNodes()[0]->geometry;
    EXPECT_EQ(g.validTriangleCount(), 10200u);
    EXPECT_EQ(g.boundingBox().min, scene::Vector3(-1, -1, -1.5));
    EXPECT_EQ(g.boundingBox().max, scene::Vector3(1, 1, 1.5));
    ASSERT_EQ(g.materials.size(), 1u);
    ASSERT_NE(g.materials[0].diffuse.image(), nullptr) << "map_Kd capsule0.jpg";
    EXPECT_EQ(g.materials[0].diffuse.image()->path, "capsule0.jpg");
    EXPECT_NE(g.source(scene::Semantic::texcoord), nullptr);

    const fs::path assimp = trimeo::test::assimpModels() / "OBJ";
    auto load = [&](const char* name) { return trimeo::ModelLoader::load(trimeo::test::readFile(assimp / name), assimp / name); };
    auto firstColour = [](const trimeo::ModelLoader::LoadResult& r) {
        const auto& m = r.scene->rootNode->childNodes().at(0)->geometry->materials;
        return m.empty() || !m[0].diffuse.color() ? scene::Color{} : *m[0].diffuse.color();
    };
    EXPECT_EQ(firstColour(load("box_mat_with_spaces.obj")), (scene::Color{0.2f, 0.2f, 0.2f, 1}));
    EXPECT_EQ(firstColour(load("space_in_material_name.obj")), (scene::Color{0.141176f, 0.184314f, 0.411765f, 1}));
    EXPECT_TRUE(load("cube_mtllib_after_g.obj").scene->rootNode->childNodes()[0]->geometry->materials.empty())
        << "it names a library that is not there";

    // The spider names its textures Windows-style (".\wal67ar_small.jpg").
    auto spider = load("spider.obj");
    std::size_t triangles = 0, textured = 0;
    scene::BoundingBox box;
    for (const auto& n : spider.scene->rootNode->childNodes()) {
        triangles += n->geometry->validTriangleCount();
        box.add(n->geometry->boundingBox());
        if (!n->geometry->materials.empty() && n->geometry->materials[0].diffuse.image()) ++textured;
    }
    EXPECT_EQ(triangles, 1368u);
    EXPECT_NEAR(box.min.x, -92.655235, 1e-4);
    EXPECT_NEAR(box.max.z, 86.6912, 1e-4);
    EXPECT_GT(textured, 0u);
}
