// The viewport widget against a host that, like the window, keeps the state the viewport
// reports and hands it its options.
#include "GLTestEnvironment.h"
#include "support/TestFiles.h"
#include "viewport/SceneKitView.h"

#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace trimeo {
namespace {

struct Host {
    bool isPlaying = false;
    bool hasAnimations = false;
    bool isLoading = true;
    std::optional<std::string> errorMessage;
    int writes = 0; // state values written from the viewport's reports

    void connectTo(SceneKitView& view) {
        QObject::connect(&view, &SceneKitView::loaded, [this](bool animated) {
            isLoading = false, ++writes;
            if (animated) hasAnimations = true, ++writes;
        });
        QObject::connect(&view, &SceneKitView::failed, [this](const QString& description) {
            errorMessage = description.toStdString(), ++writes;
            isLoading = false, ++writes;
        });
    }
};

// A viewport over the assimp corpus file `model`, its reports kept by `host`.
std::unique_ptr<SceneKitView> open(Host& host, const std::string& model, bool wireframe = false) {
    const auto data = test::readFile(test::assimpModels() / model);
    auto view = std::make_unique<SceneKitView>(QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())),
                                               QUrl::fromLocalFile(QString::fromStdString("/models/" + model)), wireframe);
    host.connectTo(*view);
    return view;
}

// The same, on screen at 400 x 300.
std::unique_ptr<SceneKitView> shown(Host& host, const std::string& model) {
    auto view = open(host, model);
    view->resize(400, 300);
    view->show();
    return view;
}

void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool waitForLoad(SceneKitView& view) {
    QSignalSpy loaded(&view, &SceneKitView::loaded), failed(&view, &SceneKitView::failed);
    QElapsedTimer waited;
    waited.start();
    while (loaded.isEmpty() && failed.isEmpty() && waited.elapsed() < 30000) QTest::qWait(10);
    return !loaded.isEmpty() || !failed.isEmpty();
}

TEST(SceneKitView, SuccessfulLoadShowsTheSceneAndEndsLoadingOnly) {
    Host host;
    auto view = open(host, "OBJ/box.obj");
    EXPECT_FALSE(view->scene()); // nothing until the GUI-thread step has run
    EXPECT_TRUE(view->coordinator().animationNodes.empty());
    ASSERT_TRUE(waitForLoad(*view));
    ASSERT_TRUE(view->scene());
    EXPECT_EQ(view->scene()->rootNode->childNodes().size(), 3u);
    EXPECT_FALSE(host.isLoading);
    EXPECT_FALSE(host.errorMessage);
    EXPECT_FALSE(host.hasAnimations);
    EXPECT_EQ(host.writes, 1); // isLoading alone
    EXPECT_TRUE(view->coordinator().animationNodes.empty());
    EXPECT_FALSE(view->isPlaying());
}

TEST(SceneKitView, RefusedFileReportsItsDescriptionAndShowsNoScene) {
    Host host;
    host.hasAnimations = true; // whatever the host holds stays
    auto view = std::make_unique<SceneKitView>(QByteArray("volume"), QUrl::fromLocalFile("/models/cloud.vdb"), false);
    host.connectTo(*view);
    ASSERT_TRUE(waitForLoad(*view));
    EXPECT_EQ(host.errorMessage, std::optional<std::string>("Unsupported format: VDB volumetric files require "
                                                            "OpenVDB library"));
    EXPECT_FALSE(host.isLoading);
    EXPECT_TRUE(host.hasAnimations);
    EXPECT_EQ(host.writes, 2);
    EXPECT_FALSE(view->scene());
    view->setShowWireframe(true); // no scene: nothing to do, no failure
    view->setPlaying(true);
    EXPECT_FALSE(view->isPlaying());
}

TEST(SceneKitView, WireframeIsADrawOptionThatLeavesTheSceneAlone) {
    Host host;
    auto view = open(host, "OBJ/box.obj", true);
    view->setShowWireframe(true); // before the load: no scene yet
    ASSERT_TRUE(waitForLoad(*view));
    EXPECT_TRUE(view->showWireframe());
    std::size_t geometries = 0;
    view->scene()->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (!n->geometry || !n->geometry->firstMaterial()) return;
        ++geometries;
        EXPECT_EQ(n->geometry->firstMaterial()->fillMode, scene::FillMode::fill);
    });
    EXPECT_GE(geometries, 43u); // the model and the floor's 42 lines
    view->setShowWireframe(false);
    EXPECT_FALSE(view->showWireframe());
}

TEST(SceneKitView, PlaybackMovesAndHoldsCollectedNodesOnly) {
    Host host;
    auto view = open(host, "Collada/box_nested_animation.dae");
    ASSERT_TRUE(waitForLoad(*view));
    if (!host.hasAnimations) GTEST_SKIP() << "the reader found no animations in this file";
    const auto nodes = view->coordinator().animationNodes;
    ASSERT_FALSE(nodes.empty());
    std::vector<scene::Node::Ptr> keyed;
    for (const auto& n : nodes)
        for (const auto& a : n->animations())
            if (a.second && a.second->hasTracks() && a.second->effectiveDuration() > 0) keyed.push_back(n);
    ASSERT_FALSE(keyed.empty());
    auto pose = [&] {
        std::vector<double> p;
        for (const auto& n : keyed) {
            auto m = n->transform();
            p.insert(p.end(), m.m.begin(), m.m.end());
        }
        return p;
    };
    for (const auto& n : nodes) EXPECT_TRUE(n->isPaused); // loaded with playing off
    EXPECT_FALSE(view->isPlaying());
    const auto loaded = pose();
    spin(150);
    EXPECT_EQ(pose(), loaded); // not playing: nothing moves

    view->setPlaying(true);
    EXPECT_TRUE(view->isPlaying());
    for (const auto& n : nodes) EXPECT_FALSE(n->isPaused);
    spin(300);
    EXPECT_NE(pose(), loaded);

    view->setPlaying(false);
    EXPECT_TRUE(view->isPlaying()); // never set back
    for (const auto& n : nodes) EXPECT_TRUE(n->isPaused);
    const auto held = pose();
    spin(200);
    EXPECT_EQ(pose(), held); // paused where it was
    // Nodes that were not collected are never paused.
    view->scene()->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (std::find(nodes.begin(), nodes.end(), n) == nodes.end()) {
            EXPECT_FALSE(n->isPaused);
        }
    });
}

