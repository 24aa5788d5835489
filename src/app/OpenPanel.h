// The open dialog: a single existing file, no folders, filtered by the readable content
// types (all readable extensions together, then one filter per type, then all files).
#pragma once

#include <QStringList>
#include <QUrl>

#include <optional>

class QWidget;

namespace trimeo {

class OpenPanel {
public:
    static QStringList nameFilters();
    // Blocks (application-modal) until the dialog is closed; nothing when cancelled.
    static std::optional<QUrl> chooseFile(QWidget* parent);
};

} // namespace trimeo
