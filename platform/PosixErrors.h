#pragma once

#include "platform/AppError.h"

#include <QByteArray>
#include <QString>

namespace halvorix {

// Classic code for an errno value ("File not found" vs "Path not found" depends on whether
// the folder that should hold `path` exists).
int codeForErrno(int err, const QString &path);

// Throws AppError with the classic code and "<system reason>: <path>".
[[noreturn]] void throwSystemError(int err, const QString &path);

// Path text to the bytes the kernel sees, and back. Linux names are bytes, normally UTF-8.
QByteArray encodePath(const QString &path);
QString decodeName(const char *bytes, size_t length);
// True when the name's bytes survive decoding and encoding again: only then can the name be
// opened by its text.
bool nameRoundTrips(const char *bytes, size_t length);

} // namespace halvorix
