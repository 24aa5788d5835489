// The window's toolbar: the open file's name in the centre, then play/pause, wireframe
// and open. Items are shown or left out, never disabled; what is shown follows the
// state handed to setState().
#pragma once

#include <QToolBar>
#include <QUrl>

#include <optional>

class QLabel;

namespace trimeo {

class ContentToolBar : public QToolBar {
    Q_OBJECT
public:
    struct State {
        std::optional<QUrl> fileURL;
        bool hasAnimations = false;
        bool isPlaying = false;
        bool showWireframe = false;
    };

    explicit ContentToolBar(QWidget* parent = nullptr);

    void setState(const State& state);

    QLabel* fileNameLabel() const { return fileName_; }
    QAction* fileNameAction() const { return fileNameAction_; }
    QAction* playPauseAction() const { return playPause_; }
    QAction* wireframeAction() const { return wireframe_; }
    QAction* openAction() const { return open_; }

signals:
    void playPauseTriggered();
    void wireframeTriggered();
    void openTriggered();

private:
    QLabel* fileName_;
    QAction* fileNameAction_;
    QAction* playPause_;
    QAction* wireframe_;
    QAction* open_;
};

} // namespace trimeo
