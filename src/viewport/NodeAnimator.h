// Plays node animations, each node on its own clock: a paused node (or one below a paused
// node) keeps its clock still, so its animations stop where they are and resume from there.
#pragma once

#include "scene/Node.h"

#include <memory>
#include <vector>

namespace trimeo {

class NodeAnimator {
public:
    // Finds the nodes below and including `root` whose animations have keyframes.
    // All clocks start at 0; nothing is applied until the first advance that plays.
    void setScene(const scene::Node::Ptr& root);

    // Moves the clock of every running node on by `seconds` and writes the sampled
    // transforms, only while the view plays. Returns whether any node moved.
    bool advance(double seconds, bool viewIsPlaying);

    bool hasAnimatedNodes() const { return !entries_.empty(); }
    // The clock of `node`, or a negative number when it is not animated.
    double clock(const scene::Node* node) const;

private:
    struct Entry {
        std::weak_ptr<scene::Node> node;
        double clock = 0;
    };
    std::vector<Entry> entries_;
};

} // namespace trimeo
