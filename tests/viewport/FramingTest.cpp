// Framing on the boxes whose outcome is fixed: centre, 32-bit scale, the early returns.
#include "viewport/Framing.h"

#include "scene/Box.h"

#include <gtest/gtest.h>

#include <limits>

namespace trimeo {
namespace {

using scene::Node;
using scene::Vector3;

// A container holding one geometry whose vertices span exactly [lo, hi], placed at `at`.
Node::Ptr containerSpanning(Vector3 lo, Vector3 hi, Vector3 at = {}) {
    auto geometry = std::make_shared<scene::Geometry>(
        std::vector<scene::GeometrySource>{scene::GeometrySource::vertices(
            std::vector<float>{float(lo.x), float(lo.y), float(lo.z), float(hi.x), float(hi.y), float(hi.z)})},
        std::vector<scene::GeometryElement>{});
    auto child = Node::make(geometry);
    child->position = at;
    auto container = Node::make();
    container->addChildNode(child);
    return container;
}

// A skinned mesh is framed where its joint puts it: a cube bound to a bone ten units off.
TEST(Framing, SkinnedMeshIsFramedWhereItsJointsPutIt) {
    auto cube = containerSpanning({0, 0, 0}, {2, 2, 2});
    const Node::Ptr mesh = cube->childNodes()[0];
    mesh->geometry->sources.push_back(scene::GeometrySource::boneIndices({0, 0, 0, 0, 0, 0, 0, 0}));
    mesh->geometry->sources.push_back(scene::GeometrySource::boneWeights({1, 0, 0, 0, 1, 0, 0, 0}));
    mesh->geometry->skin = scene::Skin{{"bone"}, {scene::Matrix4{}}};
    auto bone = Node::make();
    bone->name = "bone";
    bone->position = {10, 0, 0};
    cube->addChildNode(bone);

    centerAndScaleModel(*cube);
    EXPECT_EQ(mesh->position, Vector3(-11, -1, -1)); // the posed box spans 10..12 in x
    EXPECT_EQ(bone->position, Vector3(-1, -1, -1));
    EXPECT_EQ(cube->scale, Vector3(1, 1, 1));

    mesh->geometry->skin->jointNames = {"nowhere"}; // a joint that is not there: the node's own place
    auto plain = containerSpanning({0, 0, 0}, {2, 2, 2});
    plain->childNodes()[0]->geometry = mesh->geometry;
    centerAndScaleModel(*plain);
    EXPECT_EQ(plain->childNodes()[0]->position, Vector3(-1, -1, -1));
}

TEST(Framing, TallBoxIsCentredAndScaledToTwo) {
    auto c = containerSpanning({-10, 0, -10}, {10, 40, 10});
    centerAndScaleModel(*c);
    EXPECT_EQ(c->childNodes()[0]->position, Vector3(0, -20, 0));
    EXPECT_EQ(c->scale, Vector3(0.05f, 0.05f, 0.05f)); // 2.0f / 40.0f, in float
    EXPECT_EQ(c->position, Vector3());
    // In the container's parent space the model now spans -1..1 in y, -0.5..0.5 in x and z.
    scene::BoundingBox framed = c->boundingBox().transformed(c->transform());
    EXPECT_NEAR(framed.min.y, -1, 1e-6);
    EXPECT_NEAR(framed.max.y, 1, 1e-6);
    EXPECT_NEAR(framed.min.x, -0.5, 1e-6);
    EXPECT_NEAR(framed.max.z, 0.5, 1e-6);
}

TEST(Framing, ShiftsEveryChildBySameAmountAndUsesTheirCombinedBox) {
    auto c = containerSpanning({2, 2, 2}, {3, 3, 3});
    auto second = Node::make(scene::makeBox(1, 1, 1)); // spans 3.5..4.5 around (4, 4, 4)
    second->position = {4, 4, 4};
    c->addChildNode(second);
    centerAndScaleModel(*c);
    // Box 2..4.5 in every axis: centre 3.25, extent 2.5.
    EXPECT_EQ(c->childNodes()[0]->position, Vector3(-3.25, -3.25, -3.25));
    EXPECT_EQ(c->childNodes()[1]->position, Vector3(0.75, 0.75, 0.75));
    EXPECT_EQ(c->scale.x, double(2.0f / 2.5f));
}

TEST(Framing, UnitCubeKeepsScaleOneAndFlatModelUsesLargestExtent) {
    auto cube = containerSpanning({2, 2, 2}, {4, 4, 4});
    centerAndScaleModel(*cube);
    EXPECT_EQ(cube->childNodes()[0]->position, Vector3(-3, -3, -3));
    EXPECT_EQ(cube->scale, Vector3(1, 1, 1));

    auto flat = containerSpanning({0, 0, 0}, {4, 0, 2});
    centerAndScaleModel(*flat);
    EXPECT_EQ(flat->scale, Vector3(0.5, 0.5, 0.5));

    auto deep = containerSpanning({0, 0, 0}, {1, 2, 8}); // z wins after y beat x
    centerAndScaleModel(*deep);
    EXPECT_EQ(deep->scale, Vector3(0.25, 0.25, 0.25));
}

TEST(Framing, PointBoxIsCentredButKeepsItsScale) {
    auto c = containerSpanning({5, 6, 7}, {5, 6, 7}, {1, 1, 1});
    c->scale = {3, 3, 3};
    centerAndScaleModel(*c);
    EXPECT_EQ(c->childNodes()[0]->position, Vector3(-5, -6, -7));
    EXPECT_EQ(c->scale, Vector3(3, 3, 3));
}

TEST(Framing, NonFiniteXLeavesEverythingAlone) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float bad : {inf, -inf, nan}) {
        auto c = containerSpanning({0, 0, 0}, {1, 1, 1}, {2, 2, 2});
        c->childNodes()[0]->geometry->sources[0].data[0] = bad; // min.x
        centerAndScaleModel(*c);
        EXPECT_EQ(c->childNodes()[0]->position, Vector3(2, 2, 2)) << bad;
        EXPECT_EQ(c->scale, Vector3(1, 1, 1)) << bad;
    }
    auto empty = Node::make();
    empty->addChildNode(Node::make()); // no geometry: an empty, infinite box
    empty->childNodes()[0]->position = {1, 0, 0};
    centerAndScaleModel(*empty);
    EXPECT_EQ(empty->childNodes()[0]->position, Vector3(1, 0, 0));
}

TEST(Framing, InfiniteYShiftsButKeepsScale) {
    auto c = containerSpanning({0, 0, 0}, {2, 2, 2});
    c->childNodes()[0]->geometry->sources[0].data[4] = std::numeric_limits<float>::infinity(); // max.y
    centerAndScaleModel(*c);
    EXPECT_EQ(c->childNodes()[0]->position.x, -1);
    EXPECT_EQ(c->scale, Vector3(1, 1, 1));
}

TEST(Framing, ExtentBeyondFloatRangeDoesNotCollapseTheModel) {
    // Double-precision child positions can reach beyond float range; 2 / inf would be 0.
    auto c = Node::make();
    auto a = Node::make(scene::makeBox(1, 1, 1));
    auto b = Node::make(scene::makeBox(1, 1, 1));
    b->position = Vector3(1e300, 0.0, 0.0);
    c->addChildNode(a);
    c->addChildNode(b);
    centerAndScaleModel(*c);
    EXPECT_EQ(c->scale, Vector3(1, 1, 1));
}

} // namespace
} // namespace trimeo
