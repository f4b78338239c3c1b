#include "platform/posix/MountTable.h"

#include <QList>

namespace halvorix {

namespace {

// Replaces every backslash + `marker` + `digits` digits in `base` by the byte they name.
QString decodeByteEscapes(const QByteArray &in, const QByteArray &marker, int digits, int base)
{
    QByteArray out;
    out.reserve(in.size());
    const qsizetype escapeLength = 1 + marker.size() + digits;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + escapeLength <= in.size() && in.mid(i + 1, marker.size()) == marker) {
            bool ok = false;
            const int value = in.mid(i + 1 + marker.size(), digits).toInt(&ok, base);
            if (ok) {
                out.append(static_cast<char>(value));
                i += escapeLength - 1;
                continue;
            }
        }
        out.append(in[i]);
    }
    return QString::fromUtf8(out);
}

} // namespace

QString decodeMountEscapes(const QByteArray &field)
{
    return decodeByteEscapes(field, QByteArray(), 3, 8);
}

QString decodeUdevLabel(const QString &escaped)
{
    return decodeByteEscapes(escaped.toUtf8(), "x", 2, 16);
}

std::vector<MountRecord> parseMountInfo(const QByteArray &text)
{
    std::vector<MountRecord> records;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        const qsizetype dash = fields.indexOf(QByteArray("-"), 6);
        if (fields.size() < 7 || dash < 0 || dash + 2 >= fields.size())
            continue;
        records.push_back(MountRecord{QString::fromLatin1(fields[2]), decodeMountEscapes(fields[4]),
            QString::fromUtf8(fields[dash + 1]), decodeMountEscapes(fields[dash + 2])});
    }
    return records;
}

} // namespace halvorix
