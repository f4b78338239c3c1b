#pragma once

#include "core/AppError.h"

#include <QByteArray>
#include <QString>
#include <sys/stat.h>
#include <vector>

namespace halvorix {

// Classic code for an errno value ("File not found" vs "Path not found" depends on whether
// the folder that should hold `path` exists).
int codeForErrno(int err, const QString &path);

// The failure of `action` on `path` with the system's error number `err`, which the caller read
// first, on the line after the failing call. The classic code is chosen here.
AppError systemError(int err, FailedAction action, const QString &path);
[[noreturn]] void throwSystemError(int err, FailedAction action, const QString &path);

// Path text to the bytes the kernel sees, and back. Linux names are bytes, normally UTF-8.
QByteArray encodePath(const QString &path);
QString decodeName(const char *bytes, size_t length);
// "." or "..", which every folder listing leaves out.
inline bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Which file or folder a stat result describes ("device:inode"): the same text whichever path or
// link led to it, so walks and copies can tell a folder they reached again.
QString identityOf(const struct stat &st);

// One entry of a folder: its name as the kernel gave it and the type readdir gave (DT_*).
struct FolderEntry {
    QByteArray name;
    unsigned char type;
};
// Reads a folder's entries ("." and ".." left out) and closes it before returning, so deep trees
// never hold one descriptor per level. False, with errno set, when it could not be opened or read
// to the end; what was read stays in `entries`.
bool readFolderEntries(const QByteArray &folder, std::vector<FolderEntry> &entries);
// The same for a folder that is open (the descriptor stays open and is not moved).
bool readFolderEntries(int folderFd, std::vector<FolderEntry> &entries);

// A name from a listing as text, and whether its bytes survive decoding and encoding again: only
// then can the name be opened by its text.
struct ListedText {
    QString text;
    bool roundTrips = false;
};
ListedText decodeListedName(const char *bytes, size_t length);

} // namespace halvorix
