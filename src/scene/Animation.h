// Keyframe animation of one node's translation, rotation and scale.
// A default-constructed Animation has no tracks: it stands for an animation the viewer
// knows of but does not play (a placeholder).
#pragma once

#include "Transform.h"

#include <optional>
#include <vector>

namespace trimeo::scene {

struct VectorKey {
    double time = 0; // seconds
    Vector3 value;
};

struct RotationKey {
    double time = 0;
    Quaternion value;
};

struct Animation {
    std::vector<VectorKey> translation; // linear between keys
    std::vector<RotationKey> rotation;  // slerp between keys
    std::vector<VectorKey> scale;       // linear between keys
    double duration = 0;                // seconds; 0 means the last key's time
    bool repeats = true;

    bool hasTracks() const { return !translation.empty() || !rotation.empty() || !scale.empty(); }
    double effectiveDuration() const;

    // The animated channels at a time on the animation's clock (wrapped when it repeats,
    // held at the end otherwise); channels without keys are absent.
    struct Pose {
        std::optional<Vector3> position;
        std::optional<Quaternion> orientation;
        std::optional<Vector3> scale;
    };
    Pose sample(double time) const;
};

} // namespace trimeo::scene
