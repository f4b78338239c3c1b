#pragma once

#include "core/AppError.h"

#include <QSet>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace halvorix {

// One item that could not be copied, and why ("Permission denied", "could not write
// /home/u/CARD/a.jpg: Disk full"), with the failure's code and description for the step's report.
struct CopyFailure {
    QString path;
    QString reason;
    int code = kPathFileAccessError;
    QString description{};
};

// Thrown inside a copy when the session was abandoned (the program is closing). The engine has
// removed its temporary file by the time it leaves the engine.
struct CopyAbandoned { };

// Which kernel call moves a file's data. Automatic takes the fastest the two files allow:
// copy_file_range within one file system, sendfile across file systems (the usual case for a
// card), read/write as a last resort. The others start with that call (and go down the same way
// only when the kernel refuses it for the two files), so tests take every path a card can take.
enum class DataCall { Automatic, RangeCopy, Sendfile, ReadWrite };

// The copy engine's own side of a run (the names it gave, its temporary files, its threads); made
// by the engine on first use.
class EngineRun;

// How a run copies. Set by the thread that starts the run, before its work starts; read by every
// thread of the run afterwards, never written again.
struct CopyOptions {
    // On the way to a card (whose file system cannot hold links) links are followed, and every
    // folder is entered at most once; from a card links are copied as links, never followed.
    bool followLinks = false;
    // Bytes written per kernel call; small values let tests stop a copy in the middle of a file.
    qint64 chunkBytes = 8 << 20;
    // Write files as unnamed files named when complete where the file system allows it; false
    // takes the hidden temporary name and rename that FAT cards need (tests take both ways).
    bool unnamedFiles = true;
    // Files copied at once within a folder tree (a walk goes on meanwhile). 1 copies in line.
    unsigned filesInFlight = 2;
    DataCall dataCall = DataCall::Automatic;
    // Bytes that may be written ahead of the device; 0 learns it from the device's pace (about a
    // second of its work). Tests fix it, so a bar moves within a small file.
    qint64 aheadOfDevice = 0;
    // Read every copy back from its device and compare it with what was read from its source; a
    // copy that differs is a failed item (the program's --no-verify turns it off).
    bool verify = true;
    // The run writes to a card (a removable drive), not to the computer's own disk. Its copies are
    // read back once everything is written: a counterfeit card overwrites earlier files with later
    // ones, which a check file by file would miss. A fixed disk's are read back batch by batch,
    // before they are named, while the next batch is written. A failed read blames the computer's
    // disk here, the card otherwise.
    bool toCard = false;
};

// How far the run has got: written by the engine's threads, read by the window's at any time.
struct CopyProgress {
    std::atomic<qint64> bytesDone{0};
    std::atomic<qint64> bytesTotal{0};
    std::atomic<qint64> filesCopied{0}; // files and links now complete under their names
};

// The state one copy run shares between its steps, the engine's threads and the window. Each
// part says which thread may touch it.
class CopySession {
public:
    CopySession() = default;
    CopySession(const CopySession &) = delete;
    CopySession &operator=(const CopySession &) = delete;

    CopyOptions options;
    CopyProgress progress;

    // Any thread: the program is closing; the work stops at its next check.
    void abandon() { abandoned_.store(true); }
    bool isAbandoned() const { return abandoned_.load(); }

    // Any thread: `item` was not copied because of `error`.
    void addFailure(const QString &item, const AppError &error)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        failures_.push_back({item, error.reasonFor(item), error.code(), error.description()});
    }
    std::vector<CopyFailure> failures() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return failures_;
    }
    size_t failureCount() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return failures_.size();
    }

    // The run's own thread (where its steps run): destination folders written to, flushed to
    // their devices before the run reports.
    QSet<QString> destinations;

    // Any of the engine's threads: its run object, made by `make` on first use, the same
    // afterwards.
    template <class Make> EngineRun &engineRun(const Make &make)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!engineRun_)
            engineRun_ = make();
        return *engineRun_;
    }

    // Ends the engine's run object, if any: its threads stop, and files it has not named yet are
    // given up with their temporary files. The thread of the run's steps, once they are done.
    void endEngineRun()
    {
        std::shared_ptr<EngineRun> ended;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ended.swap(engineRun_);
        }
    }

private:
    mutable std::mutex mutex_;
    std::vector<CopyFailure> failures_;
    std::atomic<bool> abandoned_{false};
    std::shared_ptr<EngineRun> engineRun_; // its deleter comes with it from the engine
};

} // namespace halvorix
