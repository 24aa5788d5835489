// Finds the nodes that carry animations of their own.
#pragma once

#include "scene/Node.h"

#include <vector>

namespace trimeo {

// Appends `from` and every descendant that has at least one animation key, depth first,
// each node before its children. `into` is not cleared first.
void collectAnimatedNodes(const scene::Node::Ptr& from, std::vector<scene::Node::Ptr>& into);

} // namespace trimeo
