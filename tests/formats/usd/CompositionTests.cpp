#include "formats/common/RelatedFiles.h"
#include "formats/usd/Composition.h"
#include "formats/usd/LayerFiles.h"
#include "formats/usd/PathMap.h"
#include "formats/usd/UsdReader.h"
#include "loading/ModelLoader.h"

#include "../threemf/ZipPackage.h"
#include "CrateWriter.h"
#include "UsdFixtures.h"
#include "formats/usd/UsdaParser.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using trimeo::LoaderError;
using trimeo::RelatedFiles;
using namespace trimeo::usd;

namespace {

// A folder of layers, removed again afterwards.
class Folder {
public:
    Folder() {
        static std::atomic<int> serial{0};
        path_ = fs::temp_directory_path() / ("trimeo-usd-compose-" + std::to_string(std::random_device{}()) + "-" +
                                             std::to_string(serial++));
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    Folder& write(const std::string& name, const std::string& text) {
        return write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    Folder& write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        fs::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return *this;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Composed {
    Stage stage;
    std::map<std::string, std::string> failures;
    std::vector<std::string> notes;
    std::size_t layers = 0; // distinct layers opened
};

Composed composeFile(const fs::path& file, const CompositionLimits& limits = {}, LayerFiles::Limits layerLimits = {}) {
    const auto bytes = trimeo::test::readFile(file);
    RelatedFiles related(file);
    LayerFiles files(related, layerLimits);
    auto model = files.openModel(bytes, file.extension().string().substr(1));
    ComposedStage c = compose(model, files, limits);
    return {std::move(c.stage), files.failures(), std::move(c.notes), files.layerCount()};
}

// The prim at "/A/B", or null.
const Prim* at(const Stage& stage, const std::string& path) {
    const std::vector<Prim>* level = &stage.rootPrims;
    const Prim* found = nullptr;
    std::size_t start = 1;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        found = nullptr;
        for (const Prim& p : *level)
            if (p.name == name) found = &p;
        if (!found) return nullptr;
        level = &found->children;
        start = end + 1;
    }
    return found;
}

double number(const Prim* p, const std::string& attribute) {
    if (!p || !p->attribute(attribute) || p->attribute(attribute)->value.numbers.empty()) return -1;
    return p->attribute(attribute)->value.numbers.front();
}

const std::string kTriangle = R"(
        point3f[] points = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
        int[] faceVertexCounts = [3]
        int[] faceVertexIndices = [0, 1, 2]
)";

TEST(Composition, SublayersNestStrongestFirstAndACycleEndsThem) {
    Folder f;
    f.write("root.usda", R"(#usda 1.0
( subLayers = [@layers/a.usda@, @c.usda@] )
over "M" { double x = 1 }
)");
    f.write("layers/a.usda", R"(#usda 1.0
( subLayers = [@deeper/b.usda@ (offset = 5)] )
over "M" { double x = 2  double y = 2 }
)");
    f.write("layers/deeper/b.usda", "#usda 1.0\n( subLayers = [@../a.usda@] )\ndef Mesh \"M\" { double x = 3  double y = 3  double z = 3 }\n");
    f.write("c.usda", "#usda 1.0\ndef Xform \"Other\" { double w = 4 }\n");
    const Composed c = composeFile(f.path() / "root.usda");
    const Prim* m = at(c.stage, "/M");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->typeName, "Mesh");
    EXPECT_EQ(number(m, "x"), 1);
    EXPECT_EQ(number(m, "y"), 2);
    EXPECT_EQ(number(m, "z"), 3);
    EXPECT_EQ(m->attribute("z")->layer, "layers/deeper/b.usda");
    EXPECT_EQ(number(at(c.stage, "/Other"), "w"), 4);
    EXPECT_TRUE(c.failures.empty());
    EXPECT_FALSE(c.notes.empty()); // the cycle back to a.usda
}

TEST(Composition, ReferencesAndPayloadsReachOtherLayersPrimsAndDefaultPrims) {
    Folder f;
    f.write("root.usda", R"(#usda 1.0
def Xform "ByDefault" ( references = @assets/chair.usda@ ) { double local = 1 }
def Xform "ByPath" ( references = @assets/chair.usda@</Other> ) { }
def Xform "Loaded" ( payload = @assets/chair.usda@ ) { }
def Xform "Internal" ( references = </ByDefault> ) { double local = 5 }
def Xform "Both" ( references = [@assets/chair.usda@</Other>, @assets/chair.usda@] ) { }
)");
    f.write("assets/chair.usda", R"(#usda 1.0
( defaultPrim = "Chair" )
def Xform "Chair" { double local = 2  double seat = 3
    def Mesh "Geo" {)" + kTriangle + R"(}
}
def Xform "Other" { double seat = 4 }
)");
    const Composed c = composeFile(f.path() / "root.usda");
    EXPECT_EQ(number(at(c.stage, "/ByDefault"), "local"), 1); // local beats referenced
    EXPECT_EQ(number(at(c.stage, "/ByDefault"), "seat"), 3);
    ASSERT_NE(at(c.stage, "/ByDefault/Geo"), nullptr);
    EXPECT_EQ(at(c.stage, "/ByDefault/Geo")->typeName, "Mesh");
    EXPECT_EQ(number(at(c.stage, "/ByPath"), "seat"), 4);
    EXPECT_EQ(at(c.stage, "/ByPath/Geo"), nullptr);
    EXPECT_NE(at(c.stage, "/Loaded/Geo"), nullptr);
    EXPECT_EQ(number(at(c.stage, "/Internal"), "local"), 5);
    EXPECT_EQ(number(at(c.stage, "/Internal"), "seat"), 3);
    EXPECT_NE(at(c.stage, "/Internal/Geo"), nullptr);
    EXPECT_EQ(number(at(c.stage, "/Both"), "seat"), 4); // the earlier reference is stronger
    EXPECT_NE(at(c.stage, "/Both/Geo"), nullptr);
    EXPECT_EQ(c.layers, 2u); // chair.usda, named six times, is read once
}

TEST(Composition, InheritsBeatReferencesAndSpecializesAreWeakest) {
    Folder f;
    f.write("root.usda", R"(#usda 1.0
class "_Red" { double r = 1  double g = 1 }
class "_Base" { double r = 3  double g = 3  double b = 3  double a = 3 }
def Xform "Thing" ( inherits = </_Red>  specializes = </_Base>  references = @thing.usda@ ) { double g = 0 }
)");
    f.write("thing.usda", "#usda 1.0\n( defaultPrim = \"T\" )\ndef Xform \"T\" { double r = 2  double b = 2 }\n");
    const Composed c = composeFile(f.path() / "root.usda");
    const Prim* t = at(c.stage, "/Thing");
    EXPECT_EQ(number(t, "g"), 0); // local
    EXPECT_EQ(number(t, "r"), 1); // inherited over referenced
    EXPECT_EQ(number(t, "b"), 2); // referenced over specialized
    EXPECT_EQ(number(t, "a"), 3); // only specialized
    EXPECT_EQ(at(c.stage, "/_Red"), nullptr); // classes are not drawn
}

TEST(Composition, VariantsFollowTheStrongestSelectionAndNoneContributesNothing) {
    Folder f;
    f.write("root.usda", R"(#usda 1.0
def Xform "Picked" ( references = @asset.usda@  variants = { string shape = "tri" } ) { }
def Xform "AssetDefault" ( references = @asset.usda@ ) { }
def Xform "Unselected" {
    variantSet "shape" = { "tri" { def Mesh "Tri" { } } }
}
)");
    f.write("asset.usda", R"(#usda 1.0
( defaultPrim = "A" )
def Xform "A" ( variants = { string shape = "none" } ) {
    variantSet "shape" = {
        "tri" ( references = @tri.usda@ ) { double chosen = 1 }
        "none" { double chosen = 2 }
    }
}
)");
    f.write("tri.usda", "#usda 1.0\n( defaultPrim = \"T\" )\ndef Xform \"T\" { def Mesh \"Geo\" {" + kTriangle + "} }\n");
    const Composed c = composeFile(f.path() / "root.usda");
    EXPECT_EQ(number(at(c.stage, "/Picked"), "chosen"), 1);
    EXPECT_NE(at(c.stage, "/Picked/Geo"), nullptr);
    EXPECT_EQ(number(at(c.stage, "/AssetDefault"), "chosen"), 2);
    EXPECT_EQ(at(c.stage, "/AssetDefault/Geo"), nullptr);
    EXPECT_EQ(at(c.stage, "/Unselected/Tri"), nullptr);
}

TEST(Composition, InactiveGuideProxyOverOnlyAndClassPrimsAreLeftOut) {
    Folder f;
    f.write("root.usda", R"(#usda 1.0
( subLayers = [@weak.usda@] )
over "Off" ( active = false ) { }
def Xform "On" ( active = true ) { }
def Xform "Guide" { uniform token purpose = "guide"  def Mesh "Below" { } }
def Xform "Proxy" { uniform token purpose = "proxy" }
def Xform "Render" { uniform token purpose = "render" }
over "OnlyOver" { def Mesh "Child" { } }
class "Klass" { }
def Xform "Instanced" ( instanceable = true  kind = "component" ) { }
)");
    f.write("weak.usda", "#usda 1.0\ndef Xform \"Off\" { }\n");
    const Composed c = composeFile(f.path() / "root.usda");
    std::vector<std::string> names;
    for (const Prim& p : c.stage.rootPrims) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"On", "Render", "Instanced"}));
    EXPECT_EQ(at(c.stage, "/Render")->attribute("purpose")->value.texts, std::vector<std::string>{"render"});
    EXPECT_EQ(at(c.stage, "/Instanced")->instanceable, true);
    EXPECT_EQ(at(c.stage, "/Instanced")->kind, "component");
}

