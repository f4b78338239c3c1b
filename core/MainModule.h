#pragma once

// The procedures of the module Main: start-up's and the ones the copy shares.

#include <QString>
#include <functional>

namespace halvorix {

class FileSystemService;
class DesktopServices;

extern const char *const kProductName;
extern const char *const kHomePageAddress;

// The application title: the product name without its last word, and without further words
// while it is over 40 characters. A one-word name is its own title (cut to 40 characters).
QString AppTitleSet(const QString &productName);

// True when the path names something that exists (a folder counts). Never fails.
bool FileExists(FileSystemService &fs, const QString &path);

// True when the path exists and is a folder. Never fails.
bool IsExistingFolder(FileSystemService &fs, const QString &path);

// A stored text as a truth value: True/False in any letter case, or a number (0 false, any other
// true). Throws AppError (type mismatch) for anything else.
bool toBoolean(const QString &text);

// One start in a hundred opens the home page with xdg-open, not waited for. The draw (1 to 100)
// is injectable; by default it is seeded from the seconds since midnight. A build without a
// home-page address (the default) opens nothing, whatever the draw.
using DrawOneToHundred = std::function<int()>;
int drawFromTimeOfDay();
// The draw of a start in the second `secondsSinceMidnight` (0 to 86399).
int drawForSecond(int secondsSinceMidnight);
void HomePageOpen(DesktopServices &ui, const DrawOneToHundred &draw,
    const QString &address = QString::fromUtf8(kHomePageAddress));

} // namespace halvorix
