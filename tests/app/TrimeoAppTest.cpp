// The application: opening handed-over files (command line, drops), the recent menu's
// open, the open dialog's filters and outcomes, and the About dialog.
#include "AboutDialog.h"
#include "AppTestSupport.h"
#include "ContentView.h"
#include "DisplayStyle.h"
#include "MainWindow.h"
#include "MenuCommands.h"
#include "OpenPanel.h"
#include "OpenSequence.h"
#include "TrimeoApp.h"
#include "loading/ThreeDDocument.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrlQuery>

#include <sstream>

using trimeo::TrimeoApp;
using namespace trimeo::test;

namespace {
QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

// Captures standard output for as long as it lives.
struct CapturedOutput {
    std::ostringstream text;
    std::streambuf* previous = std::cout.rdbuf(text.rdbuf());
    ~CapturedOutput() { std::cout.rdbuf(previous); }
};

// Acts on the file dialog once it is up: picks `path`, or cancels when it is empty.
void answerFileDialog(const QString& path) {
    auto* poll = new QTimer;
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [poll, path] {
        QFileDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* candidate = qobject_cast<QFileDialog*>(widget); candidate && candidate->isVisible()) dialog = candidate;
        if (!dialog) return;
        poll->deleteLater();
        poll->stop();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed as a user would: the dialog's own model may not have read the folder yet.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    poll->start();
}
} // namespace

class TrimeoAppTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        clearSettings();
        failOnWarnings();
    }

    void onlyTheFirstCommandLineFileOpensOnceTheWindowIsUp() {
        const QStringList files{makeFile("first.stl"), makeFile("second.stl"), makeFile("third.stl")};
        TrimeoApp app;
        app.openHandedOver({url(makeFile("early.stl"))});
        QVERIFY(!app.appState().fileURL()); // waits for the window
        app.start({url(files[0]), url(files[1]), url(files[2])});
        QVERIFY(app.window()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        QTRY_VERIFY(app.appState().fileURL().has_value()); // read in the background
        QCOMPARE(*app.appState().fileURL(), url(files[0]));
        QCOMPARE(app.appState().recentFiles(), QList<QUrl>{url(files[0])});
    }

    void argumentsBecomeAbsoluteFileURLs() {
        const QList<QUrl> files = TrimeoApp::filesFromArguments(
            {"models/a.stl", "../b.obj", "/abs/c.ply", "file:///abs/d%20e.dae"}, "/work/dir");
        QCOMPARE(files, (QList<QUrl>{url("/work/dir/models/a.stl"), url("/work/b.obj"), url("/abs/c.ply"),
                                     url("/abs/d e.dae")}));
    }

    void aDropOpensTheFirstLocalFile() {
        const QString first = makeFile("dropped.stl");
        TrimeoApp app;
        app.start({});
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        QMimeData data;
        data.setUrls({QUrl("https://trimeo.example/x.stl"), url(first), url(makeFile("ignored.stl"))});
        const QPoint at = app.window()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(app.window(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(app.window(), &drop);
        QTRY_VERIFY(app.appState().fileURL().has_value());
        QCOMPARE(*app.appState().fileURL(), url(first));
        QCOMPARE(app.appState().recentFiles().size(), 1);
    }

    void aRecentFileThatIsGoneReportsAndChangesNothing() {
        const QString gone = makeFile("gone.stl");
        const QString shown = makeFile("shown.stl");
        TrimeoApp app;
        app.start({});
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        std::ostringstream ignored;
        trimeo::runOpenSequence(app.appState(), url(gone), ignored);
        trimeo::runOpenSequence(app.appState(), url(shown), ignored);
        QVERIFY(QFile::remove(gone));

        CapturedOutput output;
        QAction* item = app.menus()->recentMenu()->actions().at(1);
        QCOMPARE(item->text(), QStringLiteral("gone.stl"));
        item->trigger();
        QTRY_COMPARE(QString::fromStdString(output.text.str()),
                     "Failed to open file: " + gone + ": No such file or directory\n");
        QCOMPARE(*app.appState().fileURL(), url(shown));
        QCOMPARE(app.appState().recentFiles(), (QList<QUrl>{url(shown), url(gone)}));
    }

    void openDialogFiltersByReadableTypes() {
        const QStringList filters = trimeo::OpenPanel::nameFilters();
        const auto types = trimeo::ThreeDDocument::readableContentTypes();
        QCOMPARE(filters.size(), int(types.size()) + 2);
        for (std::size_t i = 0; i < types.size(); ++i) {
            const QString pattern = "*." + QString::fromStdString(types[i].extensions.front());
            QVERIFY2(filters.first().contains(pattern), qPrintable(pattern));
            QCOMPARE(filters[int(i) + 1], QString::fromStdString(types[i].description) + " (" + pattern + ")");
        }
        QCOMPARE(filters.last(), QStringLiteral("All files (*)"));
    }

    void openMenuRunsTheDialogThenTheOpenSequence() {
        const QString chosen = makeFile("chosen.stl");
        TrimeoApp app;
        app.start({});
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        answerFileDialog(chosen);
        app.menus()->openAction()->trigger();
        QTRY_VERIFY(app.appState().fileURL().has_value());
        QCOMPARE(*app.appState().fileURL(), url(chosen));
    }

    void cancellingTheDialogDoesNothing() {
        TrimeoApp app;
        app.start({});
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        CapturedOutput output;
        answerFileDialog({});
        app.window()->contentView()->openFile();
        QVERIFY(!app.appState().fileURL());
        QCOMPARE(QString::fromStdString(output.text.str()), QString());
    }

    void aboutShowsNameVersionAndCredits() {
        QCOMPARE(trimeo::AboutDialog::applicationVersion(), QStringLiteral("1.0")); // none set here
        QCoreApplication::setApplicationVersion("2.3.4");
        QCOMPARE(trimeo::AboutDialog::applicationVersion(), QStringLiteral("2.3.4"));
        QCoreApplication::setApplicationVersion({});

        const QUrl page = trimeo::AboutDialog::authorPageURL();
        QCOMPARE(page.scheme(), QStringLiteral("https"));
        QVERIFY(page.host().endsWith(".example"));
        QCOMPARE(page.path(), QStringLiteral("/simple"));
        QCOMPARE(page.query(), QStringLiteral("utm_source=trimeo&utm_medium=app&utm_campaign=about"));

        trimeo::AboutDialog dialog;
        QStringList texts;
        for (QLabel* label : dialog.findChildren<QLabel*>()) texts.append(label->text());
        QVERIFY(texts.contains("Trimeo"));
        QVERIFY(texts.contains("Version 1.0"));
        auto* credits = dialog.findChild<QLabel*>("credits");
        QVERIFY(credits->openExternalLinks());
        const QString html = credits->text();
        QVERIFY(html.contains("Created by "));
        const QString secondary = trimeo::secondaryColor(&dialog).name();
        QVERIFY2(secondary != dialog.palette().color(QPalette::WindowText).name(), qPrintable(secondary));
        QVERIFY(html.contains("color:" + secondary));
        QVERIFY(html.contains("href=\"" + page.toString(QUrl::FullyEncoded).toHtmlEscaped() + "\""));
        QCOMPARE(html.count("font-size:11pt"), 2);
    }
};

TRIMEO_APP_TEST_MAIN(TrimeoAppTest, true)
#include "TrimeoAppTest.moc"
