// The application: its one AppState, its window and menus, the About dialog, and the
// hand-over of files from outside (command line, drops). Every way of opening a file
// ends in the open sequence.
#pragma once

#include "AppState.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace trimeo {

class ContentView;
class MainWindow;
class MenuCommands;
class ViewCommands;
class ModelTools;

class TrimeoApp : public QObject {
    Q_OBJECT
public:
    TrimeoApp();
    ~TrimeoApp() override;

    AppState& appState() { return appState_; }
    MainWindow* window() const { return window_.get(); }
    MenuCommands* menus() const { return menus_; }
    ViewCommands* viewMenu() const { return viewMenu_; }
    ModelTools* tools() const { return tools_; }

    // Shows the window; the first of `files` is opened once the window has appeared.
    void start(const QList<QUrl>& files);
    // Files handed to the application: the first is opened, the rest are ignored.
    void openHandedOver(const QList<QUrl>& files);
    // The menu's "Open...": the window to the front, the open dialog, the open sequence.
    void openFile();
    void openRecent(const QUrl& url);
    void showAbout();

    // Command-line arguments as file URLs: paths relative to `workingDirectory`, or file: URLs.
    static QList<QUrl> filesFromArguments(const QStringList& arguments, const QString& workingDirectory);

    // The window's entry point: Qt takes its own options from argv; the first of `files`
    // is opened. Returns the exit status.
    static int run(int argc, char** argv, const QList<QUrl>& files);

private:
    AppState appState_;
    ContentView* content_;
    std::unique_ptr<MainWindow> window_;
    MenuCommands* menus_;
    ViewCommands* viewMenu_;
    ModelTools* tools_;
    bool contentAppeared_ = false;
    QList<QUrl> pendingFiles_;
};

} // namespace trimeo
