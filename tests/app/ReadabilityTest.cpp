// Every text the window shows stands at least 4.5:1 against what is drawn behind it, in a
// light and in a dark palette, measured on the rendered window. And the same at a device
// pixel ratio of 2 is tested separately (HiDpiTest).
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentToolBar.h"
#include "ContentView.h"
#include "DisplayStyle.h"
#include "ErrorDisplay.h"
#include "FailureNotice.h"
#include "FakeViewport.h"
#include "MainWindow.h"
#include "ModelDisplay.h"
#include "RecentFileButton.h"

#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QStyle>

#include <memory>
#include <sstream>

using namespace trimeo::test;
namespace fake = trimeo::fake;

namespace {
QPalette darkPalette() {
    QPalette p;
    const QColor window(53, 53, 53), text(230, 230, 230);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(230, 230, 230, 110));
    return p;
}

// The ratio between the colour most often drawn in `area` (the background) and the one
// that stands out most from it (the strokes of the text).
double renderedContrast(const QImage& image, const QRect& area) {
    QMap<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y) | 0xff000000];
    QRgb background = counts.firstKey();
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts[background]) background = it.key();
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, trimeo::contrastRatio(QColor(it.key()), QColor(background)));
    return best;
}

struct Window : ShownWindow {
    Window() : ShownWindow({900, 700}) {}
    // Each visible text of the window, by what it says, with its contrast as drawn.
    QMap<QString, double> contrasts() {
        QTest::qWait(50);
        const QImage shot = window.grab().toImage();
        QMap<QString, double> found;
        auto add = [&](QWidget* w, const QString& text) {
            if (!w->isVisible() || text.isEmpty()) return;
            const QRect area(w->mapTo(&window, QPoint(0, 0)), w->size());
            found[text] = renderedContrast(shot, area.intersected(shot.rect()));
        };
        for (QLabel* label : window.findChildren<QLabel*>())
            if (!label->text().isEmpty()) add(label, label->text().left(40));
        for (auto* row : window.findChildren<trimeo::RecentFileButton*>()) add(row, "row " + row->displayedText().right(20));
        return found;
    }
};
} // namespace

class ReadabilityTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        clearSettings();
        fake::setMode(fake::Mode::hold);
    }

    void everyTextReachesFourAndAHalfToOne_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("switched"); // the desktop changes its palette while the window is up
        QTest::newRow("light palette") << false << false;
        QTest::newRow("dark palette") << true << false;
        QTest::newRow("light, then dark") << true << true;
        QTest::newRow("dark, then light") << false << true;
    }
    void everyTextReachesFourAndAHalfToOne() {
        QFETCH(bool, dark);
        QFETCH(bool, switched);
        const QPalette before = QApplication::palette();
        const QPalette wanted = dark ? darkPalette() : QApplication::style()->standardPalette();
        const QPalette other = dark ? QApplication::style()->standardPalette() : darkPalette();
        QApplication::setPalette(switched ? other : wanted);
        {
            trimeo::AppState earlier;
            earlier.addToRecentFiles(QUrl::fromLocalFile(makeFile("a recent model.stl")));
        }
        QMap<QString, double> seen;
        {
            Window w;
            if (switched) QApplication::setPalette(wanted);
            seen.insert(w.contrasts()); // empty display with its recent list
            std::ostringstream out;
            trimeo::runOpenSequence(w.state, QUrl::fromLocalFile(makeFile("shown.stl")), out);
            seen.insert(w.contrasts()); // loading overlay and the file name
            fake::fail(w.content->viewport(), "The file could not be parsed: unexpected end of data");
            trimeo::runOpenSequence(w.state, QUrl::fromLocalFile("/nonexistent/trimeo/gone.stl"), out);
            seen.insert(w.contrasts()); // error display and the failure notice
        }
        QApplication::setPalette(before);
        for (const QString expected : {"Open a 3D file to get started", "Recent Files", "Loading model...",
                                       "Unable to load 3D model", "shown.stl"})
            QVERIFY2(seen.contains(expected), qPrintable(expected));
        QVERIFY(seen.contains(QString("The file could not be parsed: unexpected end of data").left(40)));
        QVERIFY(seen.size() >= 8);
        for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
            qInfo("%s: %.2f:1", qPrintable(it.key()), it.value());
            QVERIFY2(it.value() >= 4.5, qPrintable(QString("%1: %2:1").arg(it.key()).arg(it.value(), 0, 'f', 2)));
        }
    }

    void contrastRatioFollowsTheDefinition() {
        QCOMPARE(trimeo::contrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(trimeo::contrastRatio(Qt::white, Qt::black), 21.0);
        QCOMPARE(trimeo::contrastRatio(QColor(119, 119, 119), QColor(119, 119, 119)), 1.0);
        QVERIFY(qAbs(trimeo::contrastRatio(QColor(118, 118, 118), Qt::white) - 4.54) < 0.01); // the usual threshold grey
    }
};

TRIMEO_APP_TEST_MAIN(ReadabilityTest, true)
#include "ReadabilityTest.moc"
