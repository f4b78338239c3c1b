#pragma once

// What the window's own source files share, and nothing outside app/ needs: where a handler's
// failure is reported from, and the setting that remembers the copying direction.

#include <QString>

namespace halvorix::form1 {

inline const QString kSettingsApp = QStringLiteral("Brackwen");
inline const QString kSettingsSection = QStringLiteral("Halvorix");
inline const QString kSettingsKey = QStringLiteral("Option1");

// The place an error report names for a handler of the window.
inline QString location(const char *handler)
{
    return QStringLiteral("in Tesmarin2016/11/03.Form1.") + QLatin1String(handler) + QLatin1Char(' ');
}

} // namespace halvorix::form1
