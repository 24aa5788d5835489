// A scene owns one root node.
#pragma once

#include "Node.h"

#include <optional>

namespace trimeo::scene {

struct Scene {
    Node::Ptr rootNode = Node::make();
    // How long one unit of the file's coordinates is, when the file says (3MF `unit`, USD
    // `metersPerUnit`); absent: plain units. Measurements and the inspector use it.
    std::optional<double> metersPerUnit;
};

} // namespace trimeo::scene
