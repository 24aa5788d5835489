// The window from the keyboard: the View menu's items, keys and state in step with the
// toolbar; reload; full screen; Tab through the toolbar with a visible focus ring; recent
// rows and focused buttons taking Space and Return before any window shortcut.
#include "AppTestSupport.h"
#include "ContentToolBar.h"
#include "ContentView.h"
#include "EmptyDisplay.h"
#include "FailureNotice.h"
#include "FakeViewport.h"
#include "MainWindow.h"
#include "MenuCommands.h"
#include "RecentFileButton.h"
#include "TrimeoApp.h"
#include "ViewCommands.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

#include <sstream>

using trimeo::ContentView;
using namespace trimeo::test;
namespace fake = trimeo::fake;

namespace {
struct App {
    trimeo::TrimeoApp app;
    ContentView* content = app.window()->contentView();
    trimeo::ViewCommands* view = app.viewMenu();
    App() {
        app.start({});
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        activate();
    }
    // The first OpenGL child makes Qt create the window anew, which without a window
    // manager leaves it inactive: keys would reach no shortcut.
    void activate() {
        app.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.window()));
    }
    void open(const QString& path) {
        std::ostringstream out;
        QVERIFY(trimeo::runOpenSequence(app.appState(), QUrl::fromLocalFile(path), out));
        QTRY_VERIFY_WITH_TIMEOUT(!content->isLoading(), 20000);
        activate();
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : app.window();
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
};

// Presses Tab (as a user does) until `target` has the focus; false if it never comes.
bool tabTo(QWidget* target) {
    for (int i = 0; i < 30 && QApplication::focusWidget() != target; ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : target->window(), Qt::Key_Tab);
    return QApplication::focusWidget() == target;
}

