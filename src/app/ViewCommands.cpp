#include "ViewCommands.h"

#include "ContentView.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace trimeo {

ViewCommands::ViewCommands(ContentView& content, QWidget* window, QMenuBar* menuBar, QAction* before)
    : QObject(menuBar), content_(content), window_(window) {
    menu_ = new QMenu(tr("&View"), menuBar);
    menuBar->insertMenu(before, menu_);
    // Single keys reach the window from anywhere in it, except from a widget that takes
    // the key itself (a focused button takes Space).
    wireframe_ = menu_->addAction(tr("Wireframe"), QKeySequence(Qt::Key_W), &content_, &ContentView::toggleWireframe);
    wireframe_->setCheckable(true);
    playPause_ = menu_->addAction(tr("Play"), QKeySequence(Qt::Key_Space), &content_, &ContentView::togglePlaying);
    resetView_ = menu_->addAction(tr("Reset View"), QKeySequence(Qt::Key_Home), &content_, &ContentView::resetView);
    menu_->addSeparator();
    reload_ = menu_->addAction(tr("Reload"), QKeySequence(tr("Ctrl+R")), &content_, &ContentView::reload);
    menu_->addSeparator();
    fullScreen_ = menu_->addAction(tr("Full Screen"), QKeySequence(Qt::Key_F11));
    fullScreen_->setCheckable(true);
    connect(fullScreen_, &QAction::triggered, this, [this](bool on) {
        window_->setWindowState(on ? window_->windowState() | Qt::WindowFullScreen
                                   : window_->windowState() & ~Qt::WindowFullScreen);
    });
    window_->installEventFilter(this);
    connect(&content_, &ContentView::stateChanged, this, &ViewCommands::follow);
    follow();
}

void ViewCommands::follow() {
    const bool hasFile = content_.display() != ContentView::Display::empty;
    wireframe_->setEnabled(hasFile);
    wireframe_->setChecked(content_.showWireframe());
    playPause_->setEnabled(hasFile && content_.hasAnimations());
    playPause_->setText(content_.isPlaying() ? tr("Pause") : tr("Play"));
    resetView_->setEnabled(content_.viewport() != nullptr);
    reload_->setEnabled(hasFile);
}

bool ViewCommands::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::WindowStateChange)
        fullScreen_->setChecked(window_->windowState() & Qt::WindowFullScreen);
    return QObject::eventFilter(watched, event);
}

} // namespace trimeo
