#include "ModelPresentation.h"

#include "Framing.h"
#include "GridFloor.h"
#include "loading/FormatTable.h"

#include <numbers>
#include <vector>

namespace trimeo {

void normalizeMaterials(const scene::Node& container) {
    container.enumerateChildNodes([](const scene::Node::Ptr& node) {
        if (!node->geometry) return;
        scene::Geometry& g = *node->geometry;
        const scene::Material* first = g.firstMaterial();
        if (first && first->diffuse.hasContents()) {
            for (scene::Material& m : g.materials) m.isDoubleSided = true;
            return;
        }
        scene::Material grey;
        grey.diffuse.contents = scene::Color::systemGray();
        grey.lightingModel = scene::LightingModel::physicallyBased;
        grey.isDoubleSided = true;
        g.materials.assign(1, grey);
    });
}

bool turnsUpright(const std::string& lowerCasedExtension) {
    const FormatRow* row = formatFor(lowerCasedExtension);
    return row && row->upright;
}

scene::Node::Ptr makeCameraNode() {
    auto node = scene::Node::make();
    node->camera = scene::Camera{};
    node->position = scene::Vector3(3, 2, 4);
    node->lookAt(scene::Vector3(0, 0, 0));
    return node;
}

std::shared_ptr<scene::Scene> presentLoadedModel(scene::Scene& loaded, const std::string& lowerCasedExtension) {
    auto container = scene::Node::make();
    container->name = kModelContainerName;
    // A copy of the list: each addChildNode takes the node out of the loaded root.
    const std::vector<scene::Node::Ptr> topLevel = loaded.rootNode->childNodes();
    for (const scene::Node::Ptr& node : topLevel) container->addChildNode(node);

    normalizeMaterials(*container);
    centerAndScaleModel(*container);
    if (turnsUpright(lowerCasedExtension)) {
        scene::Vector3 angles = container->eulerAngles();
        angles.x = -std::numbers::pi / 2;
        container->setEulerAngles(angles);
    }

    auto presented = std::make_shared<scene::Scene>();
    presented->metersPerUnit = loaded.metersPerUnit;
    presented->rootNode->addChildNode(container);
    presented->rootNode->addChildNode(createGridFloor());
    presented->rootNode->addChildNode(makeCameraNode());
    return presented;
}

} // namespace trimeo