TEST(Composition, MissingLayersPrimsAndCyclesLeaveTheRestStanding) {
    Folder f;
    f.write("root.usda", R"(#usda 1.0
def Xform "Gone" ( references = @missing.usda@ ) { double kept = 1 }
def Xform "NoPrim" ( references = @a.usda@</Nowhere> ) { }
def Xform "NoDefault" ( references = @nodefault.usda@ ) { }
def Xform "Loop" ( references = @a.usda@ ) { }
def Xform "Self" ( references = </Self> ) { double kept = 2 }
def Xform "Draco" ( references = @mesh.drc@ ) { }
def Xform "Outside" ( references = @../../../../x.usda@ ) { }
)");
    f.write("a.usda", "#usda 1.0\n( defaultPrim = \"A\" )\ndef Xform \"A\" ( references = @b.usda@ ) { double a = 1 }\n");
    f.write("b.usda", "#usda 1.0\n( defaultPrim = \"B\" )\ndef Xform \"B\" ( references = @a.usda@ ) { double b = 1 }\n");
    f.write("nodefault.usda", "#usda 1.0\ndef Xform \"X\" { }\n");
    f.write("mesh.drc", "DRACO");
    const Composed c = composeFile(f.path() / "root.usda");
    EXPECT_EQ(number(at(c.stage, "/Gone"), "kept"), 1);
    EXPECT_EQ(number(at(c.stage, "/Self"), "kept"), 2);
    EXPECT_EQ(number(at(c.stage, "/Loop"), "a"), 1);
    EXPECT_EQ(number(at(c.stage, "/Loop"), "b"), 1);
    EXPECT_NE(at(c.stage, "/NoPrim"), nullptr);
    EXPECT_EQ(c.failures.at("missing.usda"), "not found");
    EXPECT_EQ(c.failures.at("mesh.drc"), "Draco-compressed meshes are not supported");
    EXPECT_EQ(c.failures.at("../../../../x.usda"), "outside the folder 3 levels above the model's");
    EXPECT_GE(c.notes.size(), 2u); // no prim, no defaultPrim; a cycle adds no source twice
}

