// View and projection matrices in OpenGL's conventions (right-handed eye space looking
// down -Z, clip depth -1..1), built in double precision from the scene layer's types.
#pragma once

#include "scene/Transform.h"

namespace trimeo {

// Inverse of an affine matrix (rotation, translation, any non-zero scale). A singular
// matrix gives the identity rather than infinities.
scene::Matrix4 inverseAffine(const scene::Matrix4& m);

// fieldOfViewDegrees is vertical; aspect is width / height.
scene::Matrix4 perspective(double fieldOfViewDegrees, double aspect, double zNear, double zFar);

// The world-to-eye matrix of an eye at `eye` looking at `target`, `up` roughly up.
scene::Matrix4 lookAtView(scene::Vector3 eye, scene::Vector3 target, scene::Vector3 up);

// Inverse transpose of the upper 3x3, for normals, as a 4x4 with no translation.
scene::Matrix4 normalMatrix(const scene::Matrix4& model);

// Determinant of the upper 3x3: negative when the transform mirrors (winding flips).
double determinant3(const scene::Matrix4& m);

} // namespace trimeo
