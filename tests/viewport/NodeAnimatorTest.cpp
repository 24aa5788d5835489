// Each node's own clock: paused nodes hold their pose and resume from where they were.
#include "viewport/NodeAnimator.h"

#include <gtest/gtest.h>

namespace trimeo {
namespace {

using scene::Node;
using scene::Vector3;

std::shared_ptr<scene::Animation> slide() { // x goes 0 -> 10 over 10 s
    auto a = std::make_shared<scene::Animation>();
    a->translation = {{0, {0, 0, 0}}, {10, {10, 0, 0}}};
    a->repeats = false;
    return a;
}

TEST(NodeAnimator, PausedNodeStopsWhereItIsAndResumesFromThere) {
    auto root = Node::make(), moving = Node::make(), held = Node::make();
    root->addChildNode(moving);
    root->addChildNode(held);
    moving->addAnimation(slide(), "slide");
    held->addAnimation(slide(), "slide");
    NodeAnimator animator;
    animator.setScene(root);

    EXPECT_FALSE(animator.advance(1, false)); // the view is not playing: no time passes
    EXPECT_EQ(moving->position, Vector3());

    animator.advance(2, true);
    EXPECT_NEAR(moving->position.x, 2, 1e-12);
    held->isPaused = true;
    animator.advance(3, true);
    EXPECT_NEAR(moving->position.x, 5, 1e-12);
    EXPECT_NEAR(held->position.x, 2, 1e-12);
    held->isPaused = false;
    animator.advance(1, true);
    EXPECT_NEAR(held->position.x, 3, 1e-12); // from where it stopped, not from the scene's time
    EXPECT_NEAR(animator.clock(held.get()), 3, 1e-12);
    EXPECT_NEAR(animator.clock(moving.get()), 6, 1e-12);
}

TEST(NodeAnimator, PausingAParentHoldsItsAnimatedChildrenAndPlaceholdersAreIgnored) {
    auto root = Node::make(), parent = Node::make(), child = Node::make(), placeholder = Node::make();
    root->addChildNode(parent);
    parent->addChildNode(child);
    root->addChildNode(placeholder);
    child->addAnimation(slide(), "slide");
    placeholder->addAnimation(std::make_shared<scene::Animation>(), "name-only");
    NodeAnimator animator;
    animator.setScene(root);
    EXPECT_LT(animator.clock(placeholder.get()), 0);

    parent->isPaused = true;
    EXPECT_FALSE(animator.advance(4, true));
    EXPECT_EQ(child->position, Vector3());
    parent->isPaused = false;
    animator.advance(4, true);
    EXPECT_NEAR(child->position.x, 4, 1e-12);
}

} // namespace
} // namespace trimeo
