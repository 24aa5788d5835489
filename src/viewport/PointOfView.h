// The camera a scene is first seen through: its first node carrying a camera.
#pragma once

#include "scene/Scene.h"

namespace trimeo {

struct PointOfView {
    scene::Matrix4 world; // the camera node's world transform; the view is its inverse
    scene::Camera camera;
};

// Depth first, node before children. A scene without a camera is seen from (0, 0, 5)
// looking down -Z with default camera settings.
PointOfView findPointOfView(const scene::Scene& scene);

} // namespace trimeo
