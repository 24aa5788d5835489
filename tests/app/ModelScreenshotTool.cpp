// Test-only: pictures of real models in the window, on the real viewport, for looking at by
// eye: the white models (Wuson.ply, spider.fbx) in the light and a dark palette, two skinned
// ones at two moments of their playback, the View menu, a failure notice, and the model
// tools: the inspector on a 3MF and on a USD stage, a measurement and a section of the sample
// knot, and an exported image (the --render picture of the same view is made beside it by the caller).
// usage: app_model_screenshots OUTPUT_FOLDER
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentView.h"
#include "InspectorPanel.h"
#include "MainWindow.h"
#include "ModelTools.h"
#include "OpenSequence.h"
#include "TrimeoApp.h"
#include "ViewCommands.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>

#include <sstream>

using trimeo::test::saveScreen;

namespace {
QPalette darkPalette() {
    QPalette p;
    const QColor window(53, 53, 53), text(230, 230, 230);
    for (auto role : {QPalette::Window, QPalette::Button}) p.setColor(role, window);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(role, text);
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(230, 230, 230, 110));
    return p;
}

// Opens `path` and waits for its model and, where the inspector is open, its figures.
void show(trimeo::TrimeoApp& app, const QString& path) {
    std::ostringstream ignored;
    trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(path), ignored);
    QDeadlineTimer deadline(60000);
    while (app.window()->contentView()->isLoading() && !deadline.hasExpired()) QTest::qWait(20);
    QTest::qWait(100);
    while (app.tools()->inspectorPanel()->isMeasuring() && !deadline.hasExpired()) QTest::qWait(20);
}

void modelTools(trimeo::TrimeoApp& app, const QString& folder) {
    const QString fixtures = QStringLiteral(TRIMEO_FIXTURES);
    trimeo::ModelTools* tools = app.tools();
    tools->inspectorAction()->trigger();
    show(app, fixtures + "/real/3mf/PrusaSlicer/resources/calibration/cr3d/cube/CR-3D_Dual_Calibration_Cube_Extruder.3mf");
    saveScreen(folder, "inspector-3mf", 500);
    show(app, fixtures + "/real/usd/usd-wg-assets/test_assets/schemaTests/usdGeom/meshes/normals_types/normalsTypes.usda");
    saveScreen(folder, "inspector-usd", 500);
    tools->inspectorAction()->trigger();

    show(app, QStringLiteral(TRIMEO_SOURCE_DIR "/samples/trefoil-knot.stl"));
    trimeo::SceneKitView* view = app.window()->contentView()->viewport();
    tools->measureAction()->trigger();
    // Across the knot: the first surface points found from the left and from the right.
    const int y = view->height() / 2;
    auto firstHit = [&](int from, int step) {
        for (int x = from; x >= 0 && x < view->width(); x += step)
            if (view->pickModelPoint(QPointF(x, y), false)) return x + 3 * step;
        return from;
    };
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(firstHit(0, 1), y));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(firstHit(view->width() - 1, -1), y));
    saveScreen(folder, "measure-knot", 500);
    tools->measureAction()->trigger();

    tools->sectionAction()->trigger();
    tools->sectionSlider()->setValue(450);
    saveScreen(folder, "section-knot", 500);
    tools->sectionAction()->trigger();
    tools->exportImage(folder + "/exported-knot.png", QSize(800, 600));
}
} // namespace

int main(int argc, char** argv) {
    trimeo::test::isolateSettings();
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const QString models = QStringLiteral(TRIMEO_ASSIMP_MODELS);

    for (const bool dark : {false, true}) {
        if (dark) QApplication::setPalette(darkPalette());
        const QString tone = dark ? "dark" : "light";
        trimeo::TrimeoApp app;
        app.start({});
        QWidget* window = app.window();
        if (!QTest::qWaitForWindowExposed(window)) return 1;
        saveScreen(folder, "start-" + tone, 400);
        show(app, models + "/PLY/Wuson.ply");
        saveScreen(folder, "wuson-" + tone, 400);
        show(app, models + "/FBX/spider.fbx");
        saveScreen(folder, "spider-" + tone, 400);
        if (dark) continue;

        show(app, models + "/Collada/box_nested_animation.dae");
        app.window()->contentView()->togglePlaying();
        saveScreen(folder, "animation-early", 300);
        saveScreen(folder, "animation-later", 900);
        show(app, models + "/FBX/animation_with_skeleton.fbx");
        app.window()->contentView()->togglePlaying();
        saveScreen(folder, "skeleton-early", 300);
        saveScreen(folder, "skeleton-later", 900);

        show(app, models + "/no-such-model.stl");
        saveScreen(folder, "failure-notice", 400);

        QMenu* view = app.viewMenu()->menu();
        view->popup(window->mapToGlobal(app.window()->menuBar()->actionGeometry(view->menuAction()).bottomLeft()));
        saveScreen(folder, "view-menu", 400);
        view->hide();
        modelTools(app, folder);
    }
    return 0;
}
