// Test-only: pictures of each display on the stand-in viewport, for looking at by eye.
// usage: app_screenshots OUTPUT_FOLDER
#include "AboutDialog.h"
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentView.h"
#include "FakeViewport.h"
#include "MainWindow.h"
#include "MenuCommands.h"
#include "OpenSequence.h"
#include "TrimeoApp.h"

#include <QDir>
#include <QMenu>

#include <sstream>

using trimeo::test::saveScreen;

int main(int argc, char** argv) {
    trimeo::test::isolateSettings();
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    trimeo::TrimeoApp app;
    app.start({});
    QWidget* window = app.window();
    saveScreen(folder, "empty-first-run");

    std::ostringstream ignored;
    const QString deep = trimeo::test::makeFile("a model in a deeply nested folder with a long name.stl");
    for (const QString& path : {trimeo::test::stillModel(), deep, trimeo::test::animatedModel()})
        trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(path), ignored);
    trimeo::fake::setMode(trimeo::fake::Mode::hold);
    app.appState().setFileURL(std::nullopt);
    saveScreen(folder, "empty-recent");

    trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(trimeo::test::animatedModel()), ignored);
    saveScreen(folder, "loading");
    trimeo::fake::finish(app.window()->contentView()->viewport(), true);
    saveScreen(folder, "model-animated-fake");

    trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(deep), ignored);
    trimeo::fake::fail(app.window()->contentView()->viewport(),
                       "The file could not be parsed: unexpected end of data at byte 84");
    saveScreen(folder, "error");

    trimeo::AboutDialog about(window);
    about.show();
    saveScreen(folder, "about");
    about.hide();

    QMenu* recent = app.menus()->recentMenu();
    QMenu* file = qobject_cast<QMenu*>(recent->parentWidget());
    file->popup(window->mapToGlobal(QPoint(0, 20)));
    QTest::qWait(300);
    file->setActiveAction(recent->menuAction());
    recent->popup(file->mapToGlobal(QPoint(file->width(), file->actionGeometry(recent->menuAction()).top())));
    saveScreen(folder, "menu-open-recent");
    return 0;
}
