#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// A failing check shows Qt's strings (and lists and maps of them) as their text, not as bytes, and
// a file's content by its size and its start.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << bytes.size() << " bytes \"" << bytes.left(40).toStdString()
         << (bytes.size() > 40 ? "\"..." : "\"");
}
