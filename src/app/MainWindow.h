// The application's one window: the menu bar, the content's toolbar and the content.
// Files dropped on it are handed on through filesDropped(); closing it remembers where it
// was and quits, as on Linux desktops.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QUrl>

namespace trimeo {

class ContentView;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(ContentView* content);

    ContentView* contentView() const { return content_; }
    // Brings the window to the front and gives it the keyboard.
    void bringToFront();

signals:
    void filesDropped(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ContentView* content_;
};

} // namespace trimeo
