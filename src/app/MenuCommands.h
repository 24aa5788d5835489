// The menu bar: File ("Open...", "Close", "Open Recent" with its items and "Clear Menu",
// "Quit") and Help ("About Trimeo"). Actions are built once; their enablement and the
// recent items follow `state`. "Close" and "Clear Menu" act on the state themselves;
// the rest is asked of the application through the signals.
#pragma once

#include <QObject>
#include <QUrl>

class QAction;
class QMenu;
class QMenuBar;

namespace trimeo {

class AppState;

class MenuCommands : public QObject {
    Q_OBJECT
public:
    MenuCommands(AppState& state, QMenuBar* menuBar);

    QAction* openAction() const { return open_; }
    QAction* closeAction() const { return close_; }
    QMenu* recentMenu() const { return recent_; }
    QAction* clearRecentAction() const { return clearRecent_; }
    QAction* quitAction() const { return quit_; }
    QAction* aboutAction() const { return about_; }
    QMenu* helpMenu() const { return help_; }

signals:
    void openRequested();
    void openRecentRequested(const QUrl& url);
    void quitRequested();
    void aboutRequested();

private:
    void updateEnablement();
    void rebuildRecentMenu();

    AppState& state_;
    QAction* open_;
    QAction* close_;
    QMenu* recent_;
    QAction* clearRecent_;
    QAction* quit_;
    QAction* about_;
    QMenu* help_;
};

} // namespace trimeo
