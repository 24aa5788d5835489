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

QByteArray fileBytes(const std::filesystem::path& path) {
    auto data = test::readFile(path);
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

std::unique_ptr<SceneKitView> open(Host& host, QByteArray data, const QString& name, bool wireframe = false) {
    auto view = std::make_unique<SceneKitView>(std::move(data), QUrl::fromLocalFile(name), wireframe);
    host.connectTo(*view);
    return view;
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
    view->setShowWireframe(true); // no scene: nothing to do, no failure
    view->setPlaying(true);
    EXPECT_FALSE(view->isPlaying());
}

TEST(SceneKitView, WireframeIsADrawOptionThatLeavesTheSceneAlone) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "OBJ" / "box.obj"), "/models/box.obj", true);
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

TEST(SceneKitView, PlaybackPausesAndResumesCollectedNodesOnly) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "Collada" / "box_nested_animation.dae"),
                     "/models/box_nested_animation.dae");
    ASSERT_TRUE(waitForLoad(*view));
    if (!host.hasAnimations) GTEST_SKIP() << "the reader found no animations in this file";
    const auto nodes = view->coordinator().animationNodes;
    ASSERT_FALSE(nodes.empty());
    for (const auto& n : nodes) EXPECT_TRUE(n->isPaused); // loaded with playing off
    EXPECT_FALSE(view->isPlaying());

    view->setPlaying(true);
    EXPECT_TRUE(view->isPlaying());
    for (const auto& n : nodes) EXPECT_FALSE(n->isPaused);
    view->setPlaying(false);
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

    view->setPlaying(true);
    spin(300);
    const auto moved = pose();
    EXPECT_NE(moved, loaded);

    view->setPlaying(false);
    const auto held = pose();
    spin(200);
    EXPECT_EQ(pose(), held); // paused where it was
}

TEST(SceneKitView, ReplacedViewportIgnoresItsLateResult) {
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "OBJ" / "box.obj"), "/models/box.obj");
    view.reset(); // replaced before its load could finish
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(host.writes, 0);
    EXPECT_TRUE(host.isLoading); // the state of whatever the host shows now is untouched
}

TEST(SceneKitView, HostMayDropTheViewportFromInsideItsReport) {
    std::unique_ptr<SceneKitView> view = std::make_unique<SceneKitView>(
        fileBytes(test::assimpModels() / "Collada" / "box_nested_animation.dae"),
        QUrl::fromLocalFile("/models/box_nested_animation.dae"), false);
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

    view->setShowWireframe(true);
    const QImage lines = view->grabFramebuffer();
    test::saveForInspection(lines, "widget-box-wireframe");
    const QColor bg = view->palette().color(QPalette::Window);
    EXPECT_LT(test::pixelsDifferingFrom(lines, bg, 30) * 2, test::pixelsDifferingFrom(frame, bg, 30));
}

// A mesh bound to a skeleton follows its bones: the drawn box moves while playing and
// holds still when paused.
TEST(SceneKitView, PlayingMovesASkinnedMeshAndPausingHoldsIt) {
    TRIMEO_REQUIRE_GL();
    Host host;
    auto view = open(host, fileBytes(test::assimpModels() / "Collada" / "box_nested_animation.dae"),
                     "/models/box_nested_animation.dae");
    view->resize(400, 300);
    view->show();
    ASSERT_TRUE(waitForLoad(*view));
    ASSERT_TRUE(host.hasAnimations);
    auto spin = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    const QImage bound = view->grabFramebuffer();
    test::saveForInspection(bound, "widget-skinned-start");
    const QColor bg = view->palette().color(QPalette::Window);
    auto changed = [&](const QImage& a, const QImage& b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) n += test::colourDistance(a.pixelColor(x, y), b.pixelColor(x, y)) > 30;
        return n;
    };
    view->setPlaying(true);
    spin(600);
    const QImage moved = view->grabFramebuffer();
    test::saveForInspection(moved, "widget-skinned-playing");
    EXPECT_GT(changed(bound, moved), 1000); // the box itself has moved, not a few edge pixels
    EXPECT_GT(test::pixelsDifferingFrom(moved, bg, 30), 1000);

    view->setPlaying(false);
    const QImage held = view->grabFramebuffer();
    spin(300);
    EXPECT_EQ(changed(held, view->grabFramebuffer()), 0);
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

    send(*view, QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton, Qt::LeftButton);
    send(*view, QEvent::MouseMove, {120, 100}, Qt::NoButton, Qt::LeftButton);
    EXPECT_NE(view->grabFramebuffer(), start);
    view->resetView(); // what the window's Reset View does
    EXPECT_EQ(view->grabFramebuffer(), start);
}

} // namespace
} // namespace trimeo
