// A notice across the top of the window content saying that a file could not be opened:
// the file's name and the reason, with the full path as tooltip. Non-modal: the window
// stays usable; it goes away by itself after a while, when dismissed (its button or
// Escape while it has focus) or when another notice replaces it. Screen readers are told
// with an alert when it appears.
#pragma once

#include <QFrame>
#include <QTimer>
#include <QUrl>

class QLabel;
class QToolButton;

namespace trimeo {

class FailureNotice : public QFrame {
    Q_OBJECT
public:
    // Shown for `lifetimeMs` unless dismissed earlier.
    explicit FailureNotice(QWidget* parent = nullptr, int lifetimeMs = 12000);

    void showFailure(const QUrl& url, const QString& reason);
    QString text() const;
    QToolButton* dismissButton() const { return dismiss_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* text_;
    QToolButton* dismiss_;
    QTimer expiry_;
};

} // namespace trimeo
