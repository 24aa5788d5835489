#include "AnimatedNodes.h"

namespace trimeo {

void collectAnimatedNodes(const scene::Node::Ptr& from, std::vector<scene::Node::Ptr>& into) {
    if (!from) return;
    if (!from->animations().empty()) into.push_back(from);
    // enumerateChildNodes walks with its own stack: deep file hierarchies cannot overflow it.
    from->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (!n->animations().empty()) into.push_back(n);
    });
}

} // namespace trimeo
