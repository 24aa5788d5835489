#include "GridFloor.h"

#include "scene/Box.h"

namespace trimeo {
namespace {

scene::Node::Ptr makeLine(double width, double length, scene::Color colour, scene::Vector3 position) {
    auto box = scene::makeBox(width, 0.005, length, 0);
    if (scene::Material* m = box->firstMaterial()) m->diffuse.contents = colour;
    auto node = scene::Node::make(std::move(box));
    node->position = position;
    return node;
}

} // namespace

scene::Node::Ptr createGridFloor() {
    auto floor = scene::Node::make();
    const scene::Color lineColour = scene::Color::gray().withAlpha(0.15f);
    for (int i = 0; i <= 20; ++i) {
        const float offset = static_cast<float>(i) - 10.0f;
        floor->addChildNode(makeLine(10.0, 0.005, lineColour, scene::Vector3(0.0f, 0.0f, offset)));
        floor->addChildNode(makeLine(0.005, 10.0, lineColour, scene::Vector3(offset, 0.0f, 0.0f)));
    }
    floor->position = scene::Vector3(0, -1, 0);
    return floor;
}

} // namespace trimeo
