#include "AppTestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <sstream>

namespace trimeo::test {

namespace {
QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}
} // namespace

void isolateSettings() {
    const QString home = scratch().filePath(QStringLiteral("home"));
    QDir().mkpath(home + "/.config");
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
}

void clearSettings() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Trimeo", "Trimeo");
    settings.clear();
    settings.sync();
}

QVariant storedRecentFiles() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Trimeo", "Trimeo");
    return settings.value(QStringLiteral("recentFiles"));
}

void storeRecentFiles(const QVariant& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Trimeo", "Trimeo");
    settings.setValue(QStringLiteral("recentFiles"), value);
    settings.sync();
}

void failOnWarnings() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".+"))); }

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QString makeFile(const QString& name, const QByteArray& contents) {
    static int serial = 0;
    const QString folder = scratch().filePath(QStringLiteral("files/%1").arg(++serial));
    QDir().mkpath(folder);
    const QString path = folder + '/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

void openFile(AppState& state, const QString& path) {
    std::ostringstream out;
    QVERIFY2(runOpenSequence(state, QUrl::fromLocalFile(path), out), out.str().c_str());
}

QStringList menuTitles(const QMenu* menu) {
    QStringList result;
    for (const QAction* action : menu->actions()) result.append(action->isSeparator() ? "--" : action->text());
    return result;
}

void saveScreen(const QString& folder, const QString& name, int settleMs) {
    QTest::qWait(settleMs);
    QGuiApplication::primaryScreen()->grabWindow(0).save(folder + '/' + name + ".png");
}

QString animatedModel() { return QStringLiteral(TRIMEO_ASSIMP_MODELS "/Collada/box_nested_animation.dae"); }
QString stillModel() { return QStringLiteral(TRIMEO_ASSIMP_MODELS "/STL/Spider_binary.stl"); }

} // namespace trimeo::test
