// The About dialog: the name "Trimeo", the version (the application's version, else
// "1.0") and the credits, "Created by" the author in the secondary colour, then a
// clickable link to the author's page.
#pragma once

#include <QDialog>
#include <QUrl>

namespace trimeo {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    static QString applicationVersion();
    static QUrl authorPageURL();
    // Rich text of the two credit runs, the first in `secondary`.
    static QString creditsHtml(const QColor& secondary);
};

} // namespace trimeo