TEST(Composition, LimitsEndTheLoadWithTheirReason) {
    Folder f;
    std::string chain;
    for (int i = 0; i < 10; ++i)
        f.write(std::string("l") + std::to_string(i) + ".usda", "#usda 1.0\n( defaultPrim = \"P\" )\ndef Xform \"P\" ( references = @l" +
                                                     std::to_string(i + 1) + ".usda@ ) { }\n");
    f.write("l10.usda", "#usda 1.0\n( defaultPrim = \"P\" )\ndef Xform \"P\" { def Xform \"A\" { } def Xform \"B\" { } }\n");
    EXPECT_NO_THROW(composeFile(f.path() / "l0.usda"));
    try {
        composeFile(f.path() / "l0.usda", CompositionLimits{100, 5, 1000});
        ADD_FAILURE() << "arc depth not limited";
    } catch (const LoaderError& e) {
        EXPECT_EQ(e.kind(), LoaderError::Kind::parseError);
        EXPECT_NE(e.payload().find("arcs nest more than 5 deep"), std::string::npos);
    }
    EXPECT_THROW(composeFile(f.path() / "l0.usda", CompositionLimits{2, 64, 1000}), LoaderError);
    EXPECT_THROW(composeFile(f.path() / "l0.usda", CompositionLimits{100, 64, 10}), LoaderError);
    f.write("values.usda", "#usda 1.0\ndef Xform \"A\" ( references = @l10.usda@ ) { double[] v = [1, 2, 3] }\n");
    EXPECT_NO_THROW(composeFile(f.path() / "values.usda", CompositionLimits{100, 64, 1000, 3}));
    EXPECT_THROW(composeFile(f.path() / "values.usda", CompositionLimits{100, 64, 1000, 2}), LoaderError);
    const Composed few = composeFile(f.path() / "l0.usda", {}, LayerFiles::Limits{4, 1 << 20});
    EXPECT_EQ(few.failures.begin()->second, "more than 4 layers");
}

