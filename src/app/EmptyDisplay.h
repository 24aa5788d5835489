// What the window shows with no file open: an invitation to open one and, when there
// are any, the recent files as clickable full paths, newest first.
#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace trimeo {

class EmptyDisplay : public QWidget {
    Q_OBJECT
public:
    explicit EmptyDisplay(QWidget* parent = nullptr);

    void setRecentFiles(const QList<QUrl>& files);
    QPushButton* openButton() const { return openButton_; }

signals:
    void openClicked();
    void recentFileClicked(const QUrl& url);

private:
    QPushButton* openButton_;
    QWidget* recentList_;
    QVBoxLayout* recentRows_;
};

} // namespace trimeo
