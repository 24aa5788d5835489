// The thumbnail lens: every vertex lands inside the asked share of the picture, the tighter
// side touches it, the model is centred, and cases it cannot fix leave the lens alone.
#include "viewport/CameraMath.h"
#include "viewport/PictureFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace trimeo {
namespace {

using scene::Matrix4;
using scene::Node;
using scene::Vector3;

Node::Ptr pointsNode(const std::vector<Vector3>& points) {
    std::vector<float> xyz;
    for (const Vector3& p : points) xyz.insert(xyz.end(), {float(p.x), float(p.y), float(p.z)});
    return Node::make(std::make_shared<scene::Geometry>(
        std::vector<scene::GeometrySource>{scene::GeometrySource::vertices(std::move(xyz))},
        std::vector<scene::GeometryElement>{}));
}

struct Span {
    double left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;
};

Span projected(const Matrix4& toClip, const std::vector<Vector3>& world) {
    Span s;
    for (const Vector3& p : world) {
        double c[4];
        for (int r = 0; r < 4; ++r)
            c[r] = toClip.at(r, 0) * p.x + toClip.at(r, 1) * p.y + toClip.at(r, 2) * p.z + toClip.at(r, 3);
        s.left = std::min(s.left, c[0] / c[3]), s.right = std::max(s.right, c[0] / c[3]);
        s.bottom = std::min(s.bottom, c[1] / c[3]), s.top = std::max(s.top, c[1] / c[3]);
    }
    return s;
}

const Matrix4 kView = lookAtView({3, 2, 4}, {0, 0, 0}, {0, 1, 0});
const Matrix4 kProjection = perspective(60, 1.0, 1, 100);

TEST(PictureFit, OffCentreModelFillsTheShareCentred) {
    // Small and off to one side: the window's lens would show it tiny near an edge.
    std::vector<Vector3> local;
    for (int i = 0; i < 8; ++i) local.push_back({i & 1 ? 0.3 : 0.0, i & 2 ? 0.1 : 0.0, i & 4 ? 0.2 : 0.0});
    auto root = Node::make();
    auto holder = Node::make();
    holder->position = {0.5, 0.2, -0.4};
    holder->scale = {2, 2, 2};
    holder->addChildNode(pointsNode(local));
    root->addChildNode(holder);
    std::vector<Vector3> world;
    for (const Vector3& p : local) world.push_back(holder->transform().transformPoint(p));

    const Span before = projected(kProjection * kView, world);
    ASSERT_LT(std::max(before.right - before.left, before.top - before.bottom), 0.8);

    const Matrix4 fitted = fitProjection(kProjection, kView, *root, 0.9);
    const Span after = projected(fitted * kView, world);
    const double halfWidth = (after.right - after.left) / 2, halfHeight = (after.top - after.bottom) / 2;
    EXPECT_NEAR(std::max(halfWidth, halfHeight), 0.9, 1e-6);
    EXPECT_NEAR(after.left + after.right, 0, 1e-6);
    EXPECT_NEAR(after.bottom + after.top, 0, 1e-6);
    // Depth is untouched: the same things are clipped by the near and far planes.
    for (int c = 0; c < 4; ++c) {
        EXPECT_DOUBLE_EQ(fitted.at(2, c), kProjection.at(2, c));
        EXPECT_DOUBLE_EQ(fitted.at(3, c), kProjection.at(3, c));
    }
}

TEST(PictureFit, LeavesTheLensAloneWhenItCannotHelp) {
    auto empty = Node::make();
    empty->addChildNode(Node::make());
    EXPECT_EQ(fitProjection(kProjection, kView, *empty, 0.9).m, kProjection.m);

    auto behind = Node::make();
    behind->addChildNode(pointsNode({{0, 0, 0}, {6, 4, 8}})); // the second lies behind the eye at (3, 2, 4)
    EXPECT_EQ(fitProjection(kProjection, kView, *behind, 0.9).m, kProjection.m);

    auto point = Node::make();
    point->addChildNode(pointsNode({{0.2, 0.1, 0}}));
    EXPECT_EQ(fitProjection(kProjection, kView, *point, 0.9).m, kProjection.m);

    auto cube = Node::make();
    cube->addChildNode(pointsNode({{-1, -1, -1}, {1, 1, 1}}));
    EXPECT_EQ(fitProjection(kProjection, kView, *cube, 0).m, kProjection.m);
    EXPECT_EQ(fitProjection(kProjection, kView, *cube, 1.5).m, kProjection.m);
}

} // namespace
} // namespace trimeo
