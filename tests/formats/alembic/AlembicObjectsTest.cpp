// Objects that stand for others, hide, or carry a surface other than a polygon mesh.
#include "AlembicWriter.h"
#include "formats/alembic/AlembicReader.h"
#include "support/ReadBytes.h"

#include <gtest/gtest.h>

using namespace trimeo::test::abc;
namespace scene = trimeo::scene;

namespace {
auto readAlembic(const Bytes& bytes) { return *trimeo::test::readBytes(trimeo::readAlembic, bytes, "abc"); }

const std::vector<float> kQuad{0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0};
Object quad(std::string name) { return polyMesh(std::move(name), kQuad, {4}, {0, 1, 2, 3}); }
Object moved(std::string name, double x, std::vector<Object> children) {
    return xform(std::move(name), {translateOp}, {x, 0, 0}, std::move(children));
}

const scene::Node* child(const scene::Node& parent, const std::string& name) {
    for (const auto& c : parent.childNodes())
        if (c->name == name) return c.get();
    return nullptr;
}
// The node at "a/b/c" under the scene's root, or null.
const scene::Node* at(const trimeo::ReaderResult& read, const std::vector<std::string>& path) {
    const scene::Node* node = read.scene->rootNode.get();
    for (const std::string& name : path)
        if (node) node = child(*node, name);
    return node;
}
std::vector<std::string> names(const scene::Node& node) {
    std::vector<std::string> out;
    for (const auto& c : node.childNodes()) out.push_back(c->name.value_or("?"));
    return out;
}
} // namespace

TEST(AlembicSubD, TheControlMeshIsReadLikeAPolygonMesh) {
    // A quad and a triangle sharing an edge, under a moved transform.
    const std::vector<float> points{0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 2, 0, 0};
    auto read = readAlembic(writeArchive({moved("xf", 5, {subD("cage", points, {4, 3}, {0, 1, 2, 3, 3, 2, 4})})}));
    ASSERT_EQ(read.count, 1u);
    const scene::Node* cage = at(read, {"xf", "cage"});
    ASSERT_TRUE(cage && cage->geometry);
    const scene::Geometry& g = *cage->geometry;
    EXPECT_EQ(g.source(scene::Semantic::vertex)->data, points);
    EXPECT_EQ(g.validTriangleCount(), 3u);
    EXPECT_FALSE(g.source(scene::Semantic::normal));
    // Wound to face +z like a polygon mesh with the same faces.
    auto poly = readAlembic(writeArchive({polyMesh("m", points, {4, 3}, {0, 1, 2, 3, 3, 2, 4})}));
    EXPECT_EQ(g.elements[0].indices, poly.scene->rootNode->childNodes()[0]->geometry->elements[0].indices);
    scene::BoundingBox box = read.scene->rootNode->boundingBox();
    EXPECT_EQ(box.min.x, 5);
    EXPECT_EQ(box.max.x, 7);

    // Faces the mesh cannot use are dropped as for polygon meshes.
    auto broken = readAlembic(writeArchive({subD("cage", kQuad, {3}, {0, 1, 9})}));
    EXPECT_EQ(broken.count, 0u);
}

TEST(AlembicInstance, AnInstanceShowsItsSourceWhereItStandsAndSharesItsGeometry) {
    // /a/m is the source; /b/copy stands for it ten units along x.
    auto read = readAlembic(writeArchive({moved("a", 0, {quad("m")}), moved("b", 10, {instance("copy", "/a/m")})}));
    EXPECT_EQ(read.count, 2u);
    const scene::Node* source = at(read, {"a", "m"});
    const scene::Node* copy = at(read, {"b", "copy"});
    ASSERT_TRUE(source && copy);
    ASSERT_TRUE(copy->geometry);
    EXPECT_EQ(copy->geometry, source->geometry);
    scene::BoundingBox box = read.scene->rootNode->boundingBox();
    EXPECT_EQ(box.min.x, 0);
    EXPECT_EQ(box.max.x, 11);

    // A source without the leading slash is found as well, and the source's own transform
    // and children come along: the copy of /a is moved by b and then by a.
    auto tree = readAlembic(writeArchive({moved("a", 3, {quad("m")}), moved("b", 10, {instance("copy", "a")})}));
    const scene::Node* copied = at(tree, {"b", "copy"});
    ASSERT_TRUE(copied);
    ASSERT_EQ(names(*copied), std::vector<std::string>({"m"}));
    EXPECT_EQ(copied->worldTransform().transformPoint({0, 0, 0}).x, 13);
    EXPECT_EQ(tree.count, 2u);
}

