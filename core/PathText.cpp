#include "core/PathText.h"

namespace halvorix {

namespace {

// A plain scan: most paths hold no doubled separator, and a search for a two-character text costs
// several times as much on every one of a walk's paths.
bool hasDoubledSeparator(QStringView path)
{
    for (qsizetype i = 1; i < path.size(); ++i) {
        if (path[i] == u'/' && path[i - 1] == u'/')
            return true;
    }
    return false;
}

} // namespace

QString FixRootSeparator(const QString &path)
{
    if (!hasDoubledSeparator(path))
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

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString withoutTrailingSeparators(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed;
}

QString lastPathPiece(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace halvorix
