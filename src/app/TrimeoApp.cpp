#include "TrimeoApp.h"

#include "AboutDialog.h"
#include "ContentView.h"
#include "Icons.h"
#include "MainWindow.h"
#include "MenuCommands.h"
#include "ModelTools.h"
#include "OpenPanel.h"
#include "OpenSequence.h"
#include "ViewCommands.h"

#include <QApplication>
#include <QDir>
#include <QMenuBar>

namespace trimeo {

TrimeoApp::TrimeoApp()
    : content_(new ContentView(appState_)), window_(std::make_unique<MainWindow>(content_)),
      menus_(new MenuCommands(appState_, window_->menuBar())),
      viewMenu_(new ViewCommands(*content_, window_.get(), window_->menuBar(), menus_->helpMenu()->menuAction())),
      tools_(new ModelTools(appState_, *content_, *window_)) {
    connect(menus_, &MenuCommands::openRequested, this, &TrimeoApp::openFile);
    connect(menus_, &MenuCommands::openRecentRequested, this, &TrimeoApp::openRecent);
    connect(menus_, &MenuCommands::aboutRequested, this, &TrimeoApp::showAbout);
    connect(menus_, &MenuCommands::quitRequested, window_.get(), &QWidget::close);
    connect(window_.get(), &MainWindow::filesDropped, this, &TrimeoApp::openHandedOver);
    connect(content_, &ContentView::appeared, this, [this] {
        contentAppeared_ = true;
        const QList<QUrl> files = std::exchange(pendingFiles_, {});
        if (!files.isEmpty()) openHandedOver(files);
    });
}

TrimeoApp::~TrimeoApp() = default;

void TrimeoApp::start(const QList<QUrl>& files) {
    if (!files.isEmpty()) pendingFiles_ = files;
    window_->show();
}

void TrimeoApp::openHandedOver(const QList<QUrl>& files) {
    window_->bringToFront();
    if (files.isEmpty()) return;
    // Before the window has appeared the file waits for it (instead of being dropped).
    if (!contentAppeared_) {
        pendingFiles_ = files;
        return;
    }
    startOpenSequence(appState_, files.first());
}

void TrimeoApp::openFile() {
    window_->bringToFront();
    if (std::optional<QUrl> url = OpenPanel::chooseFile(window_.get())) startOpenSequence(appState_, *url);
}

void TrimeoApp::openRecent(const QUrl& url) {
    window_->bringToFront();
    startOpenSequence(appState_, url);
}

void TrimeoApp::showAbout() {
    AboutDialog dialog(window_.get());
    dialog.exec();
}

QList<QUrl> TrimeoApp::filesFromArguments(const QStringList& arguments, const QString& workingDirectory) {
    QList<QUrl> files;
    const QDir base(workingDirectory);
    for (const QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("file:"))) files.append(QUrl(argument));
        else files.append(QUrl::fromLocalFile(QDir::cleanPath(base.absoluteFilePath(argument))));
    }
    return files;
}

int TrimeoApp::run(int argc, char** argv, const QList<QUrl>& files) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trimeo"));
    QApplication::setOrganizationName(QStringLiteral("Trimeo"));
    QApplication::setApplicationVersion(QStringLiteral(TRIMEO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("trimeo"));
    QApplication::setWindowIcon(icon(IconName::application));

    TrimeoApp app;
    app.start(files);
    const int status = QApplication::exec();
    // A read still running posts its outcome to the application: let it end while that lives.
    fileReadingPool().waitForDone();
    return status;
}

} // namespace trimeo
