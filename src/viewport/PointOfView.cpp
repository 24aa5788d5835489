#include "PointOfView.h"

namespace trimeo {

PointOfView findPointOfView(const scene::Scene& scene) {
    const scene::Node* found = nullptr;
    if (scene.rootNode) {
        if (scene.rootNode->camera) found = scene.rootNode.get();
        else
            scene.rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
                if (!found && n->camera) found = n.get();
            });
    }
    if (found) return {found->worldTransform(), *found->camera};
    return {scene::Matrix4::compose(scene::Vector3(0, 0, 5), {}, scene::Vector3(1, 1, 1)), scene::Camera{}};
}

} // namespace trimeo
