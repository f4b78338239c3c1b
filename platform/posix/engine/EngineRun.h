#pragma once

#include "platform/posix/engine/ReadBack.h"
#include "platform/posix/engine/RunNames.h"
#include "platform/posix/engine/TemporaryNames.h"

#include <QByteArray>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace halvorix {

class CopySession;
class Committer;

// What the kernel refused once in this run, so it is not asked again; any of the engine's threads.
struct KernelRefusals {
    // copy_file_range (the usual case between a card and a disk).
    std::atomic<bool> rangeCopy{false};
    // Linking an unnamed file by its handle alone (it needs a privilege, or a recent kernel): it is
    // named through /proc from then on.
    std::atomic<bool> directLink{false};
};

// Faults a test plants in a run: set before the run starts. The engine calls the hooks from
// whichever thread copies, one call at a time (under `mutex`).
struct FaultHooks {
    // Called before every chunk (to act in the middle of a file).
    std::function<void()> beforeChunk;
    // Called before a file is opened; an AppError thrown here fails that file as the system would.
    std::function<void(const QString &source)> beforeFile;
    std::mutex mutex;
    // A fast data call (copy_file_range, sendfile) reports the end once this many bytes of a file
    // are copied, as some file systems' do too early. Negative: never.
    qint64 fastCallEndsAt = -1;
    // A file's checked close reports this error number (as a FUSE card's may). 0: never.
    int closeError = 0;
    // Called before a card's copies are read back, once everything is written (to empty a cache
    // that stands between a test's card driver and its simulated device).
    std::function<void()> beforeReadingBack;
};

// Folders written into, with the times they are to keep (their source's).
using FolderTimes = std::vector<std::pair<QByteArray, struct stat>>;

// The copy engine's side of one run: made on the run's first copy, gone with its session.
class EngineRun {
public:
    explicit EngineRun(CopySession &session);
    ~EngineRun();
    EngineRun(const EngineRun &) = delete;
    EngineRun &operator=(const EngineRun &) = delete;

    RunNames names; // what this run named, so it never replaces its own files
    TemporaryNames temporaries; // this run's temporary names; leftovers of others are removed
    KernelRefusals refusals;
    FaultHooks hooks;
    CopiesToReadBack readBackLater; // a card's copies, read back once everything is written
    Committer &committer() { return *committer_; } // names complete files once on the medium

    void keepFolderTimes(FolderTimes &&times);
    // Waits until every file handed to the committer is named, then gives the folders kept so far
    // their times. Throws CopyAbandoned.
    void settle();

private:
    std::unique_ptr<Committer> committer_;
    std::mutex folderTimesMutex_;
    FolderTimes folderTimes_;
};

// The engine's run object of `session`, made on first use.
EngineRun &engineRunOf(CopySession &session);

} // namespace halvorix
