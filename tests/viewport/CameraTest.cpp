// View and projection maths and the user's orbit camera.
#include "viewport/CameraMath.h"
#include "viewport/ModelPresentation.h"
#include "viewport/OrbitCamera.h"

#include <gtest/gtest.h>

namespace trimeo {
namespace {

using scene::Matrix4;
using scene::Vector3;

void expectSameMatrix(const Matrix4& a, const Matrix4& b, double tol = 1e-9) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << i;
}

TEST(CameraMath, InverseAffineUndoesScaledRotatedTranslation) {
    Matrix4 m = Matrix4::compose(Vector3(1, -2, 3), scene::Quaternion::fromEulerAngles(Vector3(0.3, -1.1, 2.0)), Vector3(2.0, 0.5, 3.0));
    expectSameMatrix(inverseAffine(m) * m, Matrix4::identity());
    Matrix4 singular = Matrix4::compose({}, {}, {0, 1, 1});
    expectSameMatrix(inverseAffine(singular), Matrix4::identity());
    EXPECT_LT(determinant3(Matrix4::compose({}, {}, {-1, 1, 1})), 0);
}

TEST(OrbitCamera, StartsExactlyAtTheSceneCamera) {
    auto cam = makeCameraNode();
    OrbitCamera orbit;
    orbit.resetTo(cam->worldTransform());
    EXPECT_NEAR(orbit.distance(), std::sqrt(29.0), 1e-9);
    EXPECT_NEAR(scene::length(orbit.target()), 0, 1e-9);
    expectSameMatrix(orbit.viewMatrix(), inverseAffine(cam->worldTransform()));
}

TEST(OrbitCamera, OrbitKeepsDistancePanMovesTargetZoomApproaches) {
    OrbitCamera orbit;
    orbit.resetTo(makeCameraNode()->worldTransform());
    const double d = orbit.distance();
    orbit.orbit(120, -40);
    EXPECT_NEAR(scene::length(orbit.eye() - orbit.target()), d, 1e-9);
    orbit.orbit(0, 100000); // far past the pole: stops short of it
    EXPECT_LT(orbit.eye().y - orbit.target().y, d);
    EXPECT_GT(orbit.eye().y - orbit.target().y, 0.99 * d);

    Vector3 before = orbit.target();
    orbit.pan(100, 0, 600, 60);
    EXPECT_GT(scene::length(orbit.target() - before), 0.1);
    EXPECT_NEAR(scene::length(orbit.eye() - orbit.target()), d, 1e-9);

    orbit.zoom(1);
    EXPECT_NEAR(orbit.distance(), 0.9 * d, 1e-9);
    orbit.zoom(-1000);
    EXPECT_LE(orbit.distance(), 1000);
}

} // namespace
} // namespace trimeo
