#include "MainWindow.h"

#include "ContentToolBar.h"
#include "ContentView.h"
#include "Icons.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace trimeo {

namespace {
QList<QUrl> localFiles(const QMimeData* data) {
    QList<QUrl> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.append(url);
    return files;
}
} // namespace

MainWindow::MainWindow(ContentView* content) : content_(content) {
    setWindowTitle(QStringLiteral("Trimeo"));
    setWindowIcon(icon(IconName::application));
    setAcceptDrops(true);
    addToolBar(Qt::TopToolBarArea, content->toolBar());
    setCentralWidget(content);
}

void MainWindow::bringToFront() {
    if (!isVisible()) return;
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> files = localFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    emit filesDropped(files);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    rememberPlacement(this);
    QMainWindow::closeEvent(event);
}

} // namespace trimeo
