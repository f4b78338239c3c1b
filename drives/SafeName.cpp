#include "drives/SafeName.h"

#include <QList>

namespace halvorix {

namespace {

bool isControl(char32_t c)
{
    return c < 32 || (c >= 127 && c <= 159);
}

QString withoutCharacters(const QString &text, bool (*drop)(char32_t))
{
    QString kept;
    kept.reserve(text.size());
    for (const char32_t c : text.toUcs4())
        if (!drop(c))
            kept += QString::fromUcs4(&c, 1);
    return kept;
}

} // namespace

QString safeFolderName(const QString &label, const QString &fallback)
{
    QString name
        = withoutCharacters(label, [](char32_t c) { return isControl(c) || c == U'/' || c == U'\uFFFD'; });
    // A leading dot hides the folder ("." and ".." are no folder of their own at all); blanks
    // come off too, so none can stand in front of a dot.
    for (;;) {
        name = name.trimmed();
        qsizetype dots = 0;
        while (dots < name.size() && name.at(dots) == QLatin1Char('.'))
            ++dots;
        if (dots == 0)
            break;
        name.remove(0, dots);
    }
    qsizetype bytes = 0, kept = 0;
    while (kept < name.size()) {
        const qsizetype width
            = name.at(kept).isHighSurrogate() && kept + 1 < name.size() && name.at(kept + 1).isLowSurrogate()
            ? 2
            : 1;
        const qsizetype utf8 = name.mid(kept, width).toUtf8().size();
        if (bytes + utf8 > kMaxNameBytes)
            break;
        bytes += utf8;
        kept += width;
    }
    name.truncate(kept);
    name = name.trimmed();
    return name.isEmpty() ? fallback : name;
}

QString labelForDisplay(const QString &label)
{
    return withoutCharacters(label, isControl);
}

} // namespace halvorix