TEST(SceneKitView, ReplacedViewportIgnoresItsLateResult) {
    Host host;
    auto view = open(host, "OBJ/box.obj");
    view.reset(); // replaced before its load could finish
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(host.writes, 0);
    EXPECT_TRUE(host.isLoading); // the state of whatever the host shows now is untouched
}

TEST(SceneKitView, HostMayDropTheViewportFromInsideItsReport) {
    Host host; // connected first: the test's own slots run after the host's
    std::unique_ptr<SceneKitView> view = open(host, "Collada/box_nested_animation.dae");
    int reportsAfterDrop = 0;
    bool dropped = false;
    auto report = [&] {
        if (dropped) ++reportsAfterDrop;
        dropped = true;
        view.reset();
    };
    QObject::connect(view.get(), &SceneKitView::loaded, report);
    QObject::connect(view.get(), &SceneKitView::failed, report);
    QThreadPool::globalInstance()->waitForDone();
    for (int i = 0; i < 5 && view; ++i) QCoreApplication::processEvents();
    EXPECT_FALSE(view);               // dropped while handling the report
    EXPECT_EQ(reportsAfterDrop, 0);   // and nothing was reported after that
}

// A mesh bound to a skeleton follows its bones: the drawn box moves while playing and
// holds still when paused.
TEST(SceneKitView, PlayingMovesASkinnedMeshAndPausingHoldsIt) {
    TRIMEO_REQUIRE_GL();
    Host host;
    auto view = shown(host, "Collada/box_nested_animation.dae");
    ASSERT_TRUE(waitForLoad(*view));
    ASSERT_TRUE(host.hasAnimations);
    const QImage bound = view->grabFramebuffer();
    test::saveForInspection(bound, "widget-skinned-start");
    const QColor bg = view->palette().color(QPalette::Window);
    view->setPlaying(true);
    spin(600);
    const QImage moved = view->grabFramebuffer();
    test::saveForInspection(moved, "widget-skinned-playing");
    EXPECT_GT(test::pixelsDifferingBetween(bound, moved, 30), 1000); // the box itself has moved, not a few edge pixels
    EXPECT_GT(test::pixelsDifferingFrom(moved, bg, 30), 1000);

    view->setPlaying(false);
    const QImage held = view->grabFramebuffer();
    spin(300);
    EXPECT_EQ(test::pixelsDifferingBetween(held, view->grabFramebuffer(), 30), 0);
}

void send(QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, at, w.mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

TEST(SceneKitView, DrawsTheModelAndDragOrbitsWheelZoomsDoubleClickReturnsToTheSceneCamera) {
    TRIMEO_REQUIRE_GL();
    Host host;
    auto view = shown(host, "OBJ/box.obj");
    ASSERT_TRUE(waitForLoad(*view));
    const QImage start = view->grabFramebuffer();
    test::saveForInspection(start, "widget-box");
    ASSERT_FALSE(start.isNull());
    const QColor bg = view->palette().color(QPalette::Window);
    EXPECT_EQ(start.pixelColor(2, 2), bg);
    EXPECT_GT(test::colourDistance(bg, start.pixelColor(start.width() / 2, start.height() / 2)), 40);

    view->setShowWireframe(true);
    const QImage lines = view->grabFramebuffer();
    test::saveForInspection(lines, "widget-box-wireframe");
    EXPECT_LT(test::pixelsDifferingFrom(lines, bg, 30) * 2, test::pixelsDifferingFrom(start, bg, 30));
    view->setShowWireframe(false);
    EXPECT_EQ(view->grabFramebuffer(), start);

    send(*view, QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton, Qt::LeftButton);
    send(*view, QEvent::MouseMove, {260, 150}, Qt::NoButton, Qt::LeftButton);
    send(*view, QEvent::MouseButtonRelease, {260, 150}, Qt::LeftButton, Qt::NoButton);
    const QImage orbited = view->grabFramebuffer();
    test::saveForInspection(orbited, "widget-orbited");
    EXPECT_NE(orbited, start);

    QWheelEvent wheel({200, 150}, view->mapToGlobal(QPointF(200, 150)), {}, {0, 360}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.get(), &wheel);
    const QImage zoomed = view->grabFramebuffer();
    test::saveForInspection(zoomed, "widget-zoomed");
    EXPECT_GT(test::pixelsDifferingFrom(zoomed, bg, 30), test::pixelsDifferingFrom(orbited, bg, 30) * 3 / 2);

    send(*view, QEvent::MouseButtonDblClick, {200, 150}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(view->grabFramebuffer(), start);

    send(*view, QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton, Qt::LeftButton);
    send(*view, QEvent::MouseMove, {120, 100}, Qt::NoButton, Qt::LeftButton);
    EXPECT_NE(view->grabFramebuffer(), start);
    view->resetView(); // what the window's Reset View does
    EXPECT_EQ(view->grabFramebuffer(), start);
}

} // namespace
} // namespace trimeo
