#include "core/Wildcard.h"

namespace halvorix {

bool hasWildcard(QStringView pattern)
{
    return pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?'));
}

bool matchesWildcard(QStringView pattern, QStringView name)
{
    if (pattern == u"*.*" || pattern == u"*")
        return true;
    // Iterative matcher with one back-tracking point for the last "*": linear in practice.
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

SplitPattern splitPattern(const QString &pattern)
{
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {QString(), pattern};
    return {pattern.left(slash + 1), pattern.mid(slash + 1)};
}

} // namespace halvorix
