// The viewport widget against a host that, like the window, refreshes the viewport
// whenever one of its bound values is written.
#include "GLTestEnvironment.h"
#include "support/TestFiles.h"
#include "viewport/SceneKitView.h"

#include <QSignalSpy>
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
    int writes = 0;
    SceneKitView* view = nullptr;

    void changed() {
        ++writes;
        if (view) view->refresh();
    }
    ViewportBindings bindings() {
        return {[this] { return isPlaying; }, [this] { return hasAnimations; },
                [this](bool v) { hasAnimations = v, changed(); },
                [this](std::optional<std::string> m) { errorMessage = std::move(m), changed(); },
                [this](bool v) { isLoading = v, changed(); }};
    }
};

QByteArray fileBytes(const std::filesystem::path& path) {
    auto data = test::readFile(path);
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

std::unique_ptr<SceneKitView> open(Host& host, QByteArray data, const QString& name, bool wireframe = false) {
    auto view = std::make_unique<SceneKitView>(std::move(data), QUrl::fromLocalFile(name), wireframe,
                                               host.bindings());
    host.view = view.get();
    return view;
}

bool waitForLoad(SceneKitView& view) {
    QSignalSpy finished(&view, &SceneKitView::loadFinished);
    return finished.count() > 0 || finished.wait(30000);
}

TEST(SceneKitView, SuccessfulLoadShowsTheSceneAndEndsLoadingOnly) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "OBJ" / "box.obj"), "/models/box.obj");
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
    auto view = open(host, QByteArray("volume"), "/models/cloud.vdb");
    ASSERT_TRUE(waitForLoad(*view));
    EXPECT_EQ(host.errorMessage, std::optional<std::string>("Unsupported format: VDB volumetric files require "
                                                            "OpenVDB library"));
    EXPECT_FALSE(host.isLoading);
    EXPECT_TRUE(host.hasAnimations);
    EXPECT_EQ(host.writes, 2);
    EXPECT_FALSE(view->scene());
    view->refresh(); // no scene: nothing to do, no failure
}

TEST(SceneKitView, RefreshAppliesWireframeToEveryFirstMaterialFloorIncluded) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "OBJ" / "box.obj"), "/models/box.obj", true);
    view->refresh(); // before the load: no scene yet
    ASSERT_TRUE(waitForLoad(*view));
    auto modes = [&] {
        std::vector<scene::FillMode> m;
        view->scene()->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
            if (n->geometry && n->geometry->firstMaterial()) m.push_back(n->geometry->firstMaterial()->fillMode);
        });
        return m;
    };
    // The host's refresh after isLoading was written applied the option to the new scene.
    auto on = modes();
    EXPECT_GE(on.size(), 43u);
    for (auto m : on) EXPECT_EQ(m, scene::FillMode::lines);
    view->setShowWireframe(false);
    for (auto m : modes()) EXPECT_EQ(m, scene::FillMode::lines); // stored only
    view->refresh();
    for (auto m : modes()) EXPECT_EQ(m, scene::FillMode::fill);
}

TEST(SceneKitView, PlaybackPausesAndResumesCollectedNodesOnly) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "Collada" / "box_nested_animation.dae"),
                     "/models/box_nested_animation.dae");
    ASSERT_TRUE(waitForLoad(*view));
    if (!host.hasAnimations) GTEST_SKIP() << "the reader found no animations in this file";
    const auto nodes = view->coordinator().animationNodes;
    ASSERT_FALSE(nodes.empty());
    for (const auto& n : nodes) EXPECT_TRUE(n->isPaused); // refreshed with isPlaying false
    EXPECT_FALSE(view->isPlaying());

    host.isPlaying = true;
    view->refresh();
    EXPECT_TRUE(view->isPlaying());
    for (const auto& n : nodes) EXPECT_FALSE(n->isPaused);
    host.isPlaying = false;
    view->refresh();
    EXPECT_TRUE(view->isPlaying()); // never set back
    for (const auto& n : nodes) EXPECT_TRUE(n->isPaused);
    // Nodes that were not collected are never paused.
    view->scene()->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        if (std::find(nodes.begin(), nodes.end(), n) == nodes.end()) {
            EXPECT_FALSE(n->isPaused);
        }
    });
}

