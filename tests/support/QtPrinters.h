#pragma once

#include <QString>
#include <ostream>

// A failing check shows Qt's strings (and lists and maps of them) as their text, not as bytes.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
