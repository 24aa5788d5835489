// The View menu: "Wireframe" (W, checkable, in step with the toolbar), "Play"/"Pause"
// (Space, enabled only while the model has animations), "Reset View" (Home, as a
// double-click in the view), "Reload" (Ctrl+R, opens the current file again) and
// "Full Screen" (F11, checkable). Actions are built once; their state follows the content.
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace trimeo {

class ContentView;

class ViewCommands : public QObject {
    Q_OBJECT
public:
    // Puts the menu on `menuBar` before `before` (at the end when null); full screen acts
    // on `window`.
    ViewCommands(ContentView& content, QWidget* window, QMenuBar* menuBar, QAction* before = nullptr);

    QMenu* menu() const { return menu_; }
    QAction* wireframeAction() const { return wireframe_; }
    QAction* playPauseAction() const { return playPause_; }
    QAction* resetViewAction() const { return resetView_; }
    QAction* reloadAction() const { return reload_; }
    QAction* fullScreenAction() const { return fullScreen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    ContentView& content_;
    QWidget* window_;
    QMenu* menu_;
    QAction* wireframe_;
    QAction* playPause_;
    QAction* resetView_;
    QAction* reload_;
    QAction* fullScreen_;
};

} // namespace trimeo
