// Perspective camera settings; a node carrying one is a point of view.
#pragma once

namespace trimeo::scene {

struct Camera {
    double fieldOfView = 60; // vertical, degrees
    double zNear = 1;
    double zFar = 100;
};

} // namespace trimeo::scene
