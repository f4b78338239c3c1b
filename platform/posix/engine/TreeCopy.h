#pragma once

#include "core/CopySession.h"
#include "core/WorkerPool.h"
#include "platform/posix/FileHandle.h"
#include "platform/posix/engine/EngineRun.h"
#include "platform/posix/engine/FileWriter.h"

#include <QSet>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace halvorix {

// A folder being copied from, held open (as a handle, read only when listed) while its files are
// copied.
struct SourceFolder {
    SourceFolder(FileHandle handle, NativePath folderPath)
        : path(std::move(folderPath)), fd_(std::move(handle))
    {
    }
    int fd() const { return fd_.get(); }
    const NativePath path;

private:
    FileHandle fd_;
};
using SharedSource = std::shared_ptr<const SourceFolder>;

// Opens a folder to copy from; null with errno set when it cannot be opened. From a card
// (`followLinks` false) a link is never entered, even one put there since the folder was listed.
SharedSource openSource(const NativePath &path, bool followLinks);

// Copies one file (or, from a card, one link) named `name` in `from` to `to`, whatever it turns out
// to be: a folder, a pipe, a socket or a device fails it. Throws AppError.
void copyEntry(const SourceFolder &from, const QByteArray &name, const Target &to, CopySession &session);

// One top-level copy: walks folders in this thread while a few files are copied by a pool.
// Failures inside are recorded in the session and do not stop the rest. finish() waits for the
// files to be written (the committer names them), leaves the folders' times with the run's state
// (naming a file changes its folder's time, so they are set once all are named), and throws
// CopyAbandoned when the session was abandoned.
class TreeCopy {
public:
    explicit TreeCopy(CopySession &session);
    ~TreeCopy();

    // Never walk into this folder: it is the copy's own destination.
    void keepOut(const struct stat &folder);
    // Copies the folder `source` into `into` under `name`, with its whole tree.
    void copyFolder(const NativePath &source, const SharedDestination &into, const QByteArray &name);
    // Copies the file `name` of `from` into `to` (by the pool when there is one). `knownRegular`:
    // the listing showed a regular file, which is opened straight away.
    void copyFile(SharedSource from, const QByteArray &name, SharedDestination to, bool knownRegular);
    void finish();

private:
    SharedDestination makeFolder(const SharedDestination &into, const QByteArray &name);

    CopySession &session_;
    QSet<QString> entered_; // folder identities: with links followed, each is entered once
    FolderTimes folderTimes_;
    std::atomic<bool> abandoned_{false};
    std::unique_ptr<WorkerPool> pool_; // last: gone first, while the tasks' state still lives
};

} // namespace halvorix
