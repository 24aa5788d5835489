// The open sequence: bytes, then location, then the recent list on success; one line on
// standard output and no change at all on failure.
#include "AppState.h"
#include "AppTestSupport.h"
#include "OpenSequence.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <sstream>

#include <sys/stat.h>

using trimeo::AppState;
using trimeo::runOpenSequence;
using trimeo::startOpenSequence;
using namespace trimeo::test;


class OpenSequenceTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        clearSettings();
        failOnWarnings();
    }

    void successStoresBytesThenLocationThenRecent() {
        const QByteArray contents("solid cube\nendsolid cube\n");
        const QUrl url = QUrl::fromLocalFile(makeFile("cube.stl", contents));
        AppState state;
        QStringList order;
        connect(&state, &AppState::fileDataChanged, [&] { order << "data"; });
        connect(&state, &AppState::fileURLChanged, [&] { order << "url"; });
        connect(&state, &AppState::recentFilesChanged, [&] { order << "recent"; });
        std::ostringstream out;
        QVERIFY(runOpenSequence(state, url, out));
        QCOMPARE(order, (QStringList{"data", "url", "recent"}));
        QCOMPARE(state.fileData(), contents);
        QCOMPARE(*state.fileURL(), url);
        QCOMPARE(state.recentFiles(), QList<QUrl>{url});
        QCOMPARE(QString::fromStdString(out.str()), QString());
    }

    void failureWritesOneLineAndChangesNothing_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("line");
        const QString missing = QDir(QDir::tempPath()).filePath("no-such-trimeo-model.stl");
        const QString folder = QFileInfo(makeFile("inside.stl")).absolutePath();
        QTest::newRow("missing") << QUrl::fromLocalFile(missing)
                                 << "Failed to open file: " + missing + ": No such file or directory\n";
        QTest::newRow("folder") << QUrl::fromLocalFile(folder) << "Failed to open file: " + folder + ": Is a directory\n";
        QTest::newRow("device") << QUrl::fromLocalFile("/dev/zero") << "Failed to open file: /dev/zero: Not a regular file\n";
        const QString fifo = QFileInfo(makeFile("placeholder")).absolutePath() + "/pipe.stl";
        QVERIFY(mkfifo(fifo.toLocal8Bit().constData(), 0600) == 0);
        QTest::newRow("fifo") << QUrl::fromLocalFile(fifo) << "Failed to open file: " + fifo + ": Not a regular file\n";
        QTest::newRow("not local") << QUrl("https://trimeo.example/model.stl")
                                   << "Failed to open file: https://trimeo.example/model.stl: not a local file\n";
    }
    void failureWritesOneLineAndChangesNothing() {
        QFETCH(QUrl, url);
        QFETCH(QString, line);
        const QByteArray shownContents("solid shown\nendsolid shown\n");
        const QUrl shown = QUrl::fromLocalFile(makeFile("shown.stl", shownContents));
        AppState state;
        std::ostringstream ignored;
        QVERIFY(runOpenSequence(state, shown, ignored));

        QSignalSpy urlSpy(&state, &AppState::fileURLChanged);
        QSignalSpy dataSpy(&state, &AppState::fileDataChanged);
        QSignalSpy recentSpy(&state, &AppState::recentFilesChanged);
        std::ostringstream out;
        QVERIFY(!runOpenSequence(state, url, out));
        QCOMPARE(QString::fromStdString(out.str()), line);
        QCOMPARE(*state.fileURL(), shown);
        QCOMPARE(state.fileData(), shownContents);
        QCOMPARE(state.recentFiles(), QList<QUrl>{shown});
        QCOMPARE(urlSpy.count() + dataSpy.count() + recentSpy.count(), 0);
    }

    void backgroundOpenCuesALongReadThenAppliesItsOutcome() {
        const QByteArray contents("solid cube\nendsolid cube\n");
        const QUrl url = QUrl::fromLocalFile(makeFile("slow.stl", contents));
        AppState state;
        QSignalSpy cue(&state, &AppState::readingFileChanged);
        std::ostringstream out;
        {
            BusyPool pool;
            startOpenSequence(state, url, out, 20);
            QTRY_VERIFY(state.isReadingFile()); // before the read has even begun
            QVERIFY(!state.fileURL());
            QCOMPARE(state.fileData(), QByteArray());
            pool.release();
            QTRY_VERIFY(state.fileURL().has_value());
        }
        QVERIFY(!state.isReadingFile());
        QCOMPARE(cue.count(), 2);
        QCOMPARE(state.fileData(), contents);
        QCOMPARE(state.recentFiles(), QList<QUrl>{url});
        QCOMPARE(QString::fromStdString(out.str()), QString());

        // A quick read shows no cue at all; a failed one reports and changes nothing.
        const QString gone = makeFile("gone.stl");
        QVERIFY(QFile::remove(gone));
        startOpenSequence(state, QUrl::fromLocalFile(gone), out, 10000);
        QTRY_VERIFY(!out.str().empty());
        QCOMPARE(QString::fromStdString(out.str()), "Failed to open file: " + gone + ": No such file or directory\n");
        QCOMPARE(cue.count(), 2);
        QCOMPARE(*state.fileURL(), url);
    }

    void onlyTheNewestOfOverlappingOpensIsApplied() {
        const QUrl first = QUrl::fromLocalFile(makeFile("first.stl", "solid a\nendsolid a\n"));
        const QUrl second = QUrl::fromLocalFile(makeFile("second.stl", "solid b\nendsolid b\n"));
        AppState state;
        QList<QUrl> shown;
        connect(&state, &AppState::fileURLChanged, [&] { shown << *state.fileURL(); });
        std::ostringstream out;
        {
            BusyPool pool;
            startOpenSequence(state, first, out, 0);
            startOpenSequence(state, second, out, 0);
            pool.release();
            QTRY_VERIFY(state.fileURL().has_value());
        }
        QTest::qWait(50); // the first read's late result, had it been kept, would land now
        QCOMPARE(shown, QList<QUrl>{second});
        QCOMPARE(state.recentFiles(), QList<QUrl>{second});
        QVERIFY(!state.isReadingFile());
    }

    void defaultOutputIsStandardOutput() {
        AppState state;
        std::ostringstream captured;
        std::streambuf* previous = std::cout.rdbuf(captured.rdbuf());
        runOpenSequence(state, QUrl::fromLocalFile("/nonexistent/trimeo/a.stl"));
        std::cout.rdbuf(previous);
        QCOMPARE(QString::fromStdString(captured.str()),
                 QStringLiteral("Failed to open file: /nonexistent/trimeo/a.stl: No such file or directory\n"));
    }
};

TRIMEO_APP_TEST_MAIN(OpenSequenceTest, false)
#include "OpenSequenceTest.moc"
