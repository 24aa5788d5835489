// Where the window goes: the design's frame on first start, the frame it closed with on the
// next, unless that no longer fits a screen; and, under a real window manager, a frame
// whose title bar and borders lie inside the usable area.
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "WindowPlacement.h"

#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <memory>

using trimeo::RememberedPlacement;
using namespace trimeo::test;

namespace {
QRect available(const ShownWindow& w) { return w.window.screen()->availableGeometry(); }
} // namespace

class WindowPlacementTest : public QObject {
    Q_OBJECT
    QProcess windowManager;

private slots:
    void init() { clearSettings(); }
    void cleanupTestCase() {
        windowManager.terminate();
        windowManager.waitForFinished(3000);
    }

    void theDesignsFrameIsCentredAndFullHeight() {
        QCOMPARE(trimeo::defaultFrame(QRect(0, 25, 1440, 875)), QRect(252, 25, 936, 875));
        QCOMPARE(trimeo::defaultFrame(QRect(1440, 0, 1000, 800)), QRect(1615, 0, 650, 800));
    }

    void aRememberedFrameIsUsedOnlyWhereItFits() {
        const QList<QRect> screens{QRect(0, 0, 1440, 900), QRect(1440, 0, 1920, 1080)};
        QVERIFY(!trimeo::rememberedPlacement(screens)); // nothing stored yet
        trimeo::rememberPlacement(RememberedPlacement{QRect(1500, 40, 800, 600), true});
        const auto kept = trimeo::rememberedPlacement(screens);
        QVERIFY(kept);
        QCOMPARE(kept->frame, QRect(1500, 40, 800, 600));
        QVERIFY(kept->maximized);
        QVERIFY(!trimeo::rememberedPlacement({QRect(0, 0, 1440, 900)})); // that screen is gone
        trimeo::rememberPlacement(RememberedPlacement{QRect(1000, 500, 800, 600), false});
        QVERIFY(!trimeo::rememberedPlacement(screens)); // straddles two screens
        trimeo::rememberPlacement(RememberedPlacement{QRect(10, 10, 20, 20), false});
        QVERIFY(!trimeo::rememberedPlacement(screens)); // too small to be a real window
    }

    void theWindowComesBackWhereItWasClosed() {
        QRect placed;
        {
            ShownWindow first;
            const QRect expected = trimeo::defaultFrame(available(first));
            QTRY_COMPARE(first.window.frameGeometry(), expected);
            first.window.setGeometry(available(first).adjusted(40, 60, -300, -200));
            QTRY_VERIFY(first.window.geometry() == available(first).adjusted(40, 60, -300, -200));
            placed = first.window.frameGeometry();
            first.window.close();
        }
        ShownWindow second;
        QTRY_COMPARE(second.window.frameGeometry(), placed);

        trimeo::rememberPlacement(RememberedPlacement{QRect(-5000, 0, 800, 600), false});
        ShownWindow third; // off every screen: the design's frame instead
        QTRY_COMPARE(third.window.frameGeometry(), trimeo::defaultFrame(available(third)));
    }

    void underAWindowManagerTheWholeFrameIsOnScreen() {
        const QString openbox = QStandardPaths::findExecutable("openbox");
        if (openbox.isEmpty()) QSKIP("needs a window manager: openbox is not installed");
        if (windowManager.state() == QProcess::NotRunning) {
            windowManager.start(openbox, {});
            QVERIFY(windowManager.waitForStarted());
            QTest::qWait(500);
        }
        ShownWindow w;
        const QRect expected = trimeo::defaultFrame(available(w));
        QTRY_VERIFY_WITH_TIMEOUT(w.window.frameGeometry() != w.window.geometry(), 3000); // framed
        QTRY_COMPARE(w.window.frameGeometry(), expected);
        QVERIFY(available(w).contains(w.window.frameGeometry()));
        QVERIFY(w.window.geometry().top() > expected.top()); // the title bar is above the content
    }
};

TRIMEO_APP_TEST_MAIN(WindowPlacementTest, true)
#include "WindowPlacementTest.moc"
