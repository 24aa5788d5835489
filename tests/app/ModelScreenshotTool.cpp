// Test-only: pictures of real models in the window, on the real viewport, in the light and
// a dark palette, for looking at by eye: the white models (Wuson.ply, spider.fbx), two
// skinned ones at two moments of their playback, the View menu and a failure notice.
// usage: app_model_screenshots OUTPUT_FOLDER
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "OpenSequence.h"
#include "TrimeoApp.h"
#include "ViewCommands.h"

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <sstream>

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

void save(QWidget* window, const QString& folder, const QString& name, int settleMs = 400) {
    QTest::qWait(settleMs);
    window->screen()->grabWindow(0).save(folder + '/' + name + ".png");
}

void show(trimeo::TrimeoApp& app, const QString& path) {
    std::ostringstream ignored;
    trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(path), ignored);
    QTRY_VERIFY_WITH_TIMEOUT(!app.window()->contentView()->isLoading(), 60000);
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
        QTest::qWaitForWindowExposed(window);
        save(window, folder, "start-" + tone);
        show(app, models + "/PLY/Wuson.ply");
        save(window, folder, "wuson-" + tone);
        show(app, models + "/FBX/spider.fbx");
        save(window, folder, "spider-" + tone);
        if (dark) continue;

        show(app, models + "/Collada/box_nested_animation.dae");
        app.window()->contentView()->togglePlaying();
        save(window, folder, "animation-early", 300);
        save(window, folder, "animation-later", 900);
        show(app, models + "/FBX/animation_with_skeleton.fbx");
        app.window()->contentView()->togglePlaying();
        save(window, folder, "skeleton-early", 300);
        save(window, folder, "skeleton-later", 900);

        std::ostringstream ignored;
        trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(models + "/no-such-model.stl"), ignored);
        save(window, folder, "failure-notice");

        QMenu* view = app.viewMenu()->menu();
        view->popup(window->mapToGlobal(app.window()->menuBar()->actionGeometry(view->menuAction()).bottomLeft()));
        save(window, folder, "view-menu");
        view->hide();
    }
    return 0;
}
