// At a device pixel ratio of 2 (QT_SCALE_FACTOR=2) the window draws at full resolution:
// the 3D view's frame, the displays' symbols and the toolbar's icons have twice as many
// pixels each way as their size on screen.
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentToolBar.h"
#include "ContentView.h"
#include "EmptyDisplay.h"
#include "MainWindow.h"
#include "ModelDisplay.h"

#include <QLabel>
#include <QToolButton>

#include <sstream>

using namespace trimeo::test;

class HiDpiTest : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void everythingIsDrawnAtTwiceTheResolution() {
        trimeo::AppState state;
        auto* content = new trimeo::ContentView(state);
        trimeo::MainWindow window(content);
        window.resize(800, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.devicePixelRatioF(), 2.0);

        for (QLabel* label : content->emptyDisplay()->findChildren<QLabel*>()) {
            if (label->pixmap().isNull()) continue;
            QCOMPARE(label->pixmap().devicePixelRatio(), 2.0); // the symbol: 64 points, 128 pixels
            QCOMPARE(label->pixmap().deviceIndependentSize(), QSizeF(64, 64));
        }

        std::ostringstream out;
        QVERIFY(trimeo::runOpenSequence(state, QUrl::fromLocalFile(stillModel()), out));
        QTRY_VERIFY_WITH_TIMEOUT(!content->isLoading(), 30000);
        trimeo::SceneKitView* view = content->viewport();
        QTest::qWait(100);
        const QImage frame = view->grabFramebuffer();
        QCOMPARE(frame.size(), view->size() * 2);

        auto* open = qobject_cast<QToolButton*>(content->toolBar()->widgetForAction(content->toolBar()->openAction()));
        const QPixmap icon = open->icon().pixmap(open->iconSize(), window.devicePixelRatioF());
        QCOMPARE(icon.size(), open->iconSize() * 2);
    }
};

int main(int argc, char** argv) {
    trimeo::test::isolateSettings();
    if (!trimeo::test::hasDisplay()) {
        std::cout << "SKIP HiDpiTest: needs a display; run under xvfb-run\n";
        return 77;
    }
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    HiDpiTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "HiDpiTest.moc"
