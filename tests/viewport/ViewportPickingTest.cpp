// Picking and section arithmetic against answers worked out by hand.
#include "viewport/ViewportPicking.h"

#include "viewport/CameraMath.h"

#include "support/MeshFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace trimeo {
namespace {

using scene::Matrix4;
using scene::Vector3;

void expectNear(Vector3 a, Vector3 b, double tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

std::shared_ptr<scene::Geometry> unitCubeCorners() {
    return std::make_shared<scene::Geometry>(std::vector{scene::GeometrySource::vertices(test::unitCubeCorners())},
                                             std::vector<scene::GeometryElement>{});
}

TEST(ViewportPicking, InverseUndoesPerspectiveAndRefusesSingularMatrices) {
    const Matrix4 m = perspective(60, 1.5, 0.1, 100) * lookAtView({3, 2, 4}, {0, 0, 0}, {0, 1, 0});
    const auto back = inverse(m);
    ASSERT_TRUE(back);
    const Matrix4 product = *back * m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(product.at(r, c), r == c ? 1 : 0, 1e-9);
    Matrix4 flat;
    flat.at(2, 2) = 0;
    EXPECT_FALSE(inverse(flat));
}

TEST(ViewportPicking, ADepthReadLeadsBackToThePointThatWasDrawn) {
    const Matrix4 viewProjection =
        perspective(45, 800.0 / 600.0, 0.1, 50) * lookAtView({3, 2, 4}, {0, 0, 0}, {0, 1, 0});
    const auto back = *inverse(viewProjection);
    for (Vector3 p : {Vector3(0, 0, 0), Vector3(0.5, -0.25, 0.3), Vector3(-1, 1, -1)}) {
        const auto pixel = *projectToWindow(p, 800, 600, viewProjection);
        // The depth a depth buffer would hold for p.
        const Vector3 eye = lookAtView({3, 2, 4}, {0, 0, 0}, {0, 1, 0}).transformPoint(p);
        const Matrix4 projection = perspective(45, 800.0 / 600.0, 0.1, 50);
        const double clipZ = projection.at(2, 2) * eye.z + projection.at(2, 3);
        const double clipW = -eye.z;
        const double depth = (clipZ / clipW + 1) / 2;
        expectNear(*unprojectDepth(pixel[0], pixel[1], 800, 600, depth, back), p, 1e-6);
    }
    EXPECT_FALSE(unprojectDepth(400, 300, 800, 600, 1.0, back)); // the far plane: background
    EXPECT_FALSE(unprojectDepth(400, 300, 0, 600, 0.5, back));
    EXPECT_FALSE(projectToWindow({3, 2, 5}, 800, 600, viewProjection)); // behind the eye
}

TEST(ViewportPicking, SnappingFindsTheNearestVertexThroughTransforms) {
    MeshInstance moved{unitCubeCorners(), Matrix4::compose({10, 0, 0}, {}, {2, 1, 1})};
    MeshInstance plain{unitCubeCorners(), Matrix4::identity()};
    const VertexSnapper instances({plain, moved});
    expectNear(*instances.nearest({0.9, 0.2, 0.7}), {1, 0, 1}, 0);
    expectNear(*instances.nearest({11.1, 0.9, 0.1}), {12, 1, 0}, 0); // x scaled by 2: corners at 10 and 12
    expectNear(*instances.nearest({5.4, 0, 0}), {1, 0, 0}, 0);
    expectNear(*instances.nearest({5.6, 0, 0}), {10, 0, 0}, 0);
    EXPECT_FALSE(VertexSnapper({}).nearest({0, 0, 0}));
}

TEST(ViewportPicking, TheSlabSearchFindsWhatLookingAtEveryVertexFinds) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-5, 5);
    std::vector<float> xyz(3 * 5000);
    for (float& c : xyz) c = coordinate(random);
    auto cloud = std::make_shared<scene::Geometry>(std::vector{scene::GeometrySource::vertices(xyz)},
                                                   std::vector<scene::GeometryElement>{});
    const std::vector<MeshInstance> instances{{cloud, Matrix4::identity()},
                                              {cloud, Matrix4::compose({3, 0, 0}, {}, {2, 2, 2})}};
    const VertexSnapper snapper(instances);
    for (int i = 0; i < 200; ++i) {
        const Vector3 p(coordinate(random) * 1.5, coordinate(random), coordinate(random));
        double best = 1e300;
        Vector3 expected;
        for (const MeshInstance& instance : instances)
            for (std::size_t v = 0; v < xyz.size() / 3; ++v) {
                const Vector3 q = instance.transform.transformPoint({xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]});
                if (const double d = scene::length(q - p); d < best) {
                    best = d;
                    expected = q;
                }
            }
        EXPECT_NEAR(scene::length(*snapper.nearest(p) - p), best, 1e-5) << i;
    }
}

TEST(ViewportPicking, TheSectionPlaneKeepsTheLowerSideInViewSpace) {
    scene::BoundingBox box;
    box.add({-2, 0, 10});
    box.add({2, 4, 20});
    const Matrix4 model =
        Matrix4::compose({0, -1, 0}, scene::Quaternion::fromAxisAngle({0, 1, 0}, 0.7), {0.5, 0.5, 0.5});
    const Matrix4 view = lookAtView({3, 2, 4}, {0, 0, 0}, {0, 1, 0});
    const Matrix4 viewFromModel = view * model;
    auto side = [&](const std::array<double, 4>& plane, Vector3 modelPoint) {
        const Vector3 v = viewFromModel.transformPoint(modelPoint);
        return plane[0] * v.x + plane[1] * v.y + plane[2] * v.z + plane[3];
    };
    const auto half = sectionPlaneInView(SectionAxis::x, 0.5, box, viewFromModel);
    EXPECT_GT(side(half, {-1, 2, 15}), 0);
    EXPECT_LT(side(half, {1, 2, 15}), 0);
    EXPECT_NEAR(side(half, {0, 3, 12}), 0, 1e-9);
    const auto quarter = sectionPlaneInView(SectionAxis::z, 0.25, box, viewFromModel);
    EXPECT_NEAR(side(quarter, {5, 5, 12.5}), 0, 1e-9);
    EXPECT_GT(side(quarter, {0, 0, 11}), 0);
    // At the far end everything stays.
    const auto all = sectionPlaneInView(SectionAxis::y, 1, box, viewFromModel);
    EXPECT_GE(side(all, {2, 4, 20}), -1e-9);
}

} // namespace
} // namespace trimeo