TEST(Composition, PackagedLayersResolveInsideThePackageAndPackagesInside) {
    const auto innerBytes = trimeo::test::ZipPackage()
                                  .file("inner.usda", "#usda 1.0\n( defaultPrim = \"I\" )\ndef Xform \"I\" { def Mesh \"Geo\" {" +
                                                          kTriangle + "} }\n", false)
                                  .file("extra/x.usda", "#usda 1.0\ndef Xform \"X\" { double x = 7 }\n", false)
                                  .bytes();
    const std::string inner(innerBytes.begin(), innerBytes.end());
    const auto outer = trimeo::test::ZipPackage()
                           .file("scene.usda", R"(#usda 1.0
def Xform "Nested" ( references = @parts/inner.usdz@ ) { }
def Xform "Entry" ( references = @parts/inner.usdz[extra/x.usda]@</X> ) { }
def Xform "Beside" ( references = @sub/layer.usda@ ) { }
def Xform "Escapes" ( references = @../outside.usda@ ) { }
)", false)
                           .file("sub/layer.usda", "#usda 1.0\n( defaultPrim = \"L\" )\ndef Xform \"L\" { double l = 3 }\n")
                           .file("parts/inner.usdz", inner, false)
                           .bytes();
    Folder f;
    f.write("model.usdz", outer);
    const Composed c = composeFile(f.path() / "model.usdz");
    EXPECT_NE(at(c.stage, "/Nested/Geo"), nullptr);
    EXPECT_EQ(number(at(c.stage, "/Entry"), "x"), 7);
    EXPECT_EQ(number(at(c.stage, "/Beside"), "l"), 3);
    EXPECT_EQ(c.failures.at("../outside.usda"), "outside the package");

    RelatedFiles related(f.path() / "model.usdz");
    const trimeo::ReaderInput input{outer, "usdz", related};
    const auto read = readUsd(input);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->count, 1u);
}

// Through the loader: what a composed stage shows, and what its message says when it shows nothing.
LoaderError::Kind failure(const fs::path& file, std::string& payload) {
    try {
        trimeo::ModelLoader::load(trimeo::test::readFile(file), file);
    } catch (const LoaderError& e) {
        payload = e.payload();
        return e.kind();
    }
    ADD_FAILURE() << file << " loaded";
    return LoaderError::Kind::unsupportedFormat;
}

