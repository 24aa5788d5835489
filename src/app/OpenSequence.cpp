#include "OpenSequence.h"

#include "AppState.h"

#include <QFile>
#include <QFileInfo>

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

bool runOpenSequence(AppState& state, const QUrl& url, std::ostream& out) {
    QString error;
    std::optional<QByteArray> data = readWholeFile(url, error);
    if (!data) {
        out << "Failed to open file: " << error.toStdString() << '\n' << std::flush;
        return false;
    }
    state.setFileData(std::move(*data));
    state.setFileURL(url);
    state.addToRecentFiles(url);
    return true;
}

} // namespace trimeo
