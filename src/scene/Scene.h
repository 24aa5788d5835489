// A scene owns one root node.
#pragma once

#include "Node.h"

namespace trimeo::scene {

struct Scene {
    Node::Ptr rootNode = Node::make();
};

} // namespace trimeo::scene
