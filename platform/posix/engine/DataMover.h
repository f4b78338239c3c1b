#pragma once

#include "core/CopySession.h"
#include "core/NativePath.h"

class QString;

namespace halvorix {

// The two ends of one file's copy, named in a failure: a failed read blames the source, a failed
// write (a full or read-only medium) the destination.
struct CopyEnds {
    const NativePath &source;
    const NativePath &destination;
};

class FileProgress;

// Copies the data of the open regular file `in`, `size` bytes long when it was opened, to `out`,
// telling `progress` of every chunk written. The fast calls (copy_file_range, sendfile) are taken as far
// as the session allows; when one reports the end before `size` bytes, read() is asked to confirm
// it, so a short copy is never taken for a whole one. Throws AppError, or CopyAbandoned when the
// session is abandoned.
void moveData(int in, int out, qint64 size, const CopyEnds &ends, CopySession &session, FileProgress &progress);

} // namespace halvorix