TEST(Composition, TheLoaderDrawsComposedMeshesAndSaysWhyNoneCouldBeReached) {
    Folder f;
    f.write("scene.usda", R"(#usda 1.0
def Xform "A" ( references = @parts/tri.usda@ ) { }
def Xform "B" ( references = @parts/tri.usda@ ) { double3 xformOp:translate = (5, 0, 0)  uniform token[] xformOpOrder = ["xformOp:translate"] }
)");
    f.write("parts/tri.usda", "#usda 1.0\n( defaultPrim = \"T\" )\ndef Xform \"T\" { def Mesh \"Geo\" {" + kTriangle + "} }\n");
    f.write("lost.usda", "#usda 1.0\ndef Xform \"A\" ( references = @missing.usda@ ) { }\n");
    f.write("draco.usda", "#usda 1.0\ndef Xform \"A\" ( references = @geo.drc@ ) { }\n");
    f.write("geo.drc", "DRACO");
    f.write("empty.usda", "#usda 1.0\ndef Xform \"A\" ( references = @parts/tri.usda@</Nowhere> ) { }\n");

    const auto loaded = trimeo::ModelLoader::load(trimeo::test::readFile(f.path() / "scene.usda"), f.path() / "scene.usda");
    ASSERT_TRUE(loaded.scene);
    const auto& roots = loaded.scene->rootNode->childNodes();
    ASSERT_EQ(roots.size(), 2u);
    ASSERT_EQ(roots[1]->childNodes().size(), 1u);
    ASSERT_TRUE(roots[1]->childNodes()[0]->geometry);
    EXPECT_EQ(roots[1]->childNodes()[0]->geometry->elements.at(0).primitiveCount(), 1u);
    EXPECT_EQ(roots[1]->position.x, 5);

    std::string why;
    EXPECT_EQ(failure(f.path() / "lost.usda", why), LoaderError::Kind::parseError);
    EXPECT_EQ(why, "no geometry could be reached; layers that could not be read: missing.usda (not found)");
    EXPECT_EQ(failure(f.path() / "draco.usda", why), LoaderError::Kind::parseError);
    EXPECT_EQ(why, "no geometry could be reached; layers that could not be read: geo.drc (Draco-compressed meshes are not supported)");
    EXPECT_EQ(failure(f.path() / "empty.usda", why), LoaderError::Kind::noGeometry);
}

