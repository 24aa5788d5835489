// Build items, components and their transforms: the transform rule, what the XML reader
// collects for placement, and the scene the assembly makes of it.
#include "formats/threemf/ModelAssembly.h"

#include "ZipPackage.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>

namespace threemf = trimeo::threemf;
namespace scene = trimeo::scene;
using trimeo::LoaderError;
using trimeo::ThreeMFXMLParser;
using trimeo::test::tetrahedronMesh;

namespace {

const char* kShift = "1 0 0 0 1 0 0 0 1 ";

std::string object(int id, const std::string& body) {
    return "<object id=\"" + std::to_string(id) + "\" type=\"model\">" + body + "</object>";
}
std::string mesh(float offset = 0) { return "<mesh>" + tetrahedronMesh(offset) + "</mesh>"; }
std::string component(int id, const std::string& transform = "", const std::string& path = "") {
    std::string c = "<component objectid=\"" + std::to_string(id) + "\"";
    if (!transform.empty()) c += " transform=\"" + transform + "\"";
    if (!path.empty()) c += " p:path=\"" + path + "\"";
    return c + "/>";
}
std::string components(const std::vector<std::string>& list) {
    std::string s = "<components>";
    for (const std::string& c : list) s += c;
    return s + "</components>";
}
std::string item(int id, const std::string& transform = "", const std::string& path = "") {
    std::string c = "<item objectid=\"" + std::to_string(id) + "\"";
    if (!transform.empty()) c += " transform=\"" + transform + "\"";
    if (!path.empty()) c += " p:path=\"" + path + "\"";
    return c + "/>";
}
std::string model(const std::string& resources, const std::string& build) {
    return "<?xml version=\"1.0\"?>\n<model unit=\"millimeter\" "
           "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\" "
           "xmlns:p=\"http://schemas.microsoft.com/3dmanufacturing/production/2015/06\"><resources>" +
           resources + "</resources>" + build + "</model>";
}
std::string build(const std::vector<std::string>& items) {
    std::string s = "<build>";
    for (const std::string& i : items) s += i;
    return s + "</build>";
}

// Assembles `main` with the other parts of the package held in memory.
trimeo::ReaderResult assemble(const std::string& main, std::map<std::string, std::string> others = {},
                              threemf::PlacementLimits limits = {}) {
    const std::vector<std::uint8_t> bytes = trimeo::test::bytes(main);
    return threemf::assembleModel(
        bytes,
        [others](const std::string& path) -> std::optional<std::vector<std::uint8_t>> {
            auto it = others.find(path);
            if (it == others.end()) return std::nullopt;
            return trimeo::test::bytes(it->second);
        },
        limits);
}

std::vector<std::string> names(const trimeo::ReaderResult& r) {
    std::vector<std::string> out;
    for (const auto& n : r.scene->rootNode->childNodes()) out.push_back(n->name.value_or("?"));
    return out;
}

// Minimum corner of each node's geometry, in node order (nodes carry no transform).
std::vector<scene::Vector3> corners(const trimeo::ReaderResult& r) {
    std::vector<scene::Vector3> out;
    for (const auto& n : r.scene->rootNode->childNodes()) {
        EXPECT_EQ(n->transform().m, scene::Matrix4::identity().m);
        out.push_back(n->geometry->boundingBox().min);
    }
    return out;
}

} // namespace

TEST(AffineTransform, ReadsTwelveNumbersAsRowVectorRows) {
    auto t = threemf::parseTransform("  0 1 0  -1 0 0\t0 0 2\n10 20 30 ");
    ASSERT_TRUE(t);
    float p[3] = {1, 2, 3};
    t->apply(p); // x' = x*m00 + y*m10 + z*m20 + m30 ...
    EXPECT_EQ(p[0], -2 + 10);
    EXPECT_EQ(p[1], 1 + 20);
    EXPECT_EQ(p[2], 6 + 30);
    EXPECT_FALSE(t->isIdentity());
    EXPECT_TRUE(threemf::parseTransform("1 0 0 0 1 0 0 0 1 0 0 0")->isIdentity());
    for (const char* bad : {"", "1 0 0 0 1 0 0 0 1 0 0", "1 0 0 0 1 0 0 0 1 0 0 0 0", "1 0 0 0 1 0 0 0 1 0 0 x",
                            "1 0 0 0 1 0 0 0 1 0 0 nan", "1 0 0 0 1 0 0 0 1 0 0 inf", "1,0,0,0,1,0,0,0,1,0,0,0"})
        EXPECT_FALSE(threemf::parseTransform(bad)) << bad;
}

