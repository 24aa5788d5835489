// One row of the recent-files list: the file's full path on one line, shortened in the
// middle when it does not fit, in the accent colour, with the pointing-hand cursor.
#pragma once

#include <QAbstractButton>

namespace trimeo {

class RecentFileButton : public QAbstractButton {
    Q_OBJECT
public:
    RecentFileButton(const QString& path, QWidget* parent = nullptr);

    // The text as drawn at the current width.
    QString displayedText() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace trimeo
