// Wireframe and playback as a refresh applies them, and the nodes playback acts on.
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

std::vector<FillMode> firstFillModes(const scene::Scene& s) {
    std::vector<FillMode> modes;
    s.rootNode->enumerateChildNodes([&](const Node::Ptr& n) {
        if (n->geometry && n->geometry->firstMaterial()) modes.push_back(n->geometry->firstMaterial()->fillMode);
    });
    return modes;
}

TEST(LiveViewOptions, WireframeReachesEveryFirstMaterialFloorIncludedAndBack) {
    auto s = presentedTwoMaterialBox();
    applyWireframe(s.get(), true);
    auto modes = firstFillModes(*s);
    ASSERT_EQ(modes.size(), 43u); // the model and the floor's 42 lines
    for (FillMode m : modes) EXPECT_EQ(m, FillMode::lines);
    const auto& model = s->rootNode->childNodes()[0]->childNodes()[0]->geometry->materials;
    EXPECT_EQ(model[1].fillMode, FillMode::fill); // only the first material changes

    applyWireframe(s.get(), false);
    for (FillMode m : firstFillModes(*s)) EXPECT_EQ(m, FillMode::fill);
    applyWireframe(nullptr, true); // no scene yet: nothing to do, no failure
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
