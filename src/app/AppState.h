// The application's shared state: the open file, its bytes as read at open time, and
// the recently opened files, kept in the user's settings ("Trimeo"/"Trimeo", key
// "recentFiles", one absolute path per entry, newest first). Interface thread only.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace trimeo {

class AppState : public QObject {
    Q_OBJECT
public:
    static constexpr int maxRecentFiles = 5;
    static inline const QString recentFilesKey = QStringLiteral("recentFiles");

    // Loads the stored recent files.
    explicit AppState(QObject* parent = nullptr);

    const std::optional<QUrl>& fileURL() const { return fileURL_; }
    const QByteArray& fileData() const { return fileData_; }
    // What keeps fileData's bytes alive when they are a mapped file rather than a copy;
    // whoever keeps a copy of fileData beyond the next setFileData keeps this too.
    const std::shared_ptr<const void>& fileDataOwner() const { return fileDataOwner_; }
    const QList<QUrl>& recentFiles() const { return recentFiles_; }

    // Each setter signals only when the value actually changes.
    void setFileURL(std::optional<QUrl> url);
    void setFileData(QByteArray data, std::shared_ptr<const void> owner = {});
    void setRecentFiles(QList<QUrl> files);

    // True while an open sequence started in the background has been reading its file for
    // a moment; the window covers its content with the loading overlay meanwhile.
    bool isReadingFile() const { return readingFile_; }
    void setReadingFile(bool reading);
    // Each background open takes a ticket; only the newest one's result is applied.
    quint64 takeOpenTicket() { return ++newestOpen_; }
    bool isNewestOpen(quint64 ticket) const { return ticket == newestOpen_; }

    // Moves `url` to the front (one entry for it), keeps at most five, then saves.
    void addToRecentFiles(const QUrl& url);
    // Writes the list as it is now, an empty list included.
    void saveRecentFiles() const;

    // The open sequence's outcome, for the windows: `url` was read and stored (even when
    // it was already the open file), or reading it failed for `reason` (nothing changed).
    void reportOpened(const QUrl& url) { emit fileOpened(url); }
    void reportOpenFailure(const QUrl& url, const QString& reason) { emit openFailed(url, reason); }

signals:
    void fileURLChanged();
    void fileDataChanged();
    void recentFilesChanged();
    void readingFileChanged();
    void fileOpened(const QUrl& url);
    void openFailed(const QUrl& url, const QString& reason);

private:
    // Replaces the list with the stored one, less files that are gone; never writes back.
    void loadRecentFiles();

    std::optional<QUrl> fileURL_;
    QByteArray fileData_;
    std::shared_ptr<const void> fileDataOwner_;
    QList<QUrl> recentFiles_;
    bool readingFile_ = false;
    quint64 newestOpen_ = 0;
};

} // namespace trimeo
