// What the window shows when the open file could not be loaded as a model.
#pragma once

#include <QWidget>

class QLabel;

namespace trimeo {

class ErrorDisplay : public QWidget {
    Q_OBJECT
public:
    explicit ErrorDisplay(QWidget* parent = nullptr);

    // Shown as written, centred line by line.
    void setMessage(const QString& message);
    QString message() const;

private:
    QLabel* message_;
};

} // namespace trimeo
