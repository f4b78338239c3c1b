#pragma once

#include "core/CopySession.h"

#include <QString>

namespace halvorix {

// The copies. Every operation that can fail throws AppError with a code and a description naming
// the path and the system's reason; failed items are recorded in the session as well.
class CopyService {
public:
    virtual ~CopyService() = default;

    // Every file is written in its destination folder without a name (where the file system
    // allows it) or under a hidden temporary name, and is named only once its data is on the
    // medium. Unless the run skips it, every copy is read back from the medium and compared with
    // what was read: on a fixed disk before it is named, on a card once all are written, and a
    // copy that differs does not keep its name. A file that fails leaves no file behind, and the
    // file it would have replaced stays as it was. Modification times are kept; sockets, pipes
    // and devices are never opened (each is one failed item).

    // Copies one file, replacing an existing one. Throws AppError when it fails (and records it).
    // The file is named once its data is on the medium, by flushDestinations() at the latest; a
    // failure found then (the name was taken by this run) is recorded, not thrown.
    virtual void copyFile(const QString &source, const QString &destination, CopySession &session) = 0;
    // Copies every file matching `pattern` into the existing folder `destinationFolder`,
    // replacing files. Goes on past a file that fails; afterwards throws one AppError when
    // anything failed or nothing matched.
    virtual void copyMatchingFiles(
        const QString &pattern, const QString &destinationFolder, CopySession &session)
        = 0;
    // The same for folders, each landing under its own name with its whole contents. A folder is
    // never copied into itself. Returns how many folders matched; throws one AppError afterwards
    // when anything failed.
    virtual int copyMatchingFolders(
        const QString &pattern, const QString &destinationFolder, CopySession &session)
        = 0;
    // Copies exactly the folder `source` (no character of its name is a pattern) into
    // `destinationFolder` under its own name. A missing folder is a failure. Throws one AppError
    // afterwards when anything failed; its files are named with the run's next batch, and a name
    // found taken then is recorded, not thrown (see copyFile).
    virtual void copyFolder(const QString &source, const QString &destinationFolder, CopySession &session)
        = 0;
    // Adds the bytes of the matching files, and of the matching folders' trees, to the session's
    // bytes to do. Never fails: what cannot be measured counts nothing.
    virtual void measure(const QString &pattern, bool foldersToo, CopySession &session) = 0;
    // The same for exactly one file or folder tree.
    virtual void measureItem(const QString &path, CopySession &session) = 0;
    // Flushes everything written below the session's destinations to their devices. Throws
    // AppError when a device reports an error.
    virtual void flushDestinations(CopySession &session) = 0;
};

} // namespace halvorix
