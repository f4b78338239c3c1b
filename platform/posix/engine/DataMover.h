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

class ContentHash;
class FileProgress;

// Copies the data of the open regular file `in`, `size` bytes long when it was opened, to `out`,
// telling `progress` of every chunk written. The fast calls (copy_file_range, sendfile) are taken
// as far as the session allows; when one reports the end before `size` bytes, read() is asked to
// confirm it, so a short copy is never taken for a whole one. A read that fails as a failing
// medium does is tried again from where it failed (readRetrying).
//
// With `hash`, every byte copied goes into it as it is read from the source: the copy is later
// compared with what was read, not with what the source holds by then. The data then passes
// through this process (one read and one write, as cheap as a fast call and a read to hash).
//
// A file that ends before `size` changed while it was copied: that fails it. One that grows is
// copied as it was when opened. Returns the bytes copied. Throws AppError, or CopyAbandoned when the session
// is abandoned.
qint64 moveData(int in, int out, qint64 size, const CopyEnds &ends, CopySession &session,
    FileProgress &progress, ContentHash *hash);

} // namespace halvorix
