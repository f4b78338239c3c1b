#pragma once

#include "core/CopySession.h"

#include <QString>

// The copy engine behind PosixFileSystem's copy operations (see FileSystemService). Paths come in
// as text; inside, every name is the bytes the kernel gave.
namespace halvorix::posixcopy {

void copyFile(const QString &source, const QString &destination, CopySession &session);
void copyMatchingFiles(const QString &pattern, const QString &destinationFolder, CopySession &session);
int copyMatchingFolders(const QString &pattern, const QString &destinationFolder, CopySession &session);
void copyFolder(const QString &source, const QString &destinationFolder, CopySession &session);
void measure(const QString &pattern, bool foldersToo, CopySession &session);
void measureItem(const QString &path, CopySession &session);
void flushDestinations(CopySession &session);

} // namespace halvorix::posixcopy
