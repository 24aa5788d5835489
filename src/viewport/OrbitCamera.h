// The user's camera: orbits about a target (the origin at first), pans the target across
// the view and zooms towards it. Angles and distances only; the view matrix is derived.
#pragma once

#include "scene/Transform.h"

namespace trimeo {

class OrbitCamera {
public:
    // Takes over a point of view given by its world transform (eye at its translation,
    // looking down its -Z axis); the target is the point of that ray nearest the origin.
    void resetTo(const scene::Matrix4& cameraWorld);

    // Pointer movement in pixels: right turns the camera left about the target, up tilts
    // it down; the tilt stops short of the poles so "up" never flips.
    void orbit(double dxPixels, double dyPixels);
    // Moves the target so that the point under the pointer follows it.
    void pan(double dxPixels, double dyPixels, double viewportHeightPixels, double fieldOfViewDegrees);
    // Positive steps move closer; each step is 10% of the distance.
    void zoom(double steps);

    scene::Matrix4 viewMatrix() const;
    scene::Vector3 eye() const;
    scene::Vector3 target() const { return target_; }
    double distance() const { return distance_; }

private:
    scene::Vector3 target_;
    double distance_ = 5;
    double yaw_ = 0;   // about +Y, 0 looks down -Z
    double pitch_ = 0; // above the target's horizontal plane
};

} // namespace trimeo
