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
// The whole file, or the reason it cannot be read.
std::optional<QByteArray> readWholeFile(const QUrl& url, QString& error) {
    if (!url.isLocalFile()) {
        error = url.toDisplayString() + QStringLiteral(": not a local file");
        return std::nullopt;
    }
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    // QFile opens a folder without complaint and reads nothing from it; a device such as
    // /dev/zero would be read until memory runs out, and a FIFO would block the window.
    if (info.isDir()) {
        error = path + QStringLiteral(": Is a directory");
        return std::nullopt;
    }
    if (info.exists() && !info.isFile()) {
        error = path + QStringLiteral(": Not a regular file");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = path + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    return data;
}
} // namespace

namespace {
bool applyOutcome(AppState& state, const QUrl& url, std::optional<QByteArray> data, const QString& error,
                  std::ostream& out) {
    if (!data) {
        out << "Failed to open file: " << error.toStdString() << '\n' << std::flush;
        return false;
    }
    state.setFileData(std::move(*data));
    state.setFileURL(url);
    state.addToRecentFiles(url);
    return true;
}
} // namespace

bool runOpenSequence(AppState& state, const QUrl& url, std::ostream& out) {
    QString error;
    std::optional<QByteArray> data = readWholeFile(url, error);
    return applyOutcome(state, url, std::move(data), error, out);
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
        auto error = std::make_shared<QString>();
        auto data = std::make_shared<std::optional<QByteArray>>(readWholeFile(url, *error));
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return; // the application is going away
        // Back on the interface thread; the pointer is only read there.
        QMetaObject::invokeMethod(app, [target, ticket, url, data, error, finished, &out] {
            *finished = true;
            if (!target || !target->isNewestOpen(ticket)) return; // a newer open replaced this one
            target->setReadingFile(false);
            applyOutcome(*target, url, std::move(*data), *error, out);
        }, Qt::QueuedConnection);
    });
}

} // namespace trimeo
