#pragma once

#include "core/NativePath.h"
#include "platform/posix/FileHandle.h"

#include <memory>
#include <sys/types.h>

namespace halvorix {

class CopySession;

// A folder being written into, held open: files are created, named and timed relative to it.
// `key` is its path as this run names it (no trailing separator), the same for every way there.
class DestinationFolder {
public:
    DestinationFolder(FileHandle handle, NativePath folderPath);
    int fd() const { return handle_.get(); }

    const NativePath path;
    const QByteArray key;
    // Data written here reaches the device by a flush of the whole file system, not of each file
    // (a FUSE card: see syncsWholeFiles).
    const bool syncsWholeFiles;
    const dev_t device; // of the file system it is on, asked once

private:
    FileHandle handle_;
};
using SharedDestination = std::shared_ptr<const DestinationFolder>;

// Opens an existing folder to write into and removes what dead copies left in it. Returns null
// and the error number in `error` when it cannot be opened.
SharedDestination openDestination(const NativePath &path, CopySession &session, int &error);

// Which way a destination's data is confirmed on its device: its own writeback (ranges of a file
// can be written and waited for), or a flush of the whole file system (a FUSE card, whose driver
// writes to its device through a cache that only a flush of the file system empties: not every
// such driver passes a file's flush on, and none knows ranges).
bool syncsWholeFiles(int folderFd);

} // namespace halvorix
