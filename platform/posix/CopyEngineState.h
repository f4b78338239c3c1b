#pragma once

#include "platform/posix/FileHandle.h"
#include "core/NativePath.h"
#include "platform/posix/RunNames.h"
#include "platform/posix/TemporaryNames.h"

#include <memory>
#include <mutex>
#include <sys/types.h>
#include <sys/stat.h>
#include <vector>

namespace halvorix {

class CopySession;

class Committer;

// Folders written into, with the times they are to keep (their source's).
using FolderTimes = std::vector<std::pair<QByteArray, struct stat>>;

// What the engine keeps for a whole run.
struct CopyEngineState {
    explicit CopyEngineState(CopySession &session);
    ~CopyEngineState();
    RunNames names; // what this run named, so it never replaces its own files
    TemporaryNames temporaries; // this run's temporary names; leftovers of others are removed
    std::unique_ptr<Committer> committer; // names complete files once they are on the medium

    void keepFolderTimes(FolderTimes &&times);
    // Waits until every file handed to the committer is named, then gives the folders kept so far
    // their times. Throws CopyAbandoned.
    void settle();

private:
    std::mutex folderTimesMutex_;
    FolderTimes folderTimes_;
};

CopyEngineState &engineStateOf(CopySession &session);

// A folder being written into, held open: files are created, named and timed relative to it.
// `key` is its path as this run names it (no trailing separator), the same for every way there.
class DestinationFolder {
public:
    DestinationFolder(FileHandle handle, NativePath folderPath);
    int fd() const { return handle_.get(); }

    const NativePath path;
    const QByteArray key;
    // Data written here reaches the device by a flush of each file, not of the file system (see
    // syncsWholeFiles).
    const bool syncsWholeFiles;
    const dev_t device; // of the file system it is on, asked once

private:
    FileHandle handle_;
};
using SharedDestination = std::shared_ptr<const DestinationFolder>;

// Opens an existing folder to write into and removes what dead copies left in it. Null, with
// errno set, when it cannot be opened.
SharedDestination openDestination(const NativePath &path, CopySession &session);

} // namespace halvorix
