#include "scene/Box.h"
#include "scene/Node.h"
#include "scene/Scene.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace trimeo::scene;

namespace {
void expectNear(Vector3 a, Vector3 b, double eps = 1e-9) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}
} // namespace

TEST(NodeHierarchy, AddChildMovesFromFormerParentAndKeepsOrder) {
    auto a = Node::make(), b = Node::make(), c = Node::make(), d = Node::make();
    a->addChildNode(c);
    a->addChildNode(d);
    b->addChildNode(c);
    ASSERT_EQ(a->childNodes().size(), 1u);
    EXPECT_EQ(a->childNodes()[0], d);
    ASSERT_EQ(b->childNodes().size(), 1u);
    EXPECT_EQ(c->parent(), b.get());
    // Re-adding to the same parent moves it to the end.
    b->addChildNode(d);
    b->addChildNode(c);
    EXPECT_EQ(b->childNodes()[0], d);
    EXPECT_EQ(b->childNodes()[1], c);
    EXPECT_TRUE(a->childNodes().empty());
}

TEST(NodeHierarchy, RefusesCycles) {
    auto a = Node::make(), b = Node::make();
    a->addChildNode(b);
    EXPECT_THROW(b->addChildNode(a), std::invalid_argument);
    EXPECT_THROW(a->addChildNode(a), std::invalid_argument);
    EXPECT_EQ(a->parent(), nullptr);
}

TEST(NodeHierarchy, EnumerateVisitsDescendantsDepthFirstNotSelf) {
    auto root = Node::make();
    auto name = [](const char* n) {
        auto node = Node::make();
        node->name = n;
        return node;
    };
    auto a = name("a"), a1 = name("a1"), a2 = name("a2"), b = name("b"), a1x = name("a1x");
    root->addChildNode(a);
    root->addChildNode(b);
    a->addChildNode(a1);
    a->addChildNode(a2);
    a1->addChildNode(a1x);
    std::string order;
    root->enumerateChildNodes([&](const Node::Ptr& n) { order += *n->name + " "; });
    EXPECT_EQ(order, "a a1 a1x a2 b ");
}

TEST(NodeHierarchy, DeepChainDoesNotOverflowTheWalk) {
    // Built from the leaf up; walking, boxing and releasing it must not recurse.
    auto root = Node::make(makeBox(1, 1, 1));
    for (int i = 0; i < 300000; ++i) {
        auto parent = Node::make();
        parent->addChildNode(std::move(root));
        root = std::move(parent);
    }
    std::size_t count = 0;
    root->enumerateChildNodes([&](const Node::Ptr&) { ++count; });
    EXPECT_EQ(count, 300000u);
    EXPECT_DOUBLE_EQ(root->boundingBox().max.x, 0.5);
    root.reset();
}

TEST(NodeTransform, EulerAnglesRoundTripAndCompose) {
    Node n;
    n.setEulerAngles({0.3, -0.7, 1.1});
    expectNear(n.eulerAngles(), {0.3, -0.7, 1.1});
    // Roll about z is applied first, then yaw about y, then pitch about x.
    Vector3 expected = Quaternion::fromAxisAngle({1, 0, 0}, 0.3).rotate(
        Quaternion::fromAxisAngle({0, 1, 0}, -0.7).rotate(Quaternion::fromAxisAngle({0, 0, 1}, 1.1).rotate({1, 2, 3})));
    expectNear(n.transform().transformDirection({1, 2, 3}), expected);
}

TEST(NodeTransform, UprightTurnMapsZToY) {
    Node n;
    n.setEulerAngles({-M_PI / 2, 0, 0});
    expectNear(n.transform().transformDirection({0, 0, 1}), {0, 1, 0});
    expectNear(n.transform().transformDirection({0, 1, 0}), {0, 0, -1});
}

TEST(NodeTransform, LookAtTurnsMinusZTowardsTargetWithYUp) {
    Node cam;
    cam.position = {3, 2, 4};
    cam.lookAt({0, 0, 0});
    Vector3 forward = cam.transform().transformDirection({0, 0, -1});
    expectNear(forward, normalized(Vector3{-3, -2, -4}));
    Vector3 right = cam.transform().transformDirection({1, 0, 0});
    EXPECT_NEAR(right.y, 0, 1e-12); // no roll
    EXPECT_GT(cam.transform().transformDirection({0, 1, 0}).y, 0);
}

TEST(BoundingBoxes, CoverDescendantsThroughTheirTransforms) {
    auto parent = Node::make();
    auto child = Node::make(makeBox(2, 4, 6));
    child->position = {10, 0, 0};
    child->scale = {2, 1, 1};
    parent->addChildNode(child);
    BoundingBox box = parent->boundingBox();
    expectNear(box.min, {8, -2, -3});
    expectNear(box.max, {12, 2, 3});
    // The node's own transform is not part of its own box.
    parent->position = {100, 100, 100};
    expectNear(parent->boundingBox().min, {8, -2, -3});
}

TEST(BoundingBoxes, EmptyNodeHasNonFiniteCorners) {
    auto n = Node::make();
    n->addChildNode(Node::make());
    BoundingBox box = n->boundingBox();
    EXPECT_FALSE(std::isfinite(box.min.x));
    EXPECT_FALSE(std::isfinite(box.max.x));
}

TEST(Animations, KeysKeepInsertionOrderAndReplaceInPlace) {
    Node n;
    auto a = std::make_shared<Animation>(), b = std::make_shared<Animation>(), c = std::make_shared<Animation>();
    n.addAnimation(a, "walk");
    n.addAnimation(b, "run");
    n.addAnimation(c, "walk");
    EXPECT_EQ(n.animationKeys(), (std::vector<std::string>{"walk", "run"}));
    EXPECT_EQ(n.animation("walk"), c);
    EXPECT_EQ(n.animation("jump"), nullptr);
}

TEST(Animations, SampleInterpolatesAndWraps) {
    Animation a;
    a.translation = {{0, {0, 0, 0}}, {2, {4, 0, 0}}};
    a.rotation = {{0, Quaternion{}}, {2, Quaternion::fromAxisAngle({0, 1, 0}, M_PI / 2)}};
    EXPECT_NEAR(a.sample(1).position->x, 2, 1e-12);
    EXPECT_NEAR(a.sample(3).position->x, 2, 1e-12); // repeats: 3 s is 1 s into the second cycle
    Vector3 turned = a.sample(1).orientation->rotate({1, 0, 0});
    EXPECT_NEAR(turned.x, std::cos(M_PI / 4), 1e-9);
    EXPECT_FALSE(a.sample(1).scale.has_value());
    a.repeats = false;
    EXPECT_NEAR(a.sample(5).position->x, 4, 1e-12);
    EXPECT_FALSE(Animation{}.hasTracks());
}
