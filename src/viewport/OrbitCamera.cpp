#include "OrbitCamera.h"

#include "CameraMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace trimeo {
namespace {
constexpr double kRadiansPerPixel = 0.01;
constexpr double kMaxPitch = 89.0 * std::numbers::pi / 180.0;
constexpr double kMinDistance = 0.05, kMaxDistance = 1000;
} // namespace

void OrbitCamera::resetTo(const scene::Matrix4& w) {
    const scene::Vector3 eye{w.at(0, 3), w.at(1, 3), w.at(2, 3)};
    scene::Vector3 forward = scene::normalized(scene::Vector3{-w.at(0, 2), -w.at(1, 2), -w.at(2, 2)});
    if (scene::length(forward) == 0) forward = {0, 0, -1};
    double along = -scene::dot(eye, forward); // distance to the origin's foot on the ray
    if (!(along > 1e-3)) along = std::max(scene::length(eye), 1.0);
    target_ = eye + forward * along;
    distance_ = std::clamp(along, kMinDistance, kMaxDistance);
    const scene::Vector3 back = forward * -1.0;
    pitch_ = std::clamp(std::asin(std::clamp(back.y, -1.0, 1.0)), -kMaxPitch, kMaxPitch);
    yaw_ = std::atan2(back.x, back.z);
}

void OrbitCamera::orbit(double dx, double dy) {
    yaw_ -= dx * kRadiansPerPixel;
    pitch_ = std::clamp(pitch_ + dy * kRadiansPerPixel, -kMaxPitch, kMaxPitch);
}

void OrbitCamera::pan(double dx, double dy, double viewportHeight, double fieldOfViewDegrees) {
    if (!(viewportHeight > 0)) return;
    const double unitsPerPixel =
        2 * distance_ * std::tan(fieldOfViewDegrees * std::numbers::pi / 360.0) / viewportHeight;
    const scene::Matrix4 v = viewMatrix();
    const scene::Vector3 right{v.at(0, 0), v.at(0, 1), v.at(0, 2)};
    const scene::Vector3 up{v.at(1, 0), v.at(1, 1), v.at(1, 2)};
    target_ = target_ - right * (dx * unitsPerPixel) + up * (dy * unitsPerPixel);
}

void OrbitCamera::zoom(double steps) {
    distance_ = std::clamp(distance_ * std::pow(0.9, steps), kMinDistance, kMaxDistance);
}

scene::Vector3 OrbitCamera::eye() const {
    const double c = std::cos(pitch_);
    return target_ + scene::Vector3{c * std::sin(yaw_), std::sin(pitch_), c * std::cos(yaw_)} * distance_;
}

scene::Matrix4 OrbitCamera::viewMatrix() const { return lookAtView(eye(), target_, {0, 1, 0}); }

} // namespace trimeo