TEST(AlembicInstance, PathsThroughInstancesAndInstancesOfInstancesAreFollowed) {
    // /b/copy stands for /a; /c/deep names /b/copy/m, which is /a/m; /d/again stands for /c/deep.
    auto read = readAlembic(writeArchive({moved("a", 0, {quad("m")}), moved("b", 10, {instance("copy", "/a")}),
                                          moved("c", 20, {instance("deep", "/b/copy/m")}),
                                          moved("d", 30, {instance("again", "/c/deep")})}));
    EXPECT_EQ(read.count, 4u);
    const scene::Node* source = at(read, {"a", "m"});
    ASSERT_TRUE(source && source->geometry);
    for (const auto& path : {std::vector<std::string>{"b", "copy", "m"}, {"c", "deep"}, {"d", "again"}}) {
        const scene::Node* node = at(read, path);
        ASSERT_TRUE(node) << path.back();
        EXPECT_EQ(node->geometry, source->geometry) << path.back();
    }
}

TEST(AlembicInstance, SourcesThatLeadNowhereOrRoundInACircleShowNothing) {
    auto read = readAlembic(writeArchive({
        moved("a", 0, {quad("m"), instance("self", "/a")}), // its own ancestor
        instance("missing", "/a/nothing"),
        instance("empty", ""),
        instance("x", "/y"), instance("y", "/x"),               // each other
        instance("p", "/q/m"), moved("q", 0, {instance("m", "/p/m")}), // through each other
        instance("slashes", "//a/m/"),
    }));
    EXPECT_EQ(read.count, 1u);
    EXPECT_EQ(names(*read.scene->rootNode), std::vector<std::string>({"a", "q"}));
    EXPECT_EQ(names(*at(read, {"a"})), std::vector<std::string>({"m"}));
    EXPECT_TRUE(at(read, {"q"})->childNodes().empty());
}

TEST(AlembicVisibility, ObjectsHiddenAtTheFirstSampleAreLeftOutWithEverythingBelow) {
    auto read = readAlembic(writeArchive({
        visible(moved("hiddenGroup", 0, {quad("inside")}), 0),
        visible(quad("hiddenMesh"), 0),
        visible(quad("shown"), 1),
        visible(moved("deferred", 0, {quad("inside")}), -1),
        quad("plain"),
    }));
    EXPECT_EQ(names(*read.scene->rootNode), std::vector<std::string>({"shown", "deferred", "plain"}));
    EXPECT_EQ(read.count, 3u);

    // The value is an int8 scalar; another type says nothing about visibility.
    Object oddType = quad("odd");
    oddType.properties.push_back({"visible", Kind::scalar, 10, 1, "", bytesOf(std::vector<float>{0}), {}});
    EXPECT_EQ(readAlembic(writeArchive({oddType})).count, 1u);
}

TEST(AlembicVisibility, AnInstanceOfAHiddenSourceIsHiddenAndAHiddenParentHidesOnlyTheCopy) {
    // The instance shows the source's properties, visibility among them.
    auto read = readAlembic(writeArchive({visible(quad("m"), 0), moved("b", 10, {instance("copy", "/m")})}));
    EXPECT_EQ(read.count, 0u);
    EXPECT_TRUE(at(read, {"b"})->childNodes().empty());
    // Hiding the instance's parent hides the copy and leaves the source alone.
    auto parentHidden = readAlembic(writeArchive({quad("m"), visible(moved("b", 10, {instance("copy", "/m")}), 0)}));
    EXPECT_EQ(parentHidden.count, 1u);
    EXPECT_EQ(names(*parentHidden.scene->rootNode), std::vector<std::string>({"m"}));
}
