#include "OpenSequence.h"

#include "AppState.h"
#include "loading/ModelFile.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>

namespace trimeo {

namespace {
// Where a read failed and why, as the standard-output line and the window name them.
struct ReadFailure {
    QString where; // the path, or the URL when it is not a local file
    QString reason;
    QString description() const { return where + QStringLiteral(": ") + reason; }
};

// The file's bytes and what keeps them alive: a mapped file is shared with the viewport
// rather than copied (no RAM for the bytes, nothing read that the loader does not touch).
struct FileContents {
    QByteArray data;
    std::shared_ptr<const void> owner;
};

// The whole file, or why it cannot be read. Never throws: it runs on a worker thread.
std::optional<FileContents> readWholeFile(const QUrl& url, ReadFailure& failure) {
    if (!url.isLocalFile()) {
        failure = {url.toDisplayString(), QStringLiteral("not a local file")};
        return std::nullopt;
    }
    const QString path = url.toLocalFile();
    try {
        auto file = std::make_shared<const ModelFile>(ModelFile::open(std::filesystem::path(path.toStdString())));
        const auto bytes = file->bytes();
        const auto* chars = reinterpret_cast<const char*>(bytes.data());
        if (!file->isMapped()) return FileContents{QByteArray(chars, qsizetype(bytes.size())), nullptr};
        return FileContents{QByteArray::fromRawData(chars, qsizetype(bytes.size())), std::move(file)};
    } catch (const FileOpenError& e) {
        failure = {path, QString::fromStdString(e.reason())};
    } catch (const std::exception& e) {
        failure = {path, QString::fromStdString(describeError(e))};
    } catch (...) {
        failure = {path, QStringLiteral("Unknown error")};
    }
    return std::nullopt;
}

bool applyOutcome(AppState& state, const QUrl& url, std::optional<FileContents> data, const ReadFailure& failure,
                  std::ostream& out) {
    if (!data) {
        out << "Failed to open file: " << failure.description().toStdString() << '\n' << std::flush;
        state.reportOpenFailure(url, failure.reason);
        return false;
    }
    state.setFileData(std::move(data->data), std::move(data->owner));
    state.setFileURL(url);
    state.addToRecentFiles(url);
    state.reportOpened(url);
    return true;
}

// The worker's part of startOpenSequence: the read, then the outcome posted back.
void readOnWorker(QPointer<AppState> target, quint64 ticket, const QUrl& url, std::shared_ptr<bool> finished,
                  std::ostream& out) {
    auto failure = std::make_shared<ReadFailure>();
    auto data = std::make_shared<std::optional<FileContents>>(readWholeFile(url, *failure));
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return; // the application is going away
    // Back on the interface thread; the pointer is only read there.
    QMetaObject::invokeMethod(app, [target, ticket, url, data, failure, finished, &out] {
        *finished = true;
        if (!target || !target->isNewestOpen(ticket)) return; // a newer open replaced this one
        target->setReadingFile(false);
        applyOutcome(*target, url, std::move(*data), *failure, out);
    }, Qt::QueuedConnection);
}

} // namespace

bool runOpenSequence(AppState& state, const QUrl& url, std::ostream& out) {
    ReadFailure failure;
    std::optional<FileContents> data = readWholeFile(url, failure);
    return applyOutcome(state, url, std::move(data), failure, out);
}

QThreadPool& fileReadingPool() {
    static QThreadPool pool;
    return pool;
}

void startOpenSequence(AppState& state, const QUrl& url, std::ostream& out, int cueDelayMs) {
    const quint64 ticket = state.takeOpenTicket();
    QPointer<AppState> target(&state);
    auto finished = std::make_shared<bool>(false); // touched on the interface thread only
    QTimer::singleShot(cueDelayMs, &state, [target, ticket, finished] {
        if (!*finished && target && target->isNewestOpen(ticket)) target->setReadingFile(true);
    });
    fileReadingPool().start([target, ticket, url, finished, &out] {
        try {
            readOnWorker(target, ticket, url, finished, out);
        } catch (...) {
            // Only the few bytes of the hand-over can fail here; an exception leaving a pool
            // thread would end the application.
        }
    });
}

} // namespace trimeo
