// Test-only: pictures of the model tools on real files, for looking at by eye: the
// inspector on a 3MF and on a USD stage, a measurement, a section of the sample knot, and
// an exported image (the --render picture of the same view is made beside it by the caller).
// usage: app_model_tools_screenshots OUTPUT_FOLDER
#include "AppTestSupport.h"
#include "ContentView.h"
#include "InspectorPanel.h"
#include "MainWindow.h"
#include "ModelTools.h"
#include "TrimeoApp.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QScreen>
#include <QSlider>

#include <sstream>

namespace {

void save(QWidget* window, const QString& folder, const QString& name, int settleMs = 500) {
    QTest::qWait(settleMs);
    window->screen()->grabWindow(0).save(folder + '/' + name + ".png");
}

bool show(trimeo::TrimeoApp& app, const QString& path) {
    std::ostringstream ignored;
    trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(path), ignored);
    QDeadlineTimer deadline(60000);
    while (app.window()->contentView()->isLoading() && !deadline.hasExpired()) QTest::qWait(20);
    QTest::qWait(300);
    auto* panel = app.tools()->inspectorPanel();
    while (panel->isMeasuring() && !deadline.hasExpired()) QTest::qWait(20);
    return !deadline.hasExpired();
}

} // namespace

int main(int argc, char** argv) {
    trimeo::test::isolateSettings();
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const QString fixtures = QStringLiteral(TRIMEO_FIXTURES);
    const QString knot = QStringLiteral(TRIMEO_SOURCE_DIR "/samples/trefoil-knot.stl");

    trimeo::TrimeoApp app;
    app.start({});
    QWidget* window = app.window();
    QTest::qWaitForWindowExposed(window);
    trimeo::ModelTools* tools = app.tools();

    tools->inspectorAction()->trigger();
    show(app,
         fixtures + "/real/3mf/PrusaSlicer/resources/calibration/cr3d/cube/CR-3D_Dual_Calibration_Cube_Extruder.3mf");
    save(window, folder, "inspector-3mf");
    show(app,
         fixtures + "/real/usd/usd-wg-assets/test_assets/schemaTests/usdGeom/meshes/normals_types/normalsTypes.usda");
    save(window, folder, "inspector-usd");
    tools->inspectorAction()->trigger();

    show(app, knot);
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
    save(window, folder, "measure-knot");
    tools->measureAction()->trigger();

    tools->sectionAction()->trigger();
    tools->sectionSlider()->setValue(450);
    save(window, folder, "section-knot");
    tools->sectionAction()->trigger();

    tools->exportImage(folder + "/exported-knot.png", QSize(800, 600));
    return 0;
}
