// A file that cannot be opened is seen in the window: the notice names the file and the
// reason, alerts screen readers, leaves the state alone and goes away by itself, when
// dismissed or when a file opens.
#include "AppState.h"
#include "AppTestSupport.h"
#include "ContentView.h"
#include "FailureNotice.h"
#include "MainWindow.h"

#include <QAccessible>
#include <QDir>
#include <QToolButton>

#include <sstream>

using namespace trimeo::test;

namespace {
// What a screen reader is given for the notice: its role and the text it reads out.
std::pair<QAccessible::Role, QString> announced(QWidget* notice) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(notice);
    if (!face) return {QAccessible::NoRole, {}};
    return {face->role(), face->text(QAccessible::Name)};
}

} // namespace

class FailureNoticeTest : public QObject {
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void aFailedOpenIsNamedInTheWindowAndChangesNothingElse() {
        ShownWindow w;
        trimeo::FailureNotice* notice = w.content->failureNotice();
        const QString shown = makeFile("shown.stl");
        std::ostringstream out;
        trimeo::runOpenSequence(w.state, QUrl::fromLocalFile(shown), out);
        QVERIFY(!notice->isVisible());

        const QString folder = QDir(makeFile("x.stl")).absoluteFilePath("..");
        trimeo::runOpenSequence(w.state, QUrl::fromLocalFile(QDir::cleanPath(folder)), out);
        QVERIFY(notice->isVisible());
        const QString name = QFileInfo(QDir::cleanPath(folder)).fileName();
        QCOMPARE(notice->text(), QString("Could not open \u201c%1\u201d: Is a directory").arg(name));
        QCOMPARE(notice->toolTip(), QDir::cleanPath(folder));
        QCOMPARE(announced(notice), std::make_pair(QAccessible::AlertMessage, notice->text()));
        QCOMPARE(*w.state.fileURL(), QUrl::fromLocalFile(shown)); // the state is untouched
        QVERIFY(QString::fromStdString(out.str()).endsWith(": Is a directory\n")); // the line stays
        QCOMPARE(w.content->display(), trimeo::ContentView::Display::model);

        notice->dismissButton()->click();
        QVERIFY(!notice->isVisible());
    }

    void aBackgroundOpenOfAMissingFileShowsItToo() {
        ShownWindow w;
        trimeo::FailureNotice* notice = w.content->failureNotice();
        const QString gone = QDir::temp().filePath("trimeo-surely-not-here/gone.stl");
        std::ostringstream out;
        trimeo::startOpenSequence(w.state, QUrl::fromLocalFile(gone), out);
        QTRY_VERIFY(notice->isVisible());
        QCOMPARE(notice->text(), QStringLiteral("Could not open \u201cgone.stl\u201d: No such file or directory"));
        QVERIFY(!w.state.fileURL());
        QCOMPARE(w.content->display(), trimeo::ContentView::Display::empty);

        // Opening a file afterwards takes the stale notice away.
        trimeo::runOpenSequence(w.state, QUrl::fromLocalFile(makeFile("fine.stl")), out);
        QVERIFY(!notice->isVisible());
    }

    void theNoticeGoesAwayByItselfOrWithEscape() {
        QWidget host;
        auto* notice = new trimeo::FailureNotice(&host, 200);
        host.show();
        notice->showFailure(QUrl::fromLocalFile("/a/b.stl"), "Permission denied");
        QVERIFY(notice->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 3000);

        notice->showFailure(QUrl::fromLocalFile("/a/b.stl"), "Permission denied");
        notice->setFocus();
        QTest::keyClick(notice, Qt::Key_Escape);
        QVERIFY(!notice->isVisible());
    }
};

TRIMEO_APP_TEST_MAIN(FailureNoticeTest, true)
#include "FailureNoticeTest.moc"
