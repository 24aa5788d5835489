#include "Node.h"

#include <algorithm>
#include <stdexcept>

namespace trimeo::scene {

Node::Ptr Node::make(std::shared_ptr<Geometry> geometry) {
    Ptr n = make();
    n->geometry = std::move(geometry);
    return n;
}

Node::~Node() {
    // Releases the subtree without recursion: a chain of nodes from a file can be
    // deeper than the stack.
    std::vector<Ptr> pending = std::move(children_);
    while (!pending.empty()) {
        Ptr n = std::move(pending.back());
        pending.pop_back();
        n->parent_ = nullptr;
        if (n.use_count() == 1) {
            for (Ptr& c : n->children_) pending.push_back(std::move(c));
            n->children_.clear();
        }
    }
}

void Node::addChildNode(Ptr child) {
    if (!child) return;
    for (const Node* a = this; a; a = a->parent_)
        if (a == child.get()) throw std::invalid_argument("addChildNode: a node cannot contain itself");
    child->removeFromParentNode();
    child->parent_ = this;
    children_.push_back(std::move(child));
}

void Node::removeFromParentNode() {
    if (!parent_) return;
    auto& siblings = parent_->children_;
    auto it = std::find_if(siblings.begin(), siblings.end(), [this](const Ptr& p) { return p.get() == this; });
    parent_ = nullptr;
    if (it != siblings.end()) siblings.erase(it); // may release this node: touch nothing after
}

void Node::enumerateChildNodes(const std::function<void(const Ptr&)>& visit) const {
    // Explicit stack: hierarchies from files can be deep enough to overflow a recursive walk.
    std::vector<const Ptr*> stack;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) stack.push_back(&*it);
    while (!stack.empty()) {
        Ptr node = *stack.back(); // a copy keeps the node alive while visited
        stack.pop_back();
        visit(node);
        for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) stack.push_back(&*it);
    }
}

void Node::lookAt(Vector3 target) {
    Vector3 forward = normalized(target - position);
    if (length(forward) == 0) return;
    Vector3 up{0, 1, 0};
    Vector3 right = cross(forward, up);
    if (length(right) < 1e-12) right = {1, 0, 0}; // looking straight up or down
    right = normalized(right);
    Vector3 trueUp = cross(right, forward);
    Matrix4 r;
    r.at(0, 0) = right.x, r.at(1, 0) = right.y, r.at(2, 0) = right.z;
    r.at(0, 1) = trueUp.x, r.at(1, 1) = trueUp.y, r.at(2, 1) = trueUp.z;
    r.at(0, 2) = -forward.x, r.at(1, 2) = -forward.y, r.at(2, 2) = -forward.z;
    orientation = rotationFromMatrix(r);
}

Matrix4 Node::worldTransform() const {
    Matrix4 m = transform();
    for (const Node* p = parent_; p; p = p->parent_) m = p->transform() * m;
    return m;
}

BoundingBox Node::boundingBox() const {
    // Each geometry's box goes through the whole chain of transforms down to it,
    // walked with an explicit stack for arbitrarily deep hierarchies.
    BoundingBox box;
    if (geometry) box.add(geometry->boundingBox());
    std::vector<std::pair<const Node*, Matrix4>> stack;
    for (const Ptr& c : children_) stack.emplace_back(c.get(), c->transform());
    while (!stack.empty()) {
        auto [node, toThis] = stack.back();
        stack.pop_back();
        if (node->geometry) box.add(node->geometry->boundingBox().transformed(toThis));
        for (const Ptr& c : node->children_) stack.emplace_back(c.get(), toThis * c->transform());
    }
    return box;
}

void Node::addAnimation(std::shared_ptr<const Animation> animation, std::string key) {
    for (auto& [k, a] : animations_)
        if (k == key) {
            a = std::move(animation);
            return;
        }
    animations_.emplace_back(std::move(key), std::move(animation));
}

std::vector<std::string> Node::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& entry : animations_) keys.push_back(entry.first);
    return keys;
}

std::shared_ptr<const Animation> Node::animation(std::string_view key) const {
    for (const auto& [k, a] : animations_)
        if (k == key) return a;
    return nullptr;
}

} // namespace trimeo::scene
