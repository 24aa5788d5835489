// The window content on the stand-in viewport: display choice, the recent list, the
// toolbar for animated and still models, one viewport per distinct file, late results
// of replaced viewports, title and window geometry.
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentToolBar.h"
#include "ContentView.h"
#include "EmptyDisplay.h"
#include "ErrorDisplay.h"
#include "FakeViewport.h"
#include "Icons.h"
#include "MainWindow.h"
#include "ModelDisplay.h"
#include "OpenSequence.h"
#include "RecentFileButton.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <memory>
#include <sstream>

using trimeo::AppState;
using trimeo::ContentView;
using namespace trimeo::test;
namespace fake = trimeo::fake;
using Shown = ContentView::Display;

namespace {
// The toolbar's shown items, in order: the file name as "name:<text>", buttons by label.
QStringList shownItems(const trimeo::ContentToolBar* bar) {
    QStringList items;
    for (QAction* action : bar->actions()) {
        if (!action->isVisible()) continue;
        if (action == bar->fileNameAction()) items.append("name:" + bar->fileNameLabel()->text());
        else if (!action->text().isEmpty()) items.append(action->text());
    }
    return items;
}

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        clearSettings();
        failOnWarnings();
        fake::setMode(fake::Mode::load);
    }

    // The bundled SVGs need Qt's SVG icon engine (Debian: libqt6svg6) to draw at all.
    void everyIconDraws() {
        using trimeo::IconName;
        for (IconName name : {IconName::cube, IconName::warning, IconName::play, IconName::pause, IconName::grid,
                              IconName::gridFilled, IconName::open, IconName::application}) {
            const QImage picture = trimeo::icon(name).pixmap(24, 24).toImage();
            QVERIFY2(!picture.isNull(), qPrintable(QString::number(int(name))));
            bool drawn = false;
            for (int y = 0; y < picture.height() && !drawn; ++y)
                for (int x = 0; x < picture.width() && !drawn; ++x) drawn = qAlpha(picture.pixel(x, y)) > 0;
            QVERIFY2(drawn, qPrintable(QString("icon %1 is blank").arg(int(name))));
        }
    }

    void emptyDisplayWithoutRecentFiles() {
        ShownWindow w;
        QCOMPARE(w.content->display(), Shown::empty);
        QCOMPARE(w.content->emptyDisplay()->openButton()->text(), QStringLiteral("Open..."));
        QVERIFY(w.content->emptyDisplay()->findChildren<trimeo::RecentFileButton*>().isEmpty());
        QList<QLabel*> labels = w.content->emptyDisplay()->findChildren<QLabel*>();
        QStringList shownTexts;
        for (QLabel* label : labels)
            if (label->isVisible() && !label->text().isEmpty()) shownTexts.append(label->text());
        QCOMPARE(shownTexts, QStringList{"Open a 3D file to get started"});
        QCOMPARE(shownItems(w.content->toolBar()), QStringList{"Open"});
        QCOMPARE(w.content->toolBar()->openAction()->toolTip(), QStringLiteral("Open a 3D file"));
        QVERIFY(!w.content->viewport());
    }

    void longReadCoversTheWindowWithTheLoadingOverlay() {
        const QString file = makeFile("slow.stl");
        ShownWindow w;
        QCOMPARE(w.content->display(), Shown::empty);
        {
            BusyPool pool; // the read cannot start until released
            trimeo::startOpenSequence(w.state, QUrl::fromLocalFile(file), std::cout, 20);
            QTRY_VERIFY(w.content->modelDisplay()->isVisible());
            QVERIFY(w.content->modelDisplay()->isLoadingShown());
            QVERIFY(!w.content->emptyDisplay()->isVisible());
            QVERIFY(!w.state.fileURL());
            pool.release();
            QTRY_VERIFY(w.state.fileURL().has_value());
        }
        QCOMPARE(w.content->display(), Shown::model);
        QTRY_VERIFY(!w.content->isLoading());
        QVERIFY(!w.content->modelDisplay()->isLoadingShown());
    }

    void recentListShowsFullPathsNewestFirstAndOpensOnClick() {
        const QString longName = QString(120, 'x') + ".stl";
        const QStringList files{makeFile("one.stl"), makeFile("two.obj"), makeFile(longName)};
        {
            AppState earlier;
            for (const QString& f : files) earlier.addToRecentFiles(QUrl::fromLocalFile(f));
        }
        ShownWindow w;
        w.content->emptyDisplay()->setFixedWidth(900);
        QTRY_VERIFY(w.content->emptyDisplay()->findChildren<trimeo::RecentFileButton*>().size() == 3);
        const auto rows = w.content->emptyDisplay()->findChildren<trimeo::RecentFileButton*>();
        QStringList rowPaths;
        for (auto* row : rows) rowPaths.append(row->text());
        QCOMPARE(rowPaths, (QStringList{files[2], files[1], files[0]}));
        QVERIFY(rows[0]->width() <= 400);
        const QString shown = rows[0]->displayedText();
        QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
        QVERIFY(shown.startsWith(files[2].left(5)));
        QVERIFY(shown.endsWith("x.stl"));
        QCOMPARE(rows[1]->displayedText(), files[1]);
        QCOMPARE(rows[1]->cursor().shape(), Qt::PointingHandCursor);

        QTest::mouseClick(rows[2], Qt::LeftButton);
        QTRY_VERIFY(w.state.fileURL().has_value()); // read in the background
        QCOMPARE(*w.state.fileURL(), QUrl::fromLocalFile(files[0]));
        QCOMPARE(w.content->display(), Shown::model);
    }

    void animatedModelOffersPlayPause() {
        ShownWindow w;
        openFile(w.state, animatedModel());
        QCOMPARE(w.content->display(), Shown::model);
        QVERIFY(w.content->isLoading());
        QVERIFY(w.content->modelDisplay()->isLoadingShown());
        QCOMPARE(shownItems(w.content->toolBar()), (QStringList{"name:box_nested_animation.dae", "Wireframe", "Open"}));
        QTRY_VERIFY_WITH_TIMEOUT(!w.content->isLoading(), 20000);
        QVERIFY(!w.content->modelDisplay()->isLoadingShown());
        QVERIFY(w.content->hasAnimations());
        QVERIFY(!w.content->isPlaying());
        const auto* bar = w.content->toolBar();
        QCOMPARE(shownItems(bar), (QStringList{"name:box_nested_animation.dae", "Play", "Wireframe", "Open"}));
        QCOMPARE(bar->playPauseAction()->toolTip(), QStringLiteral("Play animation"));
        QCOMPARE(bar->fileNameLabel()->toolTip(), animatedModel());

        bar->playPauseAction()->trigger();
        QVERIFY(w.content->isPlaying());
        QCOMPARE(bar->playPauseAction()->text(), QStringLiteral("Pause"));
        QCOMPARE(bar->playPauseAction()->toolTip(), QStringLiteral("Pause animation"));
        QVERIFY(w.content->viewport()->isPlaying());
        bar->playPauseAction()->trigger();
        QCOMPARE(bar->playPauseAction()->text(), QStringLiteral("Play"));
    }

    void stillModelHasNoPlayPauseAndTogglesWireframe() {
        ShownWindow w;
        openFile(w.state, stillModel());
        QTRY_VERIFY_WITH_TIMEOUT(!w.content->isLoading(), 20000);
        QCOMPARE(w.content->display(), Shown::model);
        const auto* bar = w.content->toolBar();
        QCOMPARE(shownItems(bar), (QStringList{"name:Spider_binary.stl", "Wireframe", "Open"}));
        QCOMPARE(bar->wireframeAction()->toolTip(), QStringLiteral("Toggle wireframe view"));
        const qint64 gridIcon = bar->wireframeAction()->icon().cacheKey();
        const int refreshes = fake::refreshCount(w.content->viewport());

        bar->wireframeAction()->trigger();
        QVERIFY(w.content->showWireframe());
        QVERIFY(fake::wireframeOf(w.content->viewport()));
        QVERIFY(fake::refreshCount(w.content->viewport()) > refreshes);
        QVERIFY(bar->wireframeAction()->icon().cacheKey() != gridIcon);
        QCOMPARE(bar->wireframeAction()->text(), QStringLiteral("Wireframe"));
        bar->wireframeAction()->trigger();
        QVERIFY(!fake::wireframeOf(w.content->viewport()));
    }

    // Inside a toolbar a label takes the button text colour unless told otherwise.
    void fileNameIsDrawnInTheSecondaryColour() {
        ShownWindow w;
        openFile(w.state, makeFile("grey name.stl"));
        QLabel* label = w.content->toolBar()->fileNameLabel();
        const QImage picture = label->grab().toImage();
        int darkest = 255;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) darkest = qMin(darkest, qGray(picture.pixel(x, y)));
        const QColor secondary = label->palette().color(QPalette::PlaceholderText);
        const QColor background = w.content->toolBar()->palette().color(QPalette::Button);
        const double alpha = secondary.alphaF();
        const int expected = qRound(alpha * qGray(secondary.rgb()) + (1 - alpha) * qGray(background.rgb()));
        QVERIFY2(qAbs(darkest - expected) <= 25, qPrintable(QString("darkest %1, expected about %2").arg(darkest).arg(expected)));
    }

    void failedLoadShowsErrorDisplayUntilClose() {
        ShownWindow w;
        const QString path = makeFile("notes.xyz", "hello");
        openFile(w.state, path);
        QTRY_COMPARE_WITH_TIMEOUT(w.content->display(), Shown::error, 20000);
        QVERIFY(w.content->errorMessage());
        QVERIFY(!w.content->errorMessage()->isEmpty());
        QCOMPARE(w.content->errorDisplay()->message(), *w.content->errorMessage());
        QVERIFY(!w.content->viewport());
        QVERIFY(!w.content->isLoading()); // the failing viewport's last write still counts
        QCOMPARE(shownItems(w.content->toolBar()), (QStringList{"name:notes.xyz", "Wireframe", "Open"}));

        w.state.setFileURL(std::nullopt);
        w.state.setFileData({});
        QCOMPARE(w.content->display(), Shown::empty);
        QVERIFY(!w.content->errorMessage());
    }

    void errorTextIsShownAsWritten() {
        ShownWindow w;
        fake::setMode(fake::Mode::hold);
        openFile(w.state, makeFile("a.stl"));
        fake::fail(w.content->viewport(), "<b>bad</b> data\nsecond line");
        QCOMPARE(w.content->display(), Shown::error);
        auto* label = w.content->errorDisplay()->findChild<QLabel*>("errorMessage");
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->text(), QStringLiteral("<b>bad</b> data\nsecond line"));
    }

    void openingTheShownFileAgainKeepsTheViewState() {
        ShownWindow w;
        const QString path = stillModel();
        openFile(w.state, path);
        QTRY_VERIFY_WITH_TIMEOUT(!w.content->isLoading(), 20000);
        w.content->toolBar()->wireframeAction()->trigger();
        const trimeo::SceneKitView* viewport = w.content->viewport();
        const int created = fake::createdCount();

        openFile(w.state, path);
        QCOMPARE(w.content->viewport(), viewport);
        QCOMPARE(fake::createdCount(), created);
        QVERIFY(!w.content->isLoading());
        QVERIFY(w.content->showWireframe());
    }

    void anotherFileGetsANewViewportAndKeepsWireframe() {
        ShownWindow w;
        openFile(w.state, animatedModel());
        QTRY_VERIFY_WITH_TIMEOUT(w.content->hasAnimations(), 20000);
        w.content->toolBar()->playPauseAction()->trigger();
        w.content->toolBar()->wireframeAction()->trigger();
        QPointer<trimeo::SceneKitView> first = w.content->viewport();

        fake::setMode(fake::Mode::hold);
        openFile(w.state, stillModel());
        QVERIFY(w.content->viewport() != first);
        QVERIFY(w.content->isLoading());
        QVERIFY(w.content->modelDisplay()->isLoadingShown());
        QVERIFY(!w.content->hasAnimations());
        QVERIFY(!w.content->isPlaying());
        QVERIFY(w.content->showWireframe());
        QVERIFY(fake::wireframeOf(w.content->viewport()));
        QCOMPARE(shownItems(w.content->toolBar()), (QStringList{"name:Spider_binary.stl", "Wireframe", "Open"}));
        QTRY_VERIFY(!first); // the finished viewport is gone
        fake::finish(w.content->viewport(), false);
        QVERIFY(!w.content->isLoading());
    }

    // A replaced viewport whose load ends late must not touch the new file's state.
    void lateResultsOfAReplacedViewportAreIgnored() {
        ShownWindow w;
        fake::setMode(fake::Mode::hold);
        openFile(w.state, makeFile("slow.stl"));
        QPointer<trimeo::SceneKitView> slow = w.content->viewport();
        openFile(w.state, makeFile("next.stl"));
        QVERIFY(slow); // still loading: kept until it reports back
        QVERIFY(slow->isHidden());

        fake::fail(slow, "late failure of the old file");
        QCOMPARE(w.content->display(), Shown::model);
        QVERIFY(!w.content->errorMessage());
        QVERIFY(w.content->isLoading());
        QTRY_VERIFY(!slow);

        QPointer<trimeo::SceneKitView> next = w.content->viewport();
        w.state.setFileURL(std::nullopt);
        fake::finish(next, true);
        QVERIFY(!w.content->hasAnimations());
        QCOMPARE(w.content->display(), Shown::empty);
    }

    void titleStaysTrimeo() {
        ShownWindow w;
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Trimeo"));
        openFile(w.state, makeFile("a.stl"));
        QTest::qWait(0);
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Trimeo"));
        w.state.setFileURL(std::nullopt);
        QTest::qWait(0);
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Trimeo"));
    }

    // Where the window first stands is WindowPlacementTest's; opening a file does not size it again.
    void theContentHasAMinimumAndOpeningAFileKeepsTheWindowSize() {
        ShownWindow w;
        QCOMPARE(w.content->minimumSize(), QSize(400, 300));
        w.window.resize(700, 500);
        openFile(w.state, makeFile("b.stl"));
        QTest::qWait(50);
        QCOMPARE(w.window.size(), QSize(700, 500));
    }
};

TRIMEO_APP_TEST_MAIN(ContentViewTest, true)
#include "ContentViewTest.moc"
