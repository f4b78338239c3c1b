#pragma once

#include "platform/FileHandle.h"
#include "platform/NativePath.h"
#include "platform/RunNames.h"
#include "platform/TemporaryNames.h"

#include <memory>

namespace halvorix {

class CopySession;

// What the engine keeps for a whole run.
struct CopyEngineState {
    RunNames names; // what this run named, so it never replaces its own files
    TemporaryNames temporaries; // this run's temporary names; leftovers of others are removed
};

CopyEngineState &engineStateOf(CopySession &session);

// A folder being written into, held open: files are created, named and timed relative to it.
// `key` is its path as this run names it (no trailing separator), the same for every way there.
class DestinationFolder {
public:
    DestinationFolder(FileHandle handle, NativePath folderPath)
        : path(std::move(folderPath)), key(path.withoutTrailingSeparator().bytes()), handle_(std::move(handle))
    {
    }
    int fd() const { return handle_.get(); }

    const NativePath path;
    const QByteArray key;

private:
    FileHandle handle_;
};
using SharedDestination = std::shared_ptr<const DestinationFolder>;

// Opens an existing folder to write into and removes what dead copies left in it. Null, with
// errno set, when it cannot be opened.
SharedDestination openDestination(const NativePath &path, CopySession &session);

} // namespace halvorix
