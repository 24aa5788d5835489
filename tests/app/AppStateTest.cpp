// Recent-files persistence across AppState instances, as a new launch would see it.
#include "AppState.h"
#include "AppTestSupport.h"
#include "OpenSequence.h"

#include <QFile>
#include <QSettings>

using trimeo::AppState;
using namespace trimeo::test;

namespace {
QUrl fileURL(const QString& path) { return QUrl::fromLocalFile(path); }

QStringList paths(const QList<QUrl>& urls) {
    QStringList result;
    for (const QUrl& url : urls) result.append(url.toLocalFile());
    return result;
}

QStringList makeFiles(int count) {
    QStringList files;
    for (int i = 0; i < count; ++i) files.append(makeFile(QStringLiteral("model%1.stl").arg(i)));
    return files;
}
} // namespace

class AppStateTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        clearSettings();
        failOnWarnings();
    }

    void startsEmptyAndWritesNothingUntilAnOpen() {
        AppState state;
        QVERIFY(!state.fileURL());
        QVERIFY(state.fileData().isEmpty());
        QVERIFY(state.recentFiles().isEmpty());
        QVERIFY(!storedRecentFiles().isValid());
    }

    void reopeningMovesToFrontWithOneEntry() {
        const QStringList files = makeFiles(3);
        {
            AppState state;
            for (const QString& f : files) state.addToRecentFiles(fileURL(f));
            state.addToRecentFiles(fileURL(files[1]));
            QCOMPARE(paths(state.recentFiles()), (QStringList{files[1], files[2], files[0]}));
        }
        QCOMPARE(storedRecentFiles().toStringList(), (QStringList{files[1], files[2], files[0]}));
        AppState relaunched;
        QCOMPARE(paths(relaunched.recentFiles()), (QStringList{files[1], files[2], files[0]}));
    }

    void aSixthFileDropsTheOldestAndReopeningWhenFullKeepsAllFive() {
        const QStringList files = makeFiles(6);
        AppState state;
        for (const QString& f : files) state.addToRecentFiles(fileURL(f));
        const QStringList newestFirst{files[5], files[4], files[3], files[2], files[1]};
        QCOMPARE(paths(state.recentFiles()), newestFirst);
        QCOMPARE(storedRecentFiles().toStringList(), newestFirst);
        state.addToRecentFiles(fileURL(files[1]));
        QCOMPARE(paths(state.recentFiles()), (QStringList{files[1], files[5], files[4], files[3], files[2]}));
    }

    void missingFilesAreDroppedOnLoadButStayStored() {
        const QStringList files = makeFiles(3);
        storeRecentFiles(files);
        QVERIFY(QFile::remove(files[1]));
        AppState state;
        QCOMPARE(paths(state.recentFiles()), (QStringList{files[0], files[2]}));
        QCOMPARE(storedRecentFiles().toStringList(), files);
    }

    void sevenStoredEntriesLoadAndTheNextOpenTrims() {
        const QStringList files = makeFiles(8);
        storeRecentFiles(files.first(7));
        AppState state;
        QCOMPARE(state.recentFiles().size(), 7);
        state.addToRecentFiles(fileURL(files[7]));
        QCOMPARE(paths(state.recentFiles()), (QStringList{files[7], files[0], files[1], files[2], files[3]}));
        QCOMPARE(storedRecentFiles().toStringList().size(), 5);
    }

    void storedDuplicatesLoadAndCollapseOnOpen() {
        const QStringList files = makeFiles(2);
        storeRecentFiles(QStringList{files[0], files[1], files[0]});
        AppState state;
        QCOMPARE(state.recentFiles().size(), 3);
        state.addToRecentFiles(fileURL(files[0]));
        QCOMPARE(paths(state.recentFiles()), (QStringList{files[0], files[1]}));
    }

    void clearedListIsStoredAndLoadsEmpty() {
        const QStringList files = makeFiles(2);
        {
            AppState state;
            for (const QString& f : files) state.addToRecentFiles(fileURL(f));
            state.setRecentFiles({});
            state.saveRecentFiles();
        }
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Trimeo", "Trimeo");
        QVERIFY(settings.contains(AppState::recentFilesKey));
        AppState relaunched;
        QVERIFY(relaunched.recentFiles().isEmpty());
    }

    // An INI file stores a one-entry list as a plain text; paths with commas or spaces
    // must come back as they went in.
    void awkwardPathsRoundTrip_data() {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("one entry") << QStringList{"only.stl"};
        QTest::newRow("one entry with a comma") << QStringList{"a, b.stl"};
        QTest::newRow("several with commas and quotes") << QStringList{"x,y.obj", "say \"hi\".ply", "plain.stl"};
    }
    void awkwardPathsRoundTrip() {
        QFETCH(QStringList, names);
        QStringList files;
        for (const QString& name : names) files.append(makeFile(name));
        {
            AppState state;
            for (const QString& f : files) state.addToRecentFiles(fileURL(f));
        }
        AppState relaunched;
        QStringList newestFirst(files.rbegin(), files.rend());
        QCOMPARE(paths(relaunched.recentFiles()), newestFirst);
    }

    void storedValuesThatAreNotAbsolutePathsAreIgnored() {
        const QString kept = makeFile("kept.stl");
        storeRecentFiles(QStringList{"relative/model.stl", kept, "42"});
        AppState state;
        QCOMPARE(paths(state.recentFiles()), QStringList{kept});
        storeRecentFiles(7);
        AppState withNumber;
        QVERIFY(withNumber.recentFiles().isEmpty());
    }

    // Bytes that are a view of a mapped file stay alive exactly as long as the state shows
    // them, and the open sequence hands a file over that way, uncopied.
    void fileDataKeepsItsOwnerUntilReplaced() {
        AppState state;
        auto owner = std::make_shared<const QByteArray>("solid kept\nendsolid kept\n");
        std::weak_ptr<const QByteArray> watch = owner;
        state.setFileData(QByteArray::fromRawData(owner->constData(), owner->size()), owner);
        owner.reset();
        QVERIFY(!watch.expired());
        QCOMPARE(state.fileData(), QByteArray("solid kept\nendsolid kept\n"));
        state.setFileData({});
        QVERIFY(watch.expired());
        QVERIFY(!state.fileDataOwner());

        const QByteArray contents("solid mapped\nendsolid mapped\n");
        QVERIFY(trimeo::runOpenSequence(state, QUrl::fromLocalFile(makeFile("mapped.stl", contents))));
        QCOMPARE(state.fileData(), contents);
        QVERIFY(state.fileDataOwner());
    }
};

TRIMEO_APP_TEST_MAIN(AppStateTest, false)
#include "AppStateTest.moc"
