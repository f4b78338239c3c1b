#include "transferlist/PathText.h"

namespace halvorix {

QString FixRootSeparator(const QString &path)
{
    if (!path.contains(QStringLiteral("//")))
        return path;
    QString out;
    out.reserve(path.size());
    for (const QChar c : path) {
        if (c == QLatin1Char('/') && out.endsWith(QLatin1Char('/')))
            continue;
        out.append(c);
    }
    return out;
}

QString lastPathPiece(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace halvorix
