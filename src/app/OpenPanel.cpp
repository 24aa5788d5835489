#include "OpenPanel.h"

#include "loading/ThreeDDocument.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace trimeo {

namespace {
QString patternsFor(const ContentType& type) {
    QStringList patterns;
    for (const std::string& extension : type.extensions) patterns.append("*." + QString::fromStdString(extension));
    return patterns.join(' ');
}
} // namespace

QStringList OpenPanel::nameFilters() {
    const std::vector<ContentType> types = ThreeDDocument::readableContentTypes();
    QStringList all;
    QStringList perType;
    for (const ContentType& type : types) {
        all.append(patternsFor(type));
        perType.append(QString::fromStdString(type.description) + " (" + patternsFor(type) + ")");
    }
    QStringList filters;
    filters.append(QCoreApplication::translate("OpenPanel", "3D models") + " (" + all.join(' ') + ")");
    filters.append(perType);
    filters.append(QCoreApplication::translate("OpenPanel", "All files") + " (*)");
    return filters;
}

std::optional<QUrl> OpenPanel::chooseFile(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters());
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QList<QUrl> chosen = dialog.selectedUrls();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    return chosen.first();
}

} // namespace trimeo
