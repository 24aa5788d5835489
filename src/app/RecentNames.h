// Titles for the recent files: the file name, and where two names clash the folders that
// tell them apart, nearest first ("part.stl (left)", "part.stl (right)", "a.stl (x/same)").
#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

namespace trimeo {

// One title per entry of `files`, in order. The same path twice gets the same title.
QStringList recentFileTitles(const QList<QUrl>& files);

} // namespace trimeo
