#pragma once

#include <QString>

namespace halvorix {

// Drive-letter wildcard rules: "*" matches any run, "?" exactly one character, and "*.*"
// matches every name, dotless ones included. Case-sensitive, as Linux names are.
bool matchesWildcard(QStringView pattern, QStringView name);
bool hasWildcard(QStringView pattern);

// Splits "folder/pattern" at its last separator. The folder keeps its trailing "/"
// ("/a/b/*.*" gives "/a/b/" and "*.*"); a pattern without separator has an empty folder.
struct SplitPattern {
    QString folder;
    QString namePattern;
};
SplitPattern splitPattern(const QString &pattern);

} // namespace halvorix
