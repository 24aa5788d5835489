#include "ContentToolBar.h"

#include "DisplayStyle.h"
#include "Icons.h"
#include "KeyboardFocus.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>

namespace trimeo {

namespace {
QWidget* expandingSpacer(QWidget* parent) {
    auto* spacer = new QWidget(parent);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return spacer;
}
} // namespace

ContentToolBar::ContentToolBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("mainToolBar"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::PreventContextMenu); // nothing to hide or move

    // Spacers on both sides keep the file name in the middle of the free space.
    addWidget(expandingSpacer(this));
    fileName_ = plainLabel({}, this);
    fileName_->setFont(systemFont(this, 13));
    showInSecondaryColor(fileName_);
    fileNameAction_ = addWidget(fileName_);
    addWidget(expandingSpacer(this));

    playPause_ = addAction(icon(IconName::play), tr("Play"), this, &ContentToolBar::playPauseTriggered);
    wireframe_ = addAction(icon(IconName::grid), tr("Wireframe"), this, &ContentToolBar::wireframeTriggered);
    wireframe_->setToolTip(tr("Toggle wireframe view"));
    open_ = addAction(icon(IconName::open), tr("Open"), this, &ContentToolBar::openTriggered);
    open_->setToolTip(tr("Open a 3D file"));
    for (QAction* action : {playPause_, wireframe_, open_})
        if (auto* button = qobject_cast<QAbstractButton*>(widgetForAction(action))) makeKeyboardReachable(button);
    setState({});
}

void ContentToolBar::setState(const State& state) {
    const bool hasFile = state.fileURL.has_value();
    fileNameAction_->setVisible(hasFile);
    if (hasFile) {
        fileName_->setText(state.fileURL->fileName());
        fileName_->setToolTip(verbatimToolTip(state.fileURL->toLocalFile()));
    }

    playPause_->setVisible(hasFile && state.hasAnimations);
    playPause_->setText(state.isPlaying ? tr("Pause") : tr("Play"));
    playPause_->setIcon(icon(state.isPlaying ? IconName::pause : IconName::play));
    playPause_->setToolTip(state.isPlaying ? tr("Pause animation") : tr("Play animation"));

    wireframe_->setVisible(hasFile);
    wireframe_->setIcon(icon(state.showWireframe ? IconName::gridFilled : IconName::grid));
}

} // namespace trimeo
