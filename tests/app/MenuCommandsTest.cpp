// The menus: items, shortcuts, and enablement and recent items following the state.
#include "AppState.h"
#include "AppTestSupport.h"
#include "MenuCommands.h"
#include "OpenSequence.h"
#include "RecentNames.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include <sstream>

using trimeo::AppState;
using trimeo::MenuCommands;
using namespace trimeo::test;

namespace {
// A menu bar over its own state.
struct Menus {
    AppState state;
    QMenuBar bar;
    MenuCommands menus{state, &bar};
};
} // namespace

class MenuCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        clearSettings();
        failOnWarnings();
    }

    void menusHoldTheItemsInOrderWithTheirShortcuts() {
        Menus m;
        auto& [state, bar, menus] = m;
        const QList<QAction*> top = bar.actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(menuTitles(top[0]->menu()), (QStringList{"Open...", "Close", "--", "Open Recent", "--", "Quit"}));
        QCOMPARE(menuTitles(top[1]->menu()), QStringList{"About Trimeo"});
        QCOMPARE(menus.openAction()->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(menus.closeAction()->shortcut(), QKeySequence("Ctrl+W"));
        QCOMPARE(menus.quitAction()->shortcut(), QKeySequence("Ctrl+Q"));
        QVERIFY(menus.recentMenu()->menuAction()->shortcut().isEmpty());
        QVERIFY(menus.openAction()->isEnabled());
        QVERIFY(menus.aboutAction()->isEnabled());
    }

    void closeFollowsTheOpenFile() {
        Menus m;
        auto& [state, bar, menus] = m;
        QVERIFY(!menus.closeAction()->isEnabled());
        openFile(state, makeFile("a.stl"));
        QVERIFY(menus.closeAction()->isEnabled());
        const QList<QUrl> recent = state.recentFiles();
        menus.closeAction()->trigger();
        QVERIFY(!state.fileURL());
        QVERIFY(state.fileData().isEmpty());
        QCOMPARE(state.recentFiles(), recent);
        QVERIFY(!menus.closeAction()->isEnabled());
    }

    void openRecentListsFilesOpensThemAndClears() {
        Menus m;
        auto& [state, bar, menus] = m;
        QVERIFY(!menus.recentMenu()->menuAction()->isEnabled());
        QVERIFY(menus.recentMenu()->actions().isEmpty());

        const QString first = makeFile("first.stl");
        openFile(state, first);
        QCOMPARE(menuTitles(menus.recentMenu()), (QStringList{"first.stl", "--", "Clear Menu"}));
        QVERIFY(menus.recentMenu()->menuAction()->isEnabled());
        openFile(state, makeFile("second.obj"));
        QCOMPARE(menuTitles(menus.recentMenu()), (QStringList{"second.obj", "first.stl", "--", "Clear Menu"}));
        QSignalSpy spy(&menus, &MenuCommands::openRecentRequested);
        menus.recentMenu()->actions().at(1)->trigger();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toUrl(), QUrl::fromLocalFile(first));

        menus.clearRecentAction()->trigger();
        QVERIFY(menus.recentMenu()->actions().isEmpty());
        QVERIFY(!menus.recentMenu()->menuAction()->isEnabled());
        AppState relaunched;
        QVERIFY(relaunched.recentFiles().isEmpty());
    }

    void clashingNamesAreToldApartByTheirFolders() {
        auto titlesOf = [](const QStringList& paths) {
            QList<QUrl> urls;
            for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
            return trimeo::recentFileTitles(urls);
        };
        QCOMPARE(titlesOf({"/m/left/part.stl", "/m/right/part.stl", "/m/other.stl"}),
                 (QStringList{"part.stl (left)", "part.stl (right)", "other.stl"}));
        QCOMPARE(titlesOf({"/a/x/same/k.obj", "/b/x/same/k.obj", "/c/k.obj"}),
                 (QStringList{"k.obj (a/x/same)", "k.obj (b/x/same)", "k.obj (c)"}));
        QCOMPARE(titlesOf({"/k.obj", "/d/k.obj"}), (QStringList{"k.obj", "k.obj (d)"}));
        QCOMPARE(titlesOf({"/d/k.obj", "/d/k.obj"}), (QStringList{"k.obj", "k.obj"})); // a stored duplicate

        Menus m;
        auto& [state, bar, menus] = m;
        const QString first = makeFile("part.stl"), second = makeFile("part.stl"); // two folders
        openFile(state, first);
        openFile(state, second);
        const QList<QAction*> items = menus.recentMenu()->actions();
        const QString folder = QFileInfo(second).dir().dirName();
        QCOMPARE(items[0]->text(), "part.stl (" + folder + ")");
        QCOMPARE(items[0]->toolTip(), second);
        QCOMPARE(items[0]->statusTip(), second);
        QCOMPARE(items[1]->toolTip(), first);
        QVERIFY(menus.recentMenu()->toolTipsVisible());
    }

    // A file name is a title shown as written, not a mnemonic.
    void ampersandInFileNameIsShownAsWritten() {
        Menus m;
        auto& [state, bar, menus] = m;
        openFile(state, makeFile("nuts & bolts.stl"));
        QAction* item = menus.recentMenu()->actions().first();
        QCOMPARE(item->text(), QStringLiteral("nuts && bolts.stl"));
        QCOMPARE(item->iconText(), QStringLiteral("nuts & bolts.stl"));
    }
};

TRIMEO_APP_TEST_MAIN(MenuCommandsTest, true)
#include "MenuCommandsTest.moc"