TEST(AffineTransform, ThenAppliesTheInnerTransformFirst) {
    const auto turn = *threemf::parseTransform("0 1 0 -1 0 0 0 0 1 0 0 0"); // x -> y, y -> -x
    const auto move = *threemf::parseTransform("1 0 0 0 1 0 0 0 1 5 0 0");
    float a[3] = {1, 0, 0}, b[3] = {1, 0, 0};
    turn.then(move).apply(a); // turned, then moved
    move.then(turn).apply(b); // moved, then turned
    EXPECT_EQ((std::vector<float>{a[0], a[1], a[2]}), (std::vector<float>{5, 1, 0}));
    EXPECT_EQ((std::vector<float>{b[0], b[1], b[2]}), (std::vector<float>{0, 6, 0}));
    EXPECT_EQ(turn.determinant(), 1);
    EXPECT_EQ(threemf::parseTransform("-1 0 0 0 1 0 0 0 1 0 0 0")->determinant(), -1);
}

TEST(ThreeMFXMLParserPlacement, CollectsObjectsComponentsAndBuildItems) {
    const std::string xml =
        model(object(3, mesh()) + object(7, components({component(3, std::string(kShift) + "0 0 10", "/3D/p.model"),
                                                         component(-1), component(3, "1 2 3"), component(3)})) +
                  object(0, "<mesh><vertices/></mesh>"),
              build({item(7, std::string(kShift) + "1 2 3"), item(3, "bad"), item(5)}) + item(9));
    const std::vector<std::uint8_t> bytes = trimeo::test::bytes(xml);
    const auto r = ThreeMFXMLParser(bytes).parse();
    ASSERT_EQ(r.objects.size(), 3u);
    EXPECT_EQ(r.objects[0].id, 3u);
    EXPECT_EQ(r.objects[0].mesh, std::optional<std::size_t>(0));
    EXPECT_EQ(r.objects[1].id, 7u);
    EXPECT_FALSE(r.objects[1].mesh);
    ASSERT_EQ(r.objects[1].components.size(), 2u) << "an invalid id or transform drops the component";
    EXPECT_EQ(r.objects[1].components[0].path, "/3D/p.model");
    EXPECT_EQ(r.objects[1].components[0].transform.m[11], 10);
    EXPECT_TRUE(r.objects[1].components[1].path.empty());
    EXPECT_TRUE(r.objects[1].components[1].transform.isIdentity());
    EXPECT_FALSE(r.objects[2].mesh) << "a mesh without vertices is no mesh";
    ASSERT_EQ(r.items.size(), 2u) << "an invalid transform drops the item; items outside the build are not read";
    EXPECT_EQ(r.items[0].objectId, 7u);
    EXPECT_EQ(r.items[0].transform.m[10], 2);
    EXPECT_EQ(r.items[1].objectId, 5u);
    EXPECT_EQ(r.componentPaths, (std::vector<std::string>{"/3D/p.model"}));
}

TEST(BuildPlacement, EachItemPlacesItsObjectWithItsTransform) {
    // Two shapes placed nine times: nine nodes in build order, each where its item puts it.
    std::vector<std::string> items;
    for (int i = 0; i < 9; ++i) items.push_back(item(1 + i % 2, std::string(kShift) + std::to_string(10 * i) + " 0 0"));
    const auto r = assemble(model(object(1, mesh()) + object(2, mesh(0.5f)), build(items)));
    EXPECT_EQ(r.count, 9u);
    ASSERT_EQ(names(r), (std::vector<std::string>{"mesh_0", "mesh_1", "mesh_2", "mesh_3", "mesh_4", "mesh_5",
                                                  "mesh_6", "mesh_7", "mesh_8"}));
    const auto c = corners(r);
    for (int i = 0; i < 9; ++i) EXPECT_FLOAT_EQ(c[i].x, 10 * i + (i % 2 ? 0.5f : 0)) << i;
    EXPECT_EQ(r.scene->rootNode->childNodes()[0]->geometry->validTriangleCount(), 4u);
}

TEST(BuildPlacement, ComponentTransformsComposeWithTheItems) {
    // A sphere standing on a cube: the component lifts it by 10, the item moves the pair.
    const auto r = assemble(model(object(1, mesh()) + object(2, mesh()) +
                                      object(3, components({component(1), component(2, std::string(kShift) + "0 0 10")})),
                                  build({item(3, "0 1 0 -1 0 0 0 0 1 100 0 5")})));
    ASSERT_EQ(names(r), (std::vector<std::string>{"mesh_0", "mesh_1"}));
    const auto c = corners(r);
    // Turned a quarter about z: the tetrahedron's x range [0, 1] becomes y [0, 1], y [0, 1] x [-1, 0].
    EXPECT_EQ(c[0], scene::Vector3(99, 0, 5));
    EXPECT_EQ(c[1], scene::Vector3(99, 0, 15));
}

