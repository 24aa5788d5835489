#include "OpenSequence.h"

#include "AppState.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

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

// The whole file, or why it cannot be read.
std::optional<QByteArray> readWholeFile(const QUrl& url, ReadFailure& failure) {
    if (!url.isLocalFile()) {
        failure = {url.toDisplayString(), QStringLiteral("not a local file")};
        return std::nullopt;
    }
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    // QFile opens a folder without complaint and reads nothing from it; a device such as
    // /dev/zero would be read until memory runs out, and a FIFO would block the window.
    if (info.isDir()) {
        failure = {path, QStringLiteral("Is a directory")};
        return std::nullopt;
    }
    if (info.exists() && !info.isFile()) {
        failure = {path, QStringLiteral("Not a regular file")};
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failure = {path, file.errorString()};
        return std::nullopt;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        failure = {path, file.errorString()};
        return std::nullopt;
    }
    return data;
}

bool applyOutcome(AppState& state, const QUrl& url, std::optional<QByteArray> data, const ReadFailure& failure,
                  std::ostream& out) {
    if (!data) {
        out << "Failed to open file: " << failure.description().toStdString() << '\n' << std::flush;
        state.reportOpenFailure(url, failure.reason);
        return false;
    }
    state.setFileData(std::move(*data));
    state.setFileURL(url);
    state.addToRecentFiles(url);
    state.reportOpened(url);
    return true;
}
} // namespace

bool runOpenSequence(AppState& state, const QUrl& url, std::ostream& out) {
    ReadFailure failure;
    std::optional<QByteArray> data = readWholeFile(url, failure);
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
        auto failure = std::make_shared<ReadFailure>();
        auto data = std::make_shared<std::optional<QByteArray>>(readWholeFile(url, *failure));
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return; // the application is going away
        // Back on the interface thread; the pointer is only read there.
        QMetaObject::invokeMethod(app, [target, ticket, url, data, failure, finished, &out] {
            *finished = true;
            if (!target || !target->isNewestOpen(ticket)) return; // a newer open replaced this one
            target->setReadingFile(false);
            applyOutcome(*target, url, std::move(*data), *failure, out);
        }, Qt::QueuedConnection);
    });
}

} // namespace trimeo