TEST(Composition, CrateLayersComposeAsTheirTextSaysAcrossEveryArc) {
    const auto crate = [](const std::string& text) { return trimeo::test::writeCrate(parseUsda(text)); };
    Folder f;
    f.write("root.usdc", crate(R"(#usda 1.0
( subLayers = [@weak.usdc@] )
class "_C" { double c = 1 }
def Xform "Base" { double s = 1 }
def Xform "P" ( references = @asset.usdc@  payload = @more.usdc@</M>  inherits = </_C>  specializes = </Base>
               variants = { string v = "b" } ) { }
)"));
    f.write("weak.usdc", crate("#usda 1.0\ndef Xform \"W\" { double w = 1 }\n"));
    f.write("asset.usdc", crate(R"(#usda 1.0
( defaultPrim = "A" )
def Xform "A" {
    variantSet "v" = { "a" { double pick = 1 } "b" { double pick = 2  def Mesh "Geo" { } } }
}
)"));
    f.write("more.usdc", crate("#usda 1.0\ndef Xform \"M\" { double m = 1 }\n"));
    const Composed c = composeFile(f.path() / "root.usdc");
    const Prim* p = at(c.stage, "/P");
    EXPECT_EQ(number(p, "c"), 1);
    EXPECT_EQ(number(p, "s"), 1);
    EXPECT_EQ(number(p, "pick"), 2);
    EXPECT_EQ(number(p, "m"), 1);
    EXPECT_NE(at(c.stage, "/P/Geo"), nullptr);
    EXPECT_EQ(number(at(c.stage, "/W"), "w"), 1);
    EXPECT_TRUE(c.failures.empty());
}

TEST(Composition, EveryArcAtOnceAcrossLayersThatNameEachOtherEnds) {
    const std::string text = trimeo::test::kArcStage;
    const auto crate = trimeo::test::writeCrate(parseUsda(text));
    Folder f;
    f.write("a.usda", text).write("b.usda", text).write("sub/c.usda", text).write("d.usdc", crate);
    f.write("e.usdz", trimeo::test::ZipPackage().file("e.usdc", std::string(crate.begin(), crate.end()), false).bytes());
    const Composed c = composeFile(f.path() / "a.usda");
    const Prim* a = at(c.stage, "/A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(number(a, "c"), 1);
    EXPECT_EQ(a->instanceable, true);
    ASSERT_NE(at(c.stage, "/A/M"), nullptr);
    EXPECT_EQ(*at(c.stage, "/A/M")->relationship("material:binding"), std::vector<std::string>{"/Looks/Red"});
    EXPECT_EQ(a->attribute("inputs:c")->connections, std::vector<std::string>{"/Looks/Red.outputs:c"});
    EXPECT_NE(at(c.stage, "/B/M"), nullptr); // B references a.usda, whose default prim is A
    EXPECT_EQ(c.failures.at("missing.usda"), "not found");
    EXPECT_EQ(c.failures.at("sub/missing.usda"), "not found"); // as c.usda names it
    EXPECT_EQ(c.failures.at("e.usdz[missing.usda]"), "not in the package");
    EXPECT_EQ(c.failures.at("sub/e.usdz"), "not found"); // the package c.usda names
}

TEST(Composition, AssetsResolveFromTheLayerThatNamesThem) {
    const auto package = trimeo::test::ZipPackage()
                             .file("scene.usda", "#usda 1.0\ndef Xform \"A\" { }\n", false)
                             .file("textures/wood.png", "PNG-IN-PACKAGE")
                             .bytes();
    Folder f;
    f.write("model.usda", "#usda 1.0\n");
    f.write("parts/part.usda", "#usda 1.0\n");
    f.write("parts/maps/grain.jpg", "JPEG-BESIDE");
    f.write("parts/kit.usdz", package);
    RelatedFiles related(f.path() / "model.usda");
    LayerFiles files(related);
    const auto model = files.openModel(trimeo::test::readFile(f.path() / "model.usda"), "usda");
    const auto part = files.open(*model, "parts/part.usda");
    const auto kit = files.open(*model, "parts/kit.usdz");
    ASSERT_TRUE(part && kit);
    EXPECT_EQ(kit->identity, "parts/kit.usdz[scene.usda]");
    std::string why;
    const auto beside = files.readAsset(part->identity, "maps/grain.jpg", why);
    ASSERT_TRUE(beside);
    EXPECT_EQ(std::string((*beside)->begin(), (*beside)->end()), "JPEG-BESIDE");
    const auto packed = files.readAsset(kit->identity, "./textures/wood.png", why);
    ASSERT_TRUE(packed);
    EXPECT_EQ(std::string((*packed)->begin(), (*packed)->end()), "PNG-IN-PACKAGE");
    EXPECT_FALSE(files.readAsset(kit->identity, "../maps/grain.jpg", why));
    EXPECT_EQ(why, "outside the package");
    EXPECT_FALSE(files.readAsset(part->identity, "maps/none.png", why));
    EXPECT_EQ(why, "not found");

    // From a shot two folders down, the same layers and texture are reached by climbing.
    f.write("shots/s1/shot.usda", "#usda 1.0\n");
    RelatedFiles fromShot(f.path() / "shots/s1/shot.usda");
    LayerFiles shotFiles(fromShot);
    const auto shot = shotFiles.openModel(trimeo::test::readFile(f.path() / "shots/s1/shot.usda"), "usda");
    const auto climbed = shotFiles.open(*shot, "../../parts/part.usda");
    ASSERT_TRUE(climbed);
    EXPECT_EQ(climbed->identity, "../../parts/part.usda");
    const auto above = shotFiles.readAsset(climbed->identity, "maps/grain.jpg", why);
    ASSERT_TRUE(above) << why;
    EXPECT_EQ(std::string((*above)->begin(), (*above)->end()), "JPEG-BESIDE");
    const auto climbedKit = shotFiles.open(*shot, "../../parts/kit.usdz");
    ASSERT_TRUE(climbedKit);
    EXPECT_FALSE(shotFiles.readAsset(climbedKit->identity, "../maps/grain.jpg", why));
    EXPECT_EQ(why, "outside the package");

    // A package composing nothing keeps its layer's name on every value, for its textures.
    const auto alone = trimeo::test::ZipPackage()
                           .file("a.usda", "#usda 1.0\ndef Shader \"T\" { asset inputs:file = @t.png@ }\n"
                                           "over \"Gone\" { }\n", false)
                           .file("t.png", "PNG")
                           .bytes();
    LayerFiles packaged(related);
    const auto layer = packaged.openModel(alone, "usdz");
    ASSERT_FALSE(needsComposition(layer->stage));
    const Stage stage = composeAlone(*layer);
    ASSERT_EQ(stage.rootPrims.size(), 1u);
    const Attribute& file = stage.rootPrims[0].attributes.at("inputs:file");
    EXPECT_EQ(file.layer, "[a.usda]");
    EXPECT_TRUE(packaged.readAsset(file.layer, file.value.texts.at(0), why));
}

TEST(Composition, TargetsMoveWithTheArcThatBroughtThem) {
    Folder f;
    f.write("root.usda", R"(#usda 1.0
class "_C" { rel r = </_C/Inner>  def Xform "Inner" { } }
def Xform "World" {
    def Xform "Chair" ( references = @asset.usda@ ) { }
    def Xform "Thing" ( inherits = </_C> ) { rel own = </World/Chair> }
}
)");
    f.write("asset.usda", R"(#usda 1.0
( defaultPrim = "Asset" )
def Xform "Asset" {
    def Mesh "Geo" ( references = @part.usda@</P> ) {
        rel material:binding = </Asset/Looks/Mat>
        rel elsewhere = [</Elsewhere>, </Asset>]
        color3f inputs:c.connect = </Asset/Looks/Mat/Tex.outputs:rgb>
    }
    def Scope "Looks" { def Material "Mat" { } }
}
)");
    f.write("part.usda", "#usda 1.0\ndef Xform \"P\" { rel part = </P/Q>  def Xform \"Q\" { } }\n");
    const Composed c = composeFile(f.path() / "root.usda");
    const Prim* geo = at(c.stage, "/World/Chair/Geo");
    ASSERT_NE(geo, nullptr);
    EXPECT_EQ(*geo->relationship("material:binding"), std::vector<std::string>{"/World/Chair/Looks/Mat"});
    EXPECT_EQ(*geo->relationship("elsewhere"), std::vector<std::string>{"/World/Chair"}); // outside the asset: dropped
    EXPECT_EQ(geo->attribute("inputs:c")->connections, std::vector<std::string>{"/World/Chair/Looks/Mat/Tex.outputs:rgb"});
    EXPECT_EQ(*geo->relationship("part"), std::vector<std::string>{"/World/Chair/Geo/Q"});
    const Prim* thing = at(c.stage, "/World/Thing");
    EXPECT_EQ(*thing->relationship("r"), std::vector<std::string>{"/World/Thing/Inner"});
    EXPECT_EQ(*thing->relationship("own"), std::vector<std::string>{"/World/Chair"});
    EXPECT_NE(at(c.stage, "/World/Thing/Inner"), nullptr);
}

TEST(Composition, PathMapsMoveWholeElementsAndChainThroughNestedArcs) {
    const PathMap chair{"/Asset", "/World/Chair"};
    EXPECT_EQ(chair("/Asset/Looks/Mat.outputs:surface"), "/World/Chair/Looks/Mat.outputs:surface");
    EXPECT_EQ(chair("/Asset"), "/World/Chair");
    EXPECT_EQ(chair("/Asset{v=a}Geo"), "/World/Chair{v=a}Geo");
    EXPECT_EQ(chair("/Assets/X"), std::nullopt);
    EXPECT_EQ(chair("/Other"), std::nullopt);
    const auto same = [](const PathMap& a, const PathMap& b) { return a.from == b.from && a.to == b.to; };
    EXPECT_TRUE(same(PathMap{}.then(chair), chair));
    EXPECT_TRUE(same(PathMap{"/P", "/Asset/Geo"}.then(chair), PathMap{"/P", "/World/Chair/Geo"}));
    EXPECT_TRUE(same(PathMap{"/P", "/Asset"}.then(PathMap{"/Asset/Geo", "/X"}), PathMap{"/P/Geo", "/X"}));
    const PathMap disjoint = PathMap{"/P", "/Elsewhere"}.then(chair);
    EXPECT_EQ(disjoint("/P/Q"), std::nullopt);
}

} // namespace