// How many pixels of `widget` are drawn in its palette's highlight colour.
int highlightPixels(QWidget* widget) {
    const QImage picture = widget->grab().toImage();
    const QColor ring = widget->palette().color(QPalette::Highlight);
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            count += qAbs(c.red() - ring.red()) + qAbs(c.green() - ring.green()) + qAbs(c.blue() - ring.blue()) < 60;
        }
    return count;
}
} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        clearSettings();
        failOnWarnings();
        fake::setMode(fake::Mode::load);
    }

    void theViewMenuSitsBeforeHelpWithItsKeys() {
        App a;
        QStringList menus;
        for (QAction* action : a.app.window()->menuBar()->actions()) menus.append(action->text());
        QCOMPARE(menus, (QStringList{"&File", "&View", "&Help"}));
        QCOMPARE(menuTitles(a.view->menu()),
                 (QStringList{"Wireframe", "Play", "Reset View", "--", "Reload", "--", "Full Screen", "--", "Inspector",
                              "Measure", "Section", "--", "Next File in Folder", "Previous File in Folder"}));
        QCOMPARE(a.view->wireframeAction()->shortcut(), QKeySequence("W"));
        QCOMPARE(a.view->playPauseAction()->shortcut(), QKeySequence("Space"));
        QCOMPARE(a.view->resetViewAction()->shortcut(), QKeySequence("Home"));
        QCOMPARE(a.view->reloadAction()->shortcut(), QKeySequence("Ctrl+R"));
        QCOMPARE(a.view->fullScreenAction()->shortcut(), QKeySequence("F11"));
        // Nothing open: only full screen does anything.
        for (QAction* action : {a.view->wireframeAction(), a.view->playPauseAction(), a.view->resetViewAction(),
                                a.view->reloadAction()})
            QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
        QVERIFY(a.view->fullScreenAction()->isEnabled());
    }

    void wireframeKeyAndToolbarStayInStep() {
        App a;
        a.open(stillModel());
        QVERIFY(a.view->wireframeAction()->isEnabled());
        QVERIFY(!a.view->wireframeAction()->isChecked());
        a.key(Qt::Key_W);
        QVERIFY(a.content->showWireframe());
        QVERIFY(a.view->wireframeAction()->isChecked());
        QVERIFY(fake::wireframeOf(a.content->viewport()));
        a.content->toolBar()->wireframeAction()->trigger();
        QVERIFY(!a.content->showWireframe());
        QVERIFY(!a.view->wireframeAction()->isChecked());
    }

    void spacePlaysAndPausesAnimatedModelsOnly() {
        App a;
        a.open(stillModel());
        QVERIFY(!a.view->playPauseAction()->isEnabled());
        a.key(Qt::Key_Space);
        QVERIFY(!a.content->isPlaying());

        a.open(animatedModel());
        QVERIFY(a.view->playPauseAction()->isEnabled());
        QCOMPARE(QApplication::focusWidget(), a.content->viewport()); // a new model takes the keys
        a.key(Qt::Key_Space);
        QVERIFY(a.content->isPlaying());
        QCOMPARE(a.view->playPauseAction()->text(), QStringLiteral("Pause"));
        QCOMPARE(a.content->toolBar()->playPauseAction()->text(), QStringLiteral("Pause"));
        QVERIFY(a.content->viewport()->isPlaying());
        a.key(Qt::Key_Space);
        QVERIFY(!a.content->isPlaying());
        QCOMPARE(a.view->playPauseAction()->text(), QStringLiteral("Play"));
    }

    void homeResetsTheViewAsADoubleClickDoes() {
        App a;
        a.open(stillModel());
        QVERIFY(a.view->resetViewAction()->isEnabled());
        a.key(Qt::Key_Home);
        QCOMPARE(fake::resetCount(a.content->viewport()), 1);
    }

    void reloadReadsTheFileAgainAndLoadsItAnew() {
        App a;
        const QString path = makeFile("changing.stl", "solid one\nendsolid one\n");
        a.open(path);
        a.content->toggleWireframe();
        QPointer<trimeo::SceneKitView> first = a.content->viewport();
        const int created = fake::createdCount();
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("solid two\nendsolid two\n");
        file.close();

        a.key(Qt::Key_R, Qt::ControlModifier);
        QTRY_COMPARE(a.app.appState().fileData(), QByteArray("solid two\nendsolid two\n"));
        QTRY_COMPARE(fake::createdCount(), created + 1);
        QTRY_VERIFY(!first); // replaced, not refreshed
        QVERIFY(a.content->showWireframe()); // kept, as for any new file
        QTRY_VERIFY(!a.content->isLoading());

        // Gone from disk: the model stays, the window says why.
        QVERIFY(QFile::remove(path));
        const trimeo::SceneKitView* shown = a.content->viewport();
        a.view->reloadAction()->trigger();
        QTRY_VERIFY(a.content->failureNotice()->isVisible());
        QCOMPARE(a.content->viewport(), shown);
        QCOMPARE(fake::createdCount(), created + 1);
    }

    void f11TogglesFullScreen() {
        App a;
        a.key(Qt::Key_F11);
        QTRY_VERIFY(a.app.window()->isFullScreen());
        QVERIFY(a.view->fullScreenAction()->isChecked());
        a.key(Qt::Key_F11);
        QTRY_VERIFY(!a.app.window()->isFullScreen());
        QVERIFY(!a.view->fullScreenAction()->isChecked());
    }

    void tabReachesEveryToolbarButtonWithAVisibleRing() {
        App a;
        a.open(animatedModel());
        auto* bar = a.content->toolBar();
        QList<QWidget*> buttons;
        for (QAction* action : {bar->playPauseAction(), bar->wireframeAction(), bar->openAction()})
            buttons.append(bar->widgetForAction(action));
        for (QWidget* button : buttons) {
            QVERIFY(button->focusPolicy() & Qt::TabFocus);
            const int unfocused = highlightPixels(button);
            QVERIFY2(tabTo(button), qPrintable(button->objectName()));
            QVERIFY(highlightPixels(button) > unfocused + 20);
        }
        // Tab moves from one to the next.
        buttons[1]->setFocus(Qt::MouseFocusReason);
        QVERIFY(tabTo(buttons[0]));
        QTest::keyClick(buttons[0], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), buttons[1]);

        // A focused button takes Space itself: the wireframe button, not play/pause.
        QTest::keyClick(buttons[1], Qt::Key_Space);
        QVERIFY(a.content->showWireframe());
        QVERIFY(!a.content->isPlaying());
        QTest::keyClick(buttons[1], Qt::Key_Return);
        QTRY_VERIFY(!a.content->showWireframe());
    }

    void recentRowsShowFocusAndOpenWithReturnAndSpace() {
        const QString first = makeFile("first.stl"), second = makeFile("second.stl");
        {
            trimeo::AppState earlier;
            earlier.addToRecentFiles(QUrl::fromLocalFile(first));
            earlier.addToRecentFiles(QUrl::fromLocalFile(second));
        }
        App a;
        const auto rows = a.content->emptyDisplay()->findChildren<trimeo::RecentFileButton*>();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1]->toolTip(), first);
        QVERIFY(rows[0]->focusPolicy() & Qt::TabFocus);
        rows[0]->setFocus(Qt::MouseFocusReason);
        const int clicked = highlightPixels(rows[0]); // focus from the pointer: no ring
        rows[1]->setFocus(Qt::MouseFocusReason);
        QVERIFY(tabTo(rows[0]));
        QVERIFY(highlightPixels(rows[0]) > clicked + 20);

        QTest::keyClick(rows[1], Qt::Key_Return);
        QTRY_VERIFY(a.app.appState().fileURL().has_value());
        QCOMPARE(*a.app.appState().fileURL(), QUrl::fromLocalFile(first));

        a.app.menus()->closeAction()->trigger();
        QTRY_COMPARE(a.content->emptyDisplay()->findChildren<trimeo::RecentFileButton*>().size(), 2);
        auto* row = a.content->emptyDisplay()->findChildren<trimeo::RecentFileButton*>().at(1);
        row->setFocus(Qt::TabFocusReason);
        QTest::keyClick(row, Qt::Key_Space);
        QTRY_COMPARE(*a.app.appState().fileURL(), QUrl::fromLocalFile(second));
    }
};

TRIMEO_APP_TEST_MAIN(KeyboardTest, true)
#include "KeyboardTest.moc"
