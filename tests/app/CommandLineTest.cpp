// The command line: what each form asks for, and the program run as a user runs it, with
// no display at all, for --help, --version, usage errors and a relative path.
#include "AppTestSupport.h"
#include "CommandLine.h"
#include "support/MeshFiles.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QProcess>
#include <QProcessEnvironment>

using trimeo::CommandLine;
using Mode = CommandLine::Mode;
using namespace trimeo::test;

namespace {
CommandLine parse(const QStringList& arguments) { return CommandLine::parse(QStringList{"trimeo"} + arguments); }

struct Run {
    int status = -1;
    QString out, err;
};

// The real program with neither X nor Wayland: anything that opened a window would fail.
// With `addressSpace` it runs under that RLIMIT_AS, set by prlimit.
Run runTrimeo(const QStringList& arguments, const QString& folder = {}, qint64 addressSpace = 0) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    if (addressSpace > 0)
        process.start(QStringLiteral("prlimit"),
                      QStringList{"--as=" + QString::number(addressSpace), "--", QStringLiteral(TRIMEO_BINARY)} +
                          arguments);
    else
        process.start(QStringLiteral(TRIMEO_BINARY), arguments);
    if (!process.waitForFinished(60000)) return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()), QString::fromLocal8Bit(process.readAllStandardError())};
}
} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void eachFormAsksForItsMode() {
        QCOMPARE(parse({}).mode, Mode::window);
        QCOMPARE(parse({"a.stl", "b.obj"}).files, (QStringList{"a.stl", "b.obj"}));
        QCOMPARE(parse({"--help"}).mode, Mode::help);
        QCOMPARE(parse({"-h", "a.stl"}).mode, Mode::help);
        QCOMPARE(parse({"--version"}).mode, Mode::version);
        QCOMPARE(parse({"-v"}).mode, Mode::version);

        const CommandLine info = parse({"--info", "dir/a.stl"});
        QCOMPARE(info.mode, Mode::info);
        QCOMPARE(info.files, QStringList{"dir/a.stl"});

        const CommandLine render = parse({"--render", "out.png", "--size", "320X200", "--wireframe", "a.stl"});
        QCOMPARE(render.mode, Mode::render);
        QCOMPARE(render.output, QStringLiteral("out.png"));
        QCOMPARE(render.files, QStringList{"a.stl"});
        QCOMPARE(QSize(render.width, render.height), QSize(320, 200));
        QVERIFY(render.wireframe);
        QVERIFY(!render.timings);
        const CommandLine plain = parse({"--render=out.png", "--timings", "a.stl"});
        QCOMPARE(QSize(plain.width, plain.height), QSize(800, 600));
        QVERIFY(plain.timings);

        // As a thumbnailer entry's Exec line gives it: %i %o %s.
        const CommandLine thumbnail = parse({"--thumbnail", "file:///m/a%20b.glb", "/tmp/t.png", "256"});
        QCOMPARE(thumbnail.mode, Mode::thumbnail);
        QCOMPARE(thumbnail.files, QStringList{"file:///m/a%20b.glb"});
        QCOMPARE(thumbnail.output, QStringLiteral("/tmp/t.png"));
        QCOMPARE(QSize(thumbnail.width, thumbnail.height), QSize(256, 256));
        for (int size : {128, 1024}) QCOMPARE(parse({"--thumbnail", "a", "b", QString::number(size)}).width, size);
    }

    void doubleDashEndsTheOptionsAndQtsOwnOptionsPassThrough() {
        QCOMPARE(parse({"--", "--help", "-x.stl"}).files, (QStringList{"--help", "-x.stl"}));
        QCOMPARE(parse({"--", "--help"}).mode, Mode::window);
        const CommandLine qt = parse({"-platform", "offscreen", "-style", "fusion", "-reverse", "a.stl"});
        QCOMPARE(qt.mode, Mode::window);
        QCOMPARE(qt.files, QStringList{"a.stl"});
    }

    void usageErrorsSayWhatIsWrong_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        QTest::newRow("unknown long") << QStringList{"--bogus", "a.stl"} << "'--bogus'";
        QTest::newRow("unknown short") << QStringList{"-q"} << "'-q'";
        QTest::newRow("unknown with value") << QStringList{"--colour=red"} << "'--colour'";
        QTest::newRow("info without file") << QStringList{"--info"} << "--info";
        QTest::newRow("info with two files") << QStringList{"--info", "a.stl", "b.stl"} << "--info";
        QTest::newRow("render without file") << QStringList{"--render", "out.png"} << "--render";
        QTest::newRow("render without output") << QStringList{"--render"} << "render";
        QTest::newRow("both commands") << QStringList{"--info", "--render", "o.png", "a.stl"} << "--info";
        QTest::newRow("size outside render") << QStringList{"--size", "10x10", "a.stl"} << "--size";
        QTest::newRow("wireframe outside render") << QStringList{"--wireframe", "a.stl"} << "--wireframe";
        QTest::newRow("zero size") << QStringList{"--render", "o.png", "--size", "0x10", "a.stl"} << "0x10";
        QTest::newRow("huge size") << QStringList{"--render", "o.png", "--size", "16385x10", "a.stl"} << "16385x10";
        QTest::newRow("size not a size") << QStringList{"--render", "o.png", "--size", "big", "a.stl"} << "big";
        QTest::newRow("thumbnail without size") << QStringList{"--thumbnail", "a.stl", "o.png"} << "INPUT OUTPUT SIZE";
        QTest::newRow("thumbnail too small") << QStringList{"--thumbnail", "a.stl", "o.png", "127"} << "'127'";
        QTest::newRow("thumbnail too big") << QStringList{"--thumbnail", "a.stl", "o.png", "1025"} << "'1025'";
        QTest::newRow("thumbnail and render") << QStringList{"--thumbnail", "--render", "o.png", "a.stl"} << "--thumbnail";
        QTest::newRow("size with thumbnail") << QStringList{"--thumbnail", "--size", "9x9", "a", "o", "256"} << "--size";
    }
    void usageErrorsSayWhatIsWrong() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const CommandLine line = parse(arguments);
        QCOMPARE(line.mode, Mode::usageError);
        QVERIFY2(line.error.contains(named), qPrintable(line.error));
    }

    void helpListsEveryOption() {
        const QString help = CommandLine::helpText();
        for (const char* option : {"--help", "--version", "--info", "--render <OUT.png>", "--thumbnail", "--size <WxH>",
                                   "--wireframe", "--timings", "FILE"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(help.startsWith("Usage: trimeo [options] [FILE]"));
        QVERIFY(!help.contains("platform")); // Qt's own options are not advertised
    }

    void helpAndVersionPrintAndExitWithoutAWindow() {
        const Run help = runTrimeo({"--help"});
        QCOMPARE(help.status, 0);
        QCOMPARE(help.out, CommandLine::helpText());
        QCOMPARE(help.err, QString());
        const Run version = runTrimeo({"--version"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QStringLiteral("Trimeo " TRIMEO_VERSION "\n"));
    }

    void anUnknownOptionIsAUsageErrorNamingIt() {
        const Run run = runTrimeo({"--bogus", stillModel()});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains("unknown option '--bogus'"), qPrintable(run.err));
        QVERIFY2(run.err.contains("usage: trimeo"), qPrintable(run.err));
    }

    void aRelativePathIsReadFromTheCurrentFolder() {
        const QFileInfo model(stillModel());
        const Run run = runTrimeo({"--info", "--", model.fileName()}, model.absolutePath());
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains("\"triangles\""), qPrintable(run.out.left(300)));
    }

    // Under any cap on its address space the program ends in the model or in the memory
    // failure, promptly; the cap at which the model first fits is found, and a cap just
    // below it fails properly rather than aborting.
    void aMemoryCapEndsInTheModelOrTheMemoryFailure() {
        if (QStandardPaths::findExecutable("prlimit").isEmpty()) QSKIP("prlimit is not installed");
        std::vector<Triangle> triangles;
        for (int f = 0; f < 1000000; ++f) triangles.push_back({{0, 0, 1. * f}, {1, 0, 1. * f}, {0, 1, 1. * f}});
        const auto stl = binarySTL(triangles);
        const QString path = makeFile("million.stl", QByteArray(reinterpret_cast<const char*>(stl.data()), qsizetype(stl.size())));
        auto outcome = [&](qint64 cap) {
            QElapsedTimer clock;
            clock.start();
            const Run run = runTrimeo({"--info", path}, {}, cap);
            [&] { QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(cap))); }();
            if (run.status == 0 && run.out.contains("\"triangles\":1000000")) return true;
            [&] {
                QVERIFY2(run.status == 1 && run.err.startsWith("Not enough memory to load this model"),
                         qPrintable(QString::number(cap) + ": status " + QString::number(run.status) + ", " +
                                    run.err.left(300)));
            }();
            return false;
        };
        // The libraries alone take some 100 MiB of address space: below that nothing runs.
        qint64 fails = 128 << 20, loads = qint64(4) << 30;
        QVERIFY(!outcome(fails));
        if (QTest::currentTestFailed()) return;
        QVERIFY(outcome(loads));
        while (loads - fails > (4 << 20)) {
            const qint64 middle = (fails + loads) / 2;
            (outcome(middle) ? loads : fails) = middle;
            if (QTest::currentTestFailed()) return;
        }
        qInfo() << "the model first loads under a cap of" << (loads >> 20) << "MiB";
        QVERIFY(outcome(loads));
        QVERIFY(!outcome(fails));
    }
};

TRIMEO_APP_TEST_MAIN(CommandLineTest, false)
#include "CommandLineTest.moc"
