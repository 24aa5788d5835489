// The model tools on the real viewport: the inspector's figures, measuring on the drawn
// frame, the section's cut, folder stepping and image export beside --render.
#include "AppTestSupport.h"
#include "ContentView.h"
#include "InspectorPanel.h"
#include "MainWindow.h"
#include "ModelTools.h"
#include "TrimeoApp.h"

#include "../formats/threemf/ZipPackage.h"
#include "support/MeshFiles.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolBar>

#include <cmath>

using trimeo::ContentView;
using trimeo::SceneKitView;
using trimeo::scene::Vector3;
using namespace trimeo::test;
using trimeo::test::Triangle;

namespace {

QString stlFile(const QString& name, const std::vector<Triangle>& triangles) {
    const auto bytes = binarySTL(triangles);
    return makeFile(name, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

QString unitCubeFile() { return stlFile("cube.stl", boxTriangles({0, 0, 0}, {1, 1, 1})); }

// A one-object 3MF package in `unit`: a tetrahedron 25.4 units along x.
QByteArray threeMFIn(const std::string& unit) {
    const std::string model =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"" + unit +
        "\" xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\"><resources>"
        "<object id=\"1\" type=\"model\"><mesh><vertices>"
        "<vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"25.4\" y=\"0\" z=\"0\"/>"
        "<vertex x=\"0\" y=\"10\" z=\"0\"/><vertex x=\"0\" y=\"0\" z=\"5\"/></vertices><triangles>"
        "<triangle v1=\"0\" v2=\"2\" v3=\"1\"/><triangle v1=\"0\" v2=\"1\" v3=\"3\"/>"
        "<triangle v1=\"0\" v2=\"3\" v3=\"2\"/><triangle v1=\"1\" v2=\"2\" v3=\"3\"/>"
        "</triangles></mesh></object></resources><build><item objectid=\"1\"/></build></model>";
    const auto bytes = trimeo::test::ZipPackage().file("3D/3dmodel.model", model).bytes();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// Opens `path` in a fresh application and waits for its model.
struct OpenWindow {
    trimeo::TrimeoApp app;
    explicit OpenWindow(const QString& path) {
        app.start({QUrl::fromLocalFile(path)});
        app.window()->resize(900, 700);
    }
    bool loaded() {
        if (!QTest::qWaitForWindowExposed(app.window())) return false;
        app.window()->activateWindow(); // shortcuts go to the active window
        if (!QTest::qWaitForWindowActive(app.window())) return false;
        ContentView* content = app.window()->contentView();
        QDeadlineTimer deadline(30000);
        while (!(app.appState().fileURL().has_value() && content->viewport() && content->viewport()->scene())) {
            if (deadline.hasExpired()) return false;
            QTest::qWait(20);
        }
        QTest::qWait(200); // a frame or two
        return true;
    }
    SceneKitView* view() { return app.window()->contentView()->viewport(); }
    trimeo::ModelTools* tools() { return app.tools(); }
};

QImage frameOf(SceneKitView* view) {
    view->update();
    QTest::qWait(150);
    return view->grabFramebuffer();
}

int modelPixels(const QImage& image) {
    const QRgb background = image.pixel(0, 0);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background)) +
                         std::abs(qBlue(p) - qBlue(background)) > 120;
        }
    return count;
}

// Puts the scene's camera at `position`, looking at the origin.
void lookFrom(SceneKitView* view, Vector3 position) {
    for (const auto& node : view->scene()->rootNode->childNodes())
        if (node->camera) {
            node->position = position;
            node->lookAt({0, 0, 0});
        }
}

// Pixels in the section cap's orange.
int orangePixels(const QImage& image) {
    int orange = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            orange += c.red() > 200 && c.green() > 80 && c.green() < 150 && c.blue() < 80;
        }
    return orange;
}

} // namespace

class ModelToolsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void toolsAreIdleUntilUsed() {
        OpenWindow w(unitCubeFile());
        QVERIFY(w.loaded());
        auto* tools = w.tools();
        QVERIFY(!tools->inspectorPanel()->isVisible());
        QVERIFY(!tools->sectionBar()->isVisible());
        QVERIFY(!w.view()->isMeasuring());
        QCOMPARE(tools->inspectorAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
        QCOMPARE(tools->measureAction()->shortcut(), QKeySequence(QStringLiteral("M")));
        QCOMPARE(tools->sectionAction()->shortcut(), QKeySequence(QStringLiteral("S")));
        QCOMPARE(tools->exportImageAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        QStringList menus;
        for (QAction* a : w.app.window()->menuBar()->actions()) menus << a->text().remove('&');
        QVERIFY2(menus.indexOf("View") > menus.indexOf("File") && menus.indexOf("View") < menus.indexOf("Help"),
                 qPrintable(menus.join(',')));
    }

    void inspectorShowsFiguresInTheFilesUnits() {
        OpenWindow w(makeFile("wedge.3mf", threeMFIn("inch")));
        QVERIFY(w.loaded());
        w.tools()->inspectorAction()->trigger();
        auto* panel = w.tools()->inspectorPanel();
        QVERIFY(panel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isMeasuring(), 10000);
        QCOMPARE(panel->figure("File"), QStringLiteral("wedge.3mf"));
        QCOMPARE(panel->figure("Format"), QStringLiteral("3MF"));
        QCOMPARE(panel->figure("Triangles"), QStringLiteral("4"));
        QCOMPARE(panel->figure("Dimensions"), QStringLiteral("25.4 × 10 × 5 in"));
        QCOMPARE(panel->figure("Watertight"), QStringLiteral("Yes"));
        QCOMPARE(panel->figure("Volume"), QStringLiteral("211.667 in³")); // 25.4 * 10 * 5 / 6
        QVERIFY(!panel->figure("Load time").isEmpty());
        w.tools()->inspectorAction()->trigger();
        QVERIFY(!panel->isVisible());
    }

    // glTF animations belong to no node: the panel names them from the load.
    void inspectorNamesTheLoadsAnimations() {
        OpenWindow w(QStringLiteral(TRIMEO_FIXTURES "/real/gltf/glTF-Sample-Assets/Models/AnimatedCube/glTF/"
                                    "AnimatedCube.gltf"));
        QVERIFY(w.loaded());
        w.tools()->inspectorAction()->trigger();
        QCOMPARE(w.tools()->inspectorPanel()->figure("Animations"), QStringLiteral("animation_AnimatedCube"));
    }

    void measuringOppositeCubeCornersGivesRootThree() {
        OpenWindow w(unitCubeFile());
        QVERIFY(w.loaded());
        SceneKitView* view = w.view();
        QVERIFY(!view->pickModelPoint(QPointF(2, 2), false)); // the background
        // Every vertex that shows, snapped to from a grid of picks.
        std::vector<std::pair<QPointF, Vector3>> seen;
        for (int y = 0; y < view->height(); y += 12)
            for (int x = 0; x < view->width(); x += 12)
                if (auto p = view->pickModelPoint(QPointF(x, y), true)) seen.emplace_back(QPointF(x, y), *p);
        QVERIFY(seen.size() > 20);
        std::pair<QPointF, QPointF> farthest;
        double longest = 0;
        for (const auto& a : seen)
            for (const auto& b : seen)
                if (double d = trimeo::scene::length(a.second - b.second); d > longest) {
                    longest = d;
                    farthest = {a.first, b.first};
                }
        QCOMPARE(longest, std::sqrt(3.0));

        // The same two through clicks, with Shift, in measure mode.
        w.tools()->measureAction()->trigger();
        QVERIFY(view->isMeasuring());
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, farthest.first.toPoint());
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, farthest.second.toPoint());
        QCOMPARE(int(view->measurementPoints().size()), 2);
        QCOMPARE(trimeo::scene::length(view->measurementPoints()[1] - view->measurementPoints()[0]), std::sqrt(3.0));
        frameOf(view).save(QDir::temp().filePath("measure.png"));
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(view->measurementPoints().empty());
    }

    void aSectionThroughTheMiddleHalvesASphereSeenFromTheFront() {
        OpenWindow w(stlFile("sphere.stl", sphereTriangles(48, 96)));
        QVERIFY(w.loaded());
        SceneKitView* view = w.view();
        // A background no shade of the grey model comes near.
        QPalette magenta = view->palette();
        magenta.setColor(QPalette::Window, QColor(255, 0, 255));
        view->setPalette(magenta);
        // Look straight down -z, across the cut.
        lookFrom(view, {0, 0, 4});
        const int before = modelPixels(frameOf(view));
        w.tools()->sectionAction()->trigger();
        QVERIFY(w.tools()->sectionBar()->isVisible());
        // Both counts with the section bar shown, which takes its height from the view.
        w.tools()->sectionSlider()->setValue(w.tools()->sectionSlider()->maximum());
        const int whole = modelPixels(frameOf(view));
        w.tools()->sectionSlider()->setValue(500);
        const QImage cutFrame = frameOf(view);
        cutFrame.save(QDir::temp().filePath("section-sphere.png"));
        const int cut = modelPixels(cutFrame);
        QVERIFY2(std::abs(double(cut) / whole - 0.5) < 0.02,
                 qPrintable(QStringLiteral("%1 of %2").arg(cut).arg(whole)));
        // Ctrl+drag upwards moves the cut towards +x, and the slider follows.
        QTest::mousePress(view, Qt::LeftButton, Qt::ControlModifier, QPoint(200, 300));
        QMouseEvent move(QEvent::MouseMove, QPointF(200, 300 - view->height() / 4.0),
                         view->mapToGlobal(QPointF(200, 300 - view->height() / 4.0)), Qt::NoButton, Qt::LeftButton,
                         Qt::ControlModifier);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, Qt::ControlModifier, QPoint(200, 300 - view->height() / 4));
        QVERIFY2(std::abs(w.tools()->sectionSlider()->value() - 750) <= 2,
                 qPrintable(QString::number(w.tools()->sectionSlider()->value())));
        QVERIFY(modelPixels(frameOf(view)) > cut);
        w.tools()->sectionAction()->trigger();
        const QImage after = frameOf(view);
        after.save(QDir::temp().filePath("section-off.png"));
        QCOMPARE(modelPixels(after), before);
    }
    void theCutIsCappedWhicheverWayTheSurfaceIsWound_data() {
        QTest::addColumn<bool>("reversed");
        QTest::newRow("outward") << false;
        QTest::newRow("inside out") << true;
    }
    void theCutIsCappedWhicheverWayTheSurfaceIsWound() {
        QFETCH(bool, reversed);
        std::vector<Triangle> triangles = sphereTriangles(32, 64);
        if (reversed)
            for (Triangle& t : triangles) std::swap(t.b, t.c);
        OpenWindow w(stlFile(reversed ? "inverted.stl" : "sphere.stl", triangles));
        QVERIFY(w.loaded());
        SceneKitView* view = w.view();
        // Facing the cut: the cap is a whole disc.
        lookFrom(view, {4, 0, 0});
        w.tools()->sectionAction()->trigger();
        const QImage frame = frameOf(view);
        frame.save(QDir::temp().filePath(reversed ? "cap-inverted.png" : "cap-outward.png"));
        const int model = modelPixels(frame), orange = orangePixels(frame);
        QVERIFY2(orange > 0.9 * model, qPrintable(QStringLiteral("%1 of %2").arg(orange).arg(model)));
    }

    // A 100 MB model: run when TRIMEO_LARGE_TESTS is set.
    void pickingOnTwoMillionTrianglesAnswersWithinFiftyMilliseconds() {
        if (qEnvironmentVariableIsEmpty("TRIMEO_LARGE_TESTS")) QSKIP("set TRIMEO_LARGE_TESTS to run");
        OpenWindow w(stlFile("big.stl", sphereTriangles(1000, 1000)));
        QVERIFY(w.loaded());
        SceneKitView* view = w.view();
        const QPointF centre(view->width() / 2.0, view->height() / 2.0);
        // A click comes after the frame has been drawn and measuring has been turned on,
        // which sorts the vertices for snapping on a worker: wait for both, then time clicks.
        w.tools()->measureAction()->trigger();
        QElapsedTimer ready;
        ready.start();
        QVERIFY(view->pickModelPoint(centre, true));
        qInfo("frame drawn and snapping ready after %lld ms", ready.elapsed());
        for (const bool snap : {false, true, false, true}) {
            QElapsedTimer clock;
            clock.start();
            const auto point = view->pickModelPoint(centre + QPointF(snap ? 7 : -7, 5), snap);
            const qint64 ms = clock.elapsed();
            qInfo("pick on 2 million triangles, snap %d: %lld ms", int(snap), ms);
            QVERIFY(point);
            QVERIFY2(ms < 50, qPrintable(QString::number(ms)));
        }
    }

    void pageDownStepsThroughTheFolderInNaturalOrder() {
        QTemporaryDir dir;
        const QString cube = unitCubeFile();
        for (const char* name : {"part10.stl", "part2.stl", "part1.stl", "readme.txt"})
            QVERIFY(QFile::copy(cube, dir.filePath(name)));
        OpenWindow w(dir.filePath("part1.stl"));
        QVERIFY(w.loaded());
        auto fileName = [&] { return w.app.appState().fileURL()->fileName(); };
        // Generous waits: each step is a whole open, and suites run side by side; another
        // suite's window may take the focus meanwhile, and shortcuts need the active window.
        auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            w.app.window()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w.app.window()));
            QTest::keyClick(w.app.window(), key, modifiers);
        };
        press(Qt::Key_PageDown);
        QTRY_COMPARE_WITH_TIMEOUT(fileName(), QStringLiteral("part2.stl"), 20000);
        press(Qt::Key_Right, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(fileName(), QStringLiteral("part10.stl"), 20000);
        press(Qt::Key_PageUp);
        QTRY_COMPARE_WITH_TIMEOUT(fileName(), QStringLiteral("part2.stl"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(w.app.appState().recentFiles().first().fileName(), QStringLiteral("part2.stl"), 20000);
    }

    // The picture is --render's picture of what the view shows: plain, in wireframe, and cut.
    void anExportedImageIsTheRenderCommandsPictureOfTheView() {
        const QString model = QStringLiteral(TRIMEO_SOURCE_DIR "/samples/trefoil-knot.stl");
        OpenWindow w(model);
        QVERIFY(w.loaded());
        QTemporaryDir dir;
        for (const bool wireframe : {false, true}) {
            const QString name = wireframe ? "wireframe" : "plain";
            const QString exported = dir.filePath(name + "-exported.png"), rendered = dir.filePath(name + "-rendered.png");
            w.view()->setShowWireframe(wireframe);
            QVERIFY(w.tools()->exportImage(exported, QSize(640, 480)));
            QStringList options{"--render", rendered, "--size", "640x480", model};
            if (wireframe) options.insert(4, "--wireframe");
            QCOMPARE(QProcess::execute(QStringLiteral(TRIMEO_BINARY), options), 0);
            const QImage picture(exported);
            QCOMPARE(picture.size(), QSize(640, 480));
            QCOMPARE(picture.convertToFormat(QImage::Format_RGB32), QImage(rendered).convertToFormat(QImage::Format_RGB32));
            QFile::copy(exported, QDir::temp().filePath(name + "-exported.png"));
        }
        w.view()->setShowWireframe(false);
        w.tools()->sectionAction()->trigger();
        const QString cut = dir.filePath("cut.png");
        QVERIFY(w.tools()->exportImage(cut, QSize(640, 480)));
        const int orange = orangePixels(QImage(cut));
        QVERIFY2(orange > 100, qPrintable(QString::number(orange)));
    }
};

TRIMEO_APP_TEST_MAIN(ModelToolsTest, true)
#include "ModelToolsTest.moc"
