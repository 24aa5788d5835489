// Scene-graph node: a transform, optional geometry and camera, ordered children and
// animations under text keys. Nodes are shared (std::shared_ptr); a node has at most one parent.
#pragma once

#include "Animation.h"
#include "BoundingBox.h"
#include "Camera.h"
#include "Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trimeo::scene {

class Node {
public:
    using Ptr = std::shared_ptr<Node>;

    static Ptr make() { return std::make_shared<Node>(); }
    static Ptr make(std::shared_ptr<Geometry> geometry);

    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node();

    std::optional<std::string> name;
    Vector3 position;
    Vector3 scale{1, 1, 1};
    Quaternion orientation;
    std::shared_ptr<Geometry> geometry;
    std::optional<Camera> camera;
    bool isPaused = false;

    // Euler angles (pitch x, yaw y, roll z), a view of `orientation`.
    Vector3 eulerAngles() const { return orientation.eulerAngles(); }
    void setEulerAngles(Vector3 angles) { orientation = Quaternion::fromEulerAngles(angles); }

    // Appends the child, taking it from any former parent. Adding a node to itself or to
    // one of its own descendants would make a cycle and is refused (std::invalid_argument).
    void addChildNode(Ptr child);
    void removeFromParentNode();
    const std::vector<Ptr>& childNodes() const { return children_; }
    Node* parent() const { return parent_; }

    // Every descendant, depth first, each node before its children; not this node.
    void enumerateChildNodes(const std::function<void(const Ptr&)>& visit) const;

    // Turns the node so that its -Z axis points at `target` (in the parent's space), +Y up.
    void lookAt(Vector3 target);

    Matrix4 transform() const { return Matrix4::compose(position, orientation, scale); }
    Matrix4 worldTransform() const;

    // Covers this node's geometry and all descendants, in this node's own coordinates.
    BoundingBox boundingBox() const;

    // Stores the animation under `key`; an existing animation under the same key is replaced.
    void addAnimation(std::shared_ptr<const Animation> animation, std::string key);
    std::vector<std::string> animationKeys() const;
    std::shared_ptr<const Animation> animation(std::string_view key) const;
    const std::vector<std::pair<std::string, std::shared_ptr<const Animation>>>& animations() const {
        return animations_;
    }
    void removeAllAnimations() { animations_.clear(); }

private:
    Node* parent_ = nullptr;
    std::vector<Ptr> children_;
    std::vector<std::pair<std::string, std::shared_ptr<const Animation>>> animations_;
};

} // namespace trimeo::scene
