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

// The system's words for an error number: "Permission denied".
QString systemReason(int err);

// The failure of `action` on `path` with the system's error number `err`, which the caller read
// first, on the line after the failing call. The classic code and the reason are chosen here.
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
// Reads the entries of the open folder `folderFd` ("." and ".." left out) through a descriptor of
// its own, closed before returning; `folderFd` stays open and its position is not moved. Returns
// 0, or the error number when the folder could not be opened or read to the end; what was read
// stays in `entries`.
int readFolderEntries(int folderFd, std::vector<FolderEntry> &entries);

// A name from a listing as text, and whether its bytes survive decoding and encoding again: only
// then can the name be opened by its text.
struct ListedText {
    QString text;
    bool roundTrips = false;
};
ListedText decodeListedName(const char *bytes, size_t length);
// The same into `text`, whose room is used again (a walk decodes every file name into one text).
// Returns whether the name round-trips.
bool decodeListedNameInto(const char *bytes, size_t length, QString &text);

} // namespace halvorix
