// Shared by the shell's tests: settings and home in a fresh temporary folder (real
// settings are never touched), a clean slate between cases, real model files, and a
// main that skips GUI tests (exit 77) when there is no display.
#pragma once

#include "AppState.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "OpenSequence.h"

#include <QApplication>
#include <QMenu>
#include <QSemaphore>
#include <QString>
#include <QTest>

#include <iostream>
#include <memory>
#include <utility>

namespace trimeo::test {

// Points XDG_CONFIG_HOME and HOME at a folder that lives until the process ends.
void isolateSettings();
// Removes the stored settings, so that the next AppState starts as on a first run.
void clearSettings();
// The stored "recentFiles" value, as the settings file holds it.
QVariant storedRecentFiles();
void storeRecentFiles(const QVariant& value);
bool hasDisplay();
// Makes any Qt warning during the current test fail it (a missing icon, a bad painter).
void failOnWarnings();

// A new file under a folder that lives until the process ends.
QString makeFile(const QString& name, const QByteArray& contents = "solid x\nendsolid x\n");
QString animatedModel(); // COLLADA with animations
QString stillModel();    // binary STL

// For the screenshot tools: the whole screen as FOLDER/NAME.png, once `settleMs` of events have run.
void saveScreen(const QString& folder, const QString& name, int settleMs = 300);

// Runs the open sequence on `path` and fails the test when it refuses to start.
void openFile(AppState& state, const QString& path);
// A menu's item texts, a separator as "--".
QStringList menuTitles(const QMenu* menu);

// A main window over its own state, shown (at `size` when one is given).
struct ShownWindow {
    AppState state;
    ContentView* content = new ContentView(state);
    MainWindow window{content};
    explicit ShownWindow(QSize size = {}) {
        if (size.isValid()) window.resize(size);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
};

// Keeps every file-reading worker busy, so that a background read queued meanwhile cannot
// start before release(): a read that takes as long as the test wants.
struct BusyPool {
    struct Gates {
        QSemaphore open, started;
    };
    std::shared_ptr<Gates> gates = std::make_shared<Gates>(); // the workers may outlive this
    int workers = trimeo::fileReadingPool().maxThreadCount();
    bool released = false;
    BusyPool() {
        for (int i = 0; i < workers; ++i) trimeo::fileReadingPool().start([g = gates] {
            g->started.release();
            g->open.acquire();
        });
        gates->started.acquire(workers);
    }
    void release() {
        if (!std::exchange(released, true)) gates->open.release(workers);
    }
    ~BusyPool() { release(); }
};

} // namespace trimeo::test

#define TRIMEO_APP_TEST_MAIN(TestClass, needsDisplay)                                                 \
    int main(int argc, char** argv) {                                                                \
        trimeo::test::isolateSettings();                                                             \
        if ((needsDisplay) && !trimeo::test::hasDisplay()) {                                         \
            std::cout << "SKIP " #TestClass ": needs a display; run under xvfb-run\n";               \
            return 77;                                                                               \
        }                                                                                            \
        std::unique_ptr<QCoreApplication> app(needsDisplay ? new QApplication(argc, argv)          \
                                                           : new QCoreApplication(argc, argv));    \
        TestClass test;                                                                              \
        return QTest::qExec(&test, argc, argv);                                                      \
    }