TEST(BuildPlacement, ComponentsReachOtherPartsThroughTheModelPath) {
    // main -> part a (object 5, shifted) -> part b (object 1, by a relative-free path) -> own part.
    const std::string a = model(object(5, components({component(1, std::string(kShift) + "0 2 0", "/3D/b.model"),
                                                      component(6)})) +
                                    object(6, mesh(7)),
                                "");
    const std::string b = model(object(1, components({component(2, std::string(kShift) + "0 0 3")})) + object(2, mesh()), "");
    const auto r = assemble(model(object(1, components({component(5, std::string(kShift) + "1 0 0", "/3D/a.model")})),
                                  build({item(1), item(1, std::string(kShift) + "0 0 100")})),
                            {{"3D/a.model", a}, {"3D/b.model", b}});
    EXPECT_EQ(corners(r), (std::vector<scene::Vector3>{{1, 2, 3}, {8, 0, 0}, {1, 2, 103}, {8, 0, 100}}));
}

TEST(BuildPlacement, ItemsMayNameObjectsOfOtherParts) {
    const auto r = assemble(model("", build({item(4, std::string(kShift) + "0 0 1", "/3D/x.model")})),
                            {{"3D/x.model", model(object(4, mesh()), "")}});
    EXPECT_EQ(corners(r), (std::vector<scene::Vector3>{{0, 0, 1}}));
}

TEST(BuildPlacement, CyclesAndMissingReferencesAreSkipped) {
    // 1 -> 2 -> 1 again (and to itself), plus references to a missing object and part.
    const auto r = assemble(
        model(object(1, mesh() + components({component(2, std::string(kShift) + "5 0 0")})) +
                  object(2, mesh(0.25f) + components({component(1), component(2), component(8),
                                                      component(1, "", "/3D/none.model")})),
              build({item(1)})));
    EXPECT_EQ(corners(r), (std::vector<scene::Vector3>{{0, 0, 0}, {5.25, 0, 0}}));
}

TEST(BuildPlacement, NestingDeeperThanTheLimitIsCutThere) {
    std::string resources = object(100, mesh());
    for (int id = 1; id < 100; ++id) resources += object(id, mesh() + components({component(id + 1, std::string(kShift) + "1 0 0")}));
    threemf::PlacementLimits limits;
    limits.maxDepth = 10;
    const auto r = assemble(model(resources, build({item(1)})), {}, limits);
    ASSERT_EQ(r.count, 10u);
    EXPECT_EQ(corners(r).back().x, 9);
}

TEST(BuildPlacement, BuildsPastTheLimitsAreRefused) {
    // Each level places the next one twice: 2^20 meshes from a few lines.
    std::string resources = object(21, mesh());
    for (int id = 1; id <= 20; ++id) resources += object(id, components({component(id + 1), component(id + 1)}));
    const std::string main = model(resources, build({item(1)}));
    struct Case {
        threemf::PlacementLimits limits;
        const char* message;
    };
    for (const Case& c : {Case{{64, 1000000, 1000, 1u << 26}, "Parse error: 3MF build places more than 1000 meshes"},
                          Case{{64, 1000000, 100000, 4000}, "Parse error: 3MF build places more than 4000 vertices"},
                          Case{{64, 5000, 100000, 1u << 26}, "Parse error: 3MF build reaches more than 5000 objects"}}) {
        try {
            assemble(main, {}, c.limits);
            ADD_FAILURE() << "loaded";
        } catch (const LoaderError& e) {
            EXPECT_EQ(e.errorDescription(), c.message);
        }
    }
}

TEST(BuildPlacement, MirroredPlacementsKeepTheirFacesOutward) {
    const auto r = assemble(model(object(1, mesh()), build({item(1), item(1, "-1 0 0 0 1 0 0 0 1 0 0 0")})));
    const auto& plain = r.scene->rootNode->childNodes()[0]->geometry->elements[0].indices;
    const auto& mirrored = r.scene->rootNode->childNodes()[1]->geometry->elements[0].indices;
    EXPECT_EQ(plain, (std::vector<std::uint32_t>{0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3}));
    EXPECT_EQ(mirrored, (std::vector<std::uint32_t>{0, 1, 2, 0, 3, 1, 0, 2, 3, 1, 3, 2}));
}

TEST(BuildPlacement, PlainRepeatsShareOneGeometry) {
    const auto r = assemble(model(object(1, mesh()), build({item(1), item(1), item(1, std::string(kShift) + "0 0 1")})));
    const auto& nodes = r.scene->rootNode->childNodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->geometry, nodes[1]->geometry);
    EXPECT_NE(nodes[0]->geometry, nodes[2]->geometry);
    EXPECT_EQ(nodes[0]->geometry->vertexCount(), 4u);
}

TEST(BuildPlacement, ABuildThatPlacesNothingShowsEveryMesh) {
    // Empty, or naming only what does not exist: the meshes and component parts as listed.
    for (const std::string& b : {std::string("<build/>"), build({item(9)}), std::string()}) {
        const auto r = assemble(model(object(1, mesh(1)) + object(2, components({component(1, "", "/3D/c.model")})), b),
                                {{"3D/c.model", model(object(1, mesh(2)), "")}});
        EXPECT_EQ(corners(r), (std::vector<scene::Vector3>{{1, 0, 0}, {2, 0, 0}})) << b;
    }
}
