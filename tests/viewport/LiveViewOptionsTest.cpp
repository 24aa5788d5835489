// Wireframe as the renderer draws it, playback as the viewport applies it, and the nodes
// playback acts on.
#include "viewport/AnimatedNodes.h"
#include "viewport/LiveViewOptions.h"
#include "viewport/ModelPresentation.h"

#include "scene/Box.h"

#include <gtest/gtest.h>

namespace trimeo {
namespace {

using scene::FillMode;
using scene::Node;

std::shared_ptr<scene::Scene> presentedTwoMaterialBox() {
    scene::Scene loaded;
    auto g = scene::makeBox(1, 1, 1);
    scene::Material red, blue;
    red.diffuse.contents = scene::Color{1, 0, 0, 1};
    blue.diffuse.contents = scene::Color{0, 0, 1, 1};
    g->materials = {red, blue};
    loaded.rootNode->addChildNode(Node::make(g));
    return presentLoadedModel(loaded, "obj");
}

// Whether each geometry's first part, then its second, is drawn as lines.
std::vector<std::pair<bool, bool>> linesPerGeometry(const scene::Scene& s, bool showWireframe) {
    std::vector<std::pair<bool, bool>> drawn;
    s.rootNode->enumerateChildNodes([&](const Node::Ptr& n) {
        if (!n->geometry || !n->geometry->firstMaterial()) return;
        const auto& materials = n->geometry->materials;
        const scene::Material* second = materials.size() > 1 ? &materials[1] : nullptr;
        drawn.emplace_back(drawsAsLines(&materials[0], 0, showWireframe), drawsAsLines(second, 1, showWireframe));
    });
    return drawn;
}

TEST(LiveViewOptions, WireframeReachesEveryFirstMaterialFloorIncludedAndBack) {
    auto s = presentedTwoMaterialBox();
    auto on = linesPerGeometry(*s, true);
    ASSERT_EQ(on.size(), 43u); // the model and the floor's 42 lines
    for (auto [first, second] : on) EXPECT_TRUE(first);
    EXPECT_FALSE(on[0].second); // only the first material changes

    for (auto [first, second] : linesPerGeometry(*s, false)) EXPECT_FALSE(first || second);
    EXPECT_FALSE(drawsAsLines(nullptr, 0, true)); // no material: the renderer's plain fill
    scene::Material own;
    own.fillMode = FillMode::lines; // a material's own mode stays its own
    EXPECT_TRUE(drawsAsLines(&own, 1, false));
}

TEST(LiveViewOptions, CollectsAnimatedNodesDepthFirstSkippingPlainParents) {
    auto root = Node::make();
    auto parent = Node::make(), child = Node::make(), grandchild = Node::make(), sibling = Node::make();
    root->addChildNode(parent);
    parent->addChildNode(child);
    child->addChildNode(grandchild);
    root->addChildNode(sibling);
    auto anim = std::make_shared<scene::Animation>();
    sibling->addAnimation(anim, "s");
    grandchild->addAnimation(anim, "g");
    parent->addAnimation(anim, "p");

    std::vector<Node::Ptr> nodes{root}; // appended to, not cleared
    collectAnimatedNodes(root, nodes);
    EXPECT_EQ(nodes, (std::vector<Node::Ptr>{root, parent, grandchild, sibling}));
}

TEST(LiveViewOptions, PlaybackActsOnCollectedNodesOnlyAndNeverStopsTheView) {
    auto a = Node::make(), b = Node::make(), outsider = Node::make();
    std::vector<Node::Ptr> nodes{a, b};
    bool viewIsPlaying = false;

    applyPlayback(false, true, nodes, viewIsPlaying); // no animations: nothing at all
    EXPECT_FALSE(viewIsPlaying);
    EXPECT_FALSE(a->isPaused);

    applyPlayback(true, false, nodes, viewIsPlaying);
    EXPECT_TRUE(a->isPaused && b->isPaused);
    EXPECT_FALSE(viewIsPlaying);

    applyPlayback(true, true, nodes, viewIsPlaying);
    EXPECT_FALSE(a->isPaused || b->isPaused);
    EXPECT_TRUE(viewIsPlaying);

    applyPlayback(true, false, nodes, viewIsPlaying);
    EXPECT_TRUE(a->isPaused && b->isPaused);
    EXPECT_TRUE(viewIsPlaying); // pausing goes through the nodes alone
    EXPECT_FALSE(outsider->isPaused);

    bool emptyListView = false;
    applyPlayback(true, true, {}, emptyListView);
    EXPECT_TRUE(emptyListView);
}

} // namespace
} // namespace trimeo
