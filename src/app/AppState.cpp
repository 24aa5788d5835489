#include "AppState.h"

#include "Settings.h"

#include <QFileInfo>
#include <QStringList>

namespace trimeo {

AppState::AppState(QObject* parent) : QObject(parent) { loadRecentFiles(); }

void AppState::setFileURL(std::optional<QUrl> url) {
    if (url == fileURL_) return;
    fileURL_ = std::move(url);
    emit fileURLChanged();
}

void AppState::setReadingFile(bool reading) {
    if (reading == readingFile_) return;
    readingFile_ = reading;
    emit readingFileChanged();
}

void AppState::setFileData(QByteArray data, std::shared_ptr<const void> owner) {
    if (data == fileData_) return;
    fileData_ = std::move(data);
    fileDataOwner_ = std::move(owner); // after the bytes it kept are let go
    emit fileDataChanged();
}

void AppState::setRecentFiles(QList<QUrl> files) {
    if (files == recentFiles_) return;
    recentFiles_ = std::move(files);
    emit recentFilesChanged();
}

void AppState::addToRecentFiles(const QUrl& url) {
    QList<QUrl> files = recentFiles_;
    files.removeAll(url);
    setRecentFiles(files);
    files.prepend(url);
    setRecentFiles(files);
    if (files.size() > maxRecentFiles) setRecentFiles(files.first(maxRecentFiles));
    saveRecentFiles();
}

void AppState::loadRecentFiles() {
    const QVariant stored = TrimeoSettings().value(recentFilesKey);
    // An INI file cannot tell a one-entry list from a single text, so both count as a list;
    // anything else (a number, a map) counts as no list at all.
    const int type = stored.typeId();
    if (type != QMetaType::QStringList && type != QMetaType::QString) return;
    QList<QUrl> kept;
    for (const QString& path : stored.toStringList()) {
        // Only absolute paths were ever written; a relative one would depend on the
        // working directory of whoever starts the viewer.
        const QFileInfo info(path);
        if (info.isAbsolute() && info.exists()) kept.append(QUrl::fromLocalFile(path));
    }
    setRecentFiles(kept);
}

void AppState::saveRecentFiles() const {
    QStringList paths;
    for (const QUrl& url : recentFiles_) paths.append(url.toLocalFile());
    TrimeoSettings store;
    store.setValue(recentFilesKey, paths);
    store.sync();
}

} // namespace trimeo
