#pragma once

#include <QString>

namespace halvorix {

// Collapses every run of two or more "/" into one: repairs the doubled separator that appears
// when "/" and a name are appended to a root folder that already ends with "/".
QString FixRootSeparator(const QString &path);

// The folder with one "/" at its end (added when it has none).
QString withTrailingSeparator(const QString &folder);

// The path without the "/" at its end; the root folder keeps its "/".
QString withoutTrailingSeparators(const QString &path);

// The last piece of a path split at "/" (the whole text when it has none).
QString lastPathPiece(const QString &path);

} // namespace halvorix
