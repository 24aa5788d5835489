// The whole window on the real viewport (once it is in the tree): a file named on the
// command line is loaded and shown with the toolbar its model calls for.
#include "AppTestSupport.h"
#include "ContentToolBar.h"
#include "ContentView.h"
#include "FailureNotice.h"
#include "MainWindow.h"
#include "ModelDisplay.h"
#include "TrimeoApp.h"

#include <QAction>
#include <QFile>
#include <QSignalSpy>

#include <cstring>

using trimeo::ContentView;
using namespace trimeo::test;

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void commandLineFileIsLoadedAndShown_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<bool>("animated");
        QTest::newRow("animated COLLADA") << animatedModel() << true << true;
        QTest::newRow("still STL") << stillModel() << true << false;
        QTest::newRow("unreadable format") << makeFile("notes.xyz", "not a model") << false << false;
    }
    void commandLineFileIsLoadedAndShown() {
        QFETCH(QString, path);
        QFETCH(bool, loads);
        QFETCH(bool, animated);
        trimeo::TrimeoApp app;
        app.start({QUrl::fromLocalFile(path), QUrl::fromLocalFile(stillModel())});
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        ContentView* content = app.window()->contentView();
        QTRY_VERIFY(app.appState().fileURL().has_value()); // read in the background
        QCOMPARE(*app.appState().fileURL(), QUrl::fromLocalFile(path));
        QCOMPARE(app.appState().recentFiles().size(), 1);

        QTRY_VERIFY_WITH_TIMEOUT(!content->isLoading(), 30000);
        QCOMPARE(content->display(), loads ? ContentView::Display::model : ContentView::Display::error);
        QCOMPARE(content->hasAnimations(), animated);
        auto* bar = content->toolBar();
        QCOMPARE(bar->playPauseAction()->isVisible(), animated);
        QVERIFY(bar->wireframeAction()->isVisible());
        if (!loads) return;
        QVERIFY(!content->modelDisplay()->isLoadingShown());
        bar->wireframeAction()->trigger();
        if (animated) {
            bar->playPauseAction()->trigger();
            QVERIFY(content->viewport()->isPlaying());
        }
        QTest::qWait(100); // a few frames with the options applied must not upset the view
        QCOMPARE(content->display(), ContentView::Display::model);
    }

    // A binary STL of four billion facets, sparse on disk: larger than the memory of any
    // machine here. The window refuses it with the failure notice and carries on, and the
    // model shown before stays.
    void aModelLargerThanMemoryIsRefusedAndTheWindowCarriesOn() {
        const QString path = makeFile("huge.stl", QByteArray());
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray header(84, '\0');
            const quint32 facets = 0xFFFFFFFF;
            std::memcpy(header.data() + 80, &facets, 4);
            QCOMPARE(file.write(header), qint64(84));
            QVERIFY(file.resize(84 + 50 * qint64(facets)));
        }
        trimeo::TrimeoApp app;
        app.start({QUrl::fromLocalFile(stillModel())});
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        ContentView* content = app.window()->contentView();
        QTRY_VERIFY_WITH_TIMEOUT(content->display() == ContentView::Display::model, 30000);

        QSignalSpy failed(&app.appState(), &trimeo::AppState::openFailed);
        app.openHandedOver({QUrl::fromLocalFile(path)});
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
        const QString reason = failed.at(0).at(1).toString();
        QVERIFY2(reason.startsWith("Not enough memory to load this model"), qPrintable(reason));
        QVERIFY(content->failureNotice()->isVisible());
        QVERIFY2(content->failureNotice()->text().contains("Not enough memory"), qPrintable(content->failureNotice()->text()));
        QCOMPARE(*app.appState().fileURL(), QUrl::fromLocalFile(stillModel()));
        QCOMPARE(content->display(), ContentView::Display::model);
        QFile::remove(path);
    }
};

TRIMEO_APP_TEST_MAIN(EndToEndTest, true)
#include "EndToEndTest.moc"