TEST(SceneKitView, PlayingMovesAnimatedNodesAndPausingHoldsThem) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "Collada" / "box_nested_animation.dae"),
                     "/models/box_nested_animation.dae");
    ASSERT_TRUE(waitForLoad(*view));
    std::vector<scene::Node::Ptr> keyed;
    for (const auto& n : view->coordinator().animationNodes)
        for (const auto& a : n->animations())
            if (a.second && a.second->hasTracks() && a.second->effectiveDuration() > 0) keyed.push_back(n);
    if (keyed.empty()) GTEST_SKIP() << "no keyframed animation in this file";
    auto pose = [&] {
        std::vector<double> p;
        for (const auto& n : keyed) {
            auto m = n->transform();
            p.insert(p.end(), m.m.begin(), m.m.end());
        }
        return p;
    };
    auto spin = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    const auto loaded = pose();
    spin(150);
    EXPECT_EQ(pose(), loaded); // not playing: nothing moves

    host.isPlaying = true;
    view->refresh();
    spin(300);
    const auto moved = pose();
    EXPECT_NE(moved, loaded);

    host.isPlaying = false;
    view->refresh();
    const auto held = pose();
    spin(200);
    EXPECT_EQ(pose(), held); // paused where it was
}

TEST(SceneKitView, ReplacedViewportIgnoresItsLateResult) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "OBJ" / "box.obj"), "/models/box.obj");
    host.view = nullptr;
    view.reset(); // replaced before its load could finish
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(host.writes, 0);
    EXPECT_TRUE(host.isLoading); // the state of whatever the host shows now is untouched
}

TEST(SceneKitView, HostMayDropTheViewportFromInsideABindingWrite) {
    std::unique_ptr<SceneKitView> view;
    int hasAnimationsWrites = 0;
    ViewportBindings b{[] { return false; }, [] { return false; }, [&](bool) { ++hasAnimationsWrites; },
                       [](std::optional<std::string>) {}, [&](bool) { view.reset(); }};
    view = std::make_unique<SceneKitView>(
        fileBytes(test::assimpModels() / "Collada" / "box_nested_animation.dae"),
        QUrl::fromLocalFile("/models/box_nested_animation.dae"), false, b);
    QThreadPool::globalInstance()->waitForDone();
    for (int i = 0; i < 5 && view; ++i) QCoreApplication::processEvents();
    EXPECT_FALSE(view);                   // dropped while writing isLoading
    EXPECT_EQ(hasAnimationsWrites, 0);    // and nothing was written after that
}

TEST(SceneKitView, DrawsTheLoadedModel) {
    TRIMEO_REQUIRE_GL();
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "OBJ" / "box.obj"), "/models/box.obj");
    view->resize(400, 300);
    view->show();
    ASSERT_TRUE(waitForLoad(*view));
    QImage frame = view->grabFramebuffer();
    test::saveForInspection(frame, "widget-box");
    ASSERT_FALSE(frame.isNull());
    const QColor corner = frame.pixelColor(2, 2);
    const QColor middle = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_GT(test::colourDistance(corner, middle), 40);
    EXPECT_EQ(corner, view->palette().color(QPalette::Window));
}

void send(QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, at, w.mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

TEST(SceneKitView, DragOrbitsWheelZoomsDoubleClickReturnsToTheSceneCamera) {
    TRIMEO_REQUIRE_GL();
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "OBJ" / "box.obj"), "/models/box.obj");
    view->resize(400, 300);
    view->show();
    ASSERT_TRUE(waitForLoad(*view));
    const QImage start = view->grabFramebuffer();
    const QColor bg = view->palette().color(QPalette::Window);

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
}

} // namespace
} // namespace trimeo
