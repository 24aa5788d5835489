#include "Animation.h"

#include <algorithm>
#include <cmath>

namespace trimeo::scene {
namespace {

template <class Key> double lastTime(const std::vector<Key>& keys) { return keys.empty() ? 0 : keys.back().time; }

// Index of the last key at or before t, and the blend towards the next one.
template <class Key> std::pair<std::size_t, double> locate(const std::vector<Key>& keys, double t) {
    auto it = std::upper_bound(keys.begin(), keys.end(), t, [](double v, const Key& k) { return v < k.time; });
    if (it == keys.begin()) return {0, 0.0};
    std::size_t i = std::size_t(it - keys.begin()) - 1;
    if (i + 1 >= keys.size()) return {i, 0.0};
    double span = keys[i + 1].time - keys[i].time;
    return {i, span > 0 ? (t - keys[i].time) / span : 0.0};
}

std::optional<Vector3> sampleVector(const std::vector<VectorKey>& keys, double t) {
    if (keys.empty()) return std::nullopt;
    auto [i, f] = locate(keys, t);
    if (f == 0.0) return keys[i].value;
    return keys[i].value + (keys[i + 1].value - keys[i].value) * f;
}

} // namespace

double Animation::effectiveDuration() const {
    if (duration > 0) return duration;
    return std::max({lastTime(translation), lastTime(rotation), lastTime(scale)});
}

Animation::Pose Animation::sample(double time) const {
    double d = effectiveDuration();
    double t = time;
    if (d > 0) t = repeats ? std::fmod(std::max(time, 0.0), d) : std::clamp(time, 0.0, d);
    Pose pose;
    pose.position = sampleVector(translation, t);
    pose.scale = sampleVector(scale, t);
    if (!rotation.empty()) {
        auto [i, f] = locate(rotation, t);
        pose.orientation = f == 0.0 ? rotation[i].value : slerp(rotation[i].value, rotation[i + 1].value, f);
    }
    return pose;
}

} // namespace trimeo::scene
