#include "NodeAnimator.h"

namespace trimeo {
namespace {

bool pausedHere(const scene::Node& node) {
    for (const scene::Node* n = &node; n; n = n->parent())
        if (n->isPaused) return true;
    return false;
}

bool hasKeyframes(const scene::Node& node) {
    for (const auto& entry : node.animations())
        if (entry.second && entry.second->hasTracks()) return true;
    return false;
}

void applyPose(scene::Node& node, double clock) {
    for (const auto& entry : node.animations()) {
        if (!entry.second) continue;
        const scene::Animation::Pose pose = entry.second->sample(clock);
        if (pose.position) node.position = *pose.position;
        if (pose.orientation) node.orientation = *pose.orientation;
        if (pose.scale) node.scale = *pose.scale;
    }
}

} // namespace

void NodeAnimator::setScene(const scene::Node::Ptr& root) {
    entries_.clear();
    if (!root) return;
    if (hasKeyframes(*root)) entries_.push_back({root, 0});
    root->enumerateChildNodes([this](const scene::Node::Ptr& n) {
        if (hasKeyframes(*n)) entries_.push_back({n, 0});
    });
}

bool NodeAnimator::advance(double seconds, bool viewIsPlaying) {
    if (!viewIsPlaying) return false;
    bool moved = false;
    for (Entry& e : entries_) {
        auto node = e.node.lock();
        if (!node || pausedHere(*node)) continue;
        e.clock += seconds;
        applyPose(*node, e.clock);
        moved = true;
    }
    return moved;
}

double NodeAnimator::clock(const scene::Node* node) const {
    for (const Entry& e : entries_)
        if (e.node.lock().get() == node) return e.clock;
    return -1;
}

} // namespace trimeo
