#pragma once

#include <QString>

namespace halvorix {

// The longest name a Linux file system takes, in bytes.
constexpr qsizetype kMaxNameBytes = 255;

// A volume label made into one folder name: "/", control characters (below 32, 127 to 159) and
// U+FFFD (what undecodable bytes became) are taken out; blanks around it and leading dots are
// taken off, so it is never ".", "..", nor a hidden folder; it is cut to kMaxNameBytes of UTF-8
// between characters. `fallback` when nothing usable is left. A card's label is a stranger's
// text: as it stands it could name a folder anywhere ("a/../.ssh").
QString safeFolderName(const QString &label, const QString &fallback);

// A label as a list shows it: as it is, but without control characters.
QString labelForDisplay(const QString &label);

} // namespace halvorix
