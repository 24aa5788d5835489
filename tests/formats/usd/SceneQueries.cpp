#include "SceneQueries.h"

namespace trimeo::test {

std::vector<const scene::Node*> geometryNodes(const scene::Scene& scene) {
    std::vector<const scene::Node*> out;
    scene.rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (n->geometry) out.push_back(n.get());
    });
    return out;
}

std::size_t triangleCount(const scene::Scene& scene) {
    std::size_t n = 0;
    for (const scene::Node* node : geometryNodes(scene)) n += node->geometry->validTriangleCount();
    return n;
}

scene::BoundingBox worldBounds(const scene::Scene& scene) {
    scene::BoundingBox box;
    for (const scene::Node* node : geometryNodes(scene)) {
        const auto& v = node->geometry->source(scene::Semantic::vertex)->data;
        const scene::Matrix4 m = node->worldTransform();
        for (std::size_t i = 0; i + 2 < v.size(); i += 3) box.add(m.transformPoint({v[i], v[i + 1], v[i + 2]}));
    }
    return box;
}

const scene::Node* findNode(const scene::Scene& scene, const std::string& name) {
    const scene::Node* found = nullptr;
    scene.rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (!found && n->name == name) found = n.get();
    });
    return found;
}

} // namespace trimeo::test

#include "formats/usd/UsdaParser.h"
#include "support/TestFiles.h"

#include <stdexcept>

namespace trimeo::test {

usd::Prim& primAt(usd::Stage& stage, const std::string& path) {
    std::vector<usd::Prim>* level = &stage.rootPrims;
    usd::Prim* found = nullptr;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, end - start);
        found = nullptr;
        for (usd::Prim& p : *level)
            if (p.name == name) found = &p;
        if (!found) throw std::invalid_argument("no prim " + path);
        level = &found->children;
        start = end + 1;
    }
    if (!found) throw std::invalid_argument("no prim " + path);
    return *found;
}

usd::Stage fixtureStage(const std::string& relative) {
    const auto bytes = readFile(sharedFixtures() / "real/usd/usd-wg-assets/test_assets" / relative);
    return usd::parseUsda({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

} // namespace trimeo::test
