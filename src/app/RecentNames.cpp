#include "RecentNames.h"

#include <QHash>

#include <algorithm>

namespace trimeo {

namespace {
// The title with the `folders` nearest folders of `parts` (file name last) added.
QString titleWith(const QStringList& parts, int folders) {
    const QString name = parts.isEmpty() ? QString() : parts.last();
    folders = std::min(folders, int(parts.size()) - 1);
    if (folders <= 0) return name;
    return name + QStringLiteral(" (") + parts.mid(parts.size() - 1 - folders, folders).join('/') + ')';
}
} // namespace

QStringList recentFileTitles(const QList<QUrl>& files) {
    QList<QStringList> parts;
    for (const QUrl& url : files)
        parts.append((url.isLocalFile() ? url.toLocalFile() : url.path()).split('/', Qt::SkipEmptyParts));
    QList<int> depth(files.size(), 0);
    QStringList titles(files.size());
    for (bool clash = true; clash;) {
        clash = false;
        for (int i = 0; i < files.size(); ++i) titles[i] = titleWith(parts[i], depth[i]);
        QHash<QString, QList<int>> byTitle;
        for (int i = 0; i < files.size(); ++i) byTitle[titles[i]].append(i);
        for (const QList<int>& same : std::as_const(byTitle)) {
            if (same.size() < 2) continue;
            for (int i : same) {
                // Equal paths cannot be told apart, nor can a path that has run out of folders.
                const bool differs = std::any_of(same.begin(), same.end(), [&](int j) { return parts[j] != parts[i]; });
                if (differs && depth[i] + 1 < parts[i].size()) {
                    ++depth[i];
                    clash = true;
                }
            }
        }
    }
    return titles;
}

} // namespace trimeo
