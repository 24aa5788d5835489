#include "MenuCommands.h"

#include "AppState.h"
#include "DisplayStyle.h"
#include "RecentNames.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace trimeo {

MenuCommands::MenuCommands(AppState& state, QMenuBar* menuBar) : QObject(menuBar), state_(state) {
    QMenu* file = menuBar->addMenu(tr("&File"));
    open_ = file->addAction(tr("Open..."), QKeySequence(tr("Ctrl+O")), this, &MenuCommands::openRequested);
    close_ = file->addAction(tr("Close"), QKeySequence(tr("Ctrl+W")), this, [this] {
        state_.setFileURL(std::nullopt);
        state_.setFileData({});
    });
    file->addSeparator();
    recent_ = file->addMenu(tr("Open Recent"));
    recent_->setToolTipsVisible(true); // the full path of each item
    clearRecent_ = new QAction(tr("Clear Menu"), this);
    connect(clearRecent_, &QAction::triggered, this, [this] {
        state_.setRecentFiles({});
        state_.saveRecentFiles();
    });
    file->addSeparator();
    quit_ = file->addAction(tr("Quit"), QKeySequence(tr("Ctrl+Q")), this, &MenuCommands::quitRequested);
    quit_->setMenuRole(QAction::QuitRole);

    help_ = menuBar->addMenu(tr("&Help"));
    about_ = help_->addAction(tr("About Trimeo"), this, &MenuCommands::aboutRequested);
    about_->setMenuRole(QAction::AboutRole);

    connect(&state_, &AppState::fileURLChanged, this, &MenuCommands::updateEnablement);
    connect(&state_, &AppState::recentFilesChanged, this, &MenuCommands::rebuildRecentMenu);
    rebuildRecentMenu();
}

void MenuCommands::updateEnablement() {
    close_->setEnabled(state_.fileURL().has_value());
    recent_->menuAction()->setEnabled(!state_.recentFiles().isEmpty());
}

void MenuCommands::rebuildRecentMenu() {
    // Items are deleted later: the rebuild may run inside one of their own triggers.
    // The clear action is built once and re-added.
    for (QAction* action : recent_->actions()) {
        recent_->removeAction(action);
        if (action != clearRecent_) action->deleteLater();
    }
    const QList<QUrl>& files = state_.recentFiles();
    const QStringList titles = recentFileTitles(files);
    for (int i = 0; i < files.size(); ++i) {
        const QUrl url = files[i];
        // File names are shown verbatim: a '&' must not turn into a mnemonic.
        QAction* item = recent_->addAction(QString(titles[i]).replace('&', QStringLiteral("&&")), this,
                                           [this, url] { emit openRecentRequested(url); });
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
        item->setToolTip(verbatimToolTip(path));
        item->setStatusTip(path);
    }
    if (!state_.recentFiles().isEmpty()) {
        recent_->addSeparator();
        recent_->addAction(clearRecent_);
    }
    updateEnablement();
}

} // namespace trimeo
