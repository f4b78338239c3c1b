#pragma once

#include "core/CopySession.h"
#include "platform/posix/engine/FileWriter.h"
#include "platform/posix/engine/ReadBack.h"

#include <QElapsedTimer>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace halvorix {

// Puts what a run writes on the medium before anything is named, and counts progress there.
//
// A stick behind the page cache takes a file in a blink and writes it out half a minute later: a
// name given then would stand over an empty file if the stick were pulled, and a bar counting what
// the cache took would sit full while the medium still works. So a complete file is handed over
// here and named only once its data is on the device; files are flushed in batches (one flush for
// many small files), and what is written but not yet on the device is kept to about a second of
// the medium's work, so the bar moves with the medium and the last flush is short.
//
// Files are named in the order they were handed over, in the committer's own thread. Every wait
// here gives up when the session is abandoned.
class Committer {
public:
    Committer(CopySession &session, CopiesToReadBack &readBackLater);
    ~Committer(); // files not yet named are given up: their temporary files go
    Committer(const Committer &) = delete;
    Committer &operator=(const Committer &) = delete;

    // Bytes of written data that need not be on the device yet, per file and in all.
    qint64 windowBytes() const;
    // A copy read back while it is written is read back this much at a time, one stretch behind
    // the writing: the disk reads one back while it writes the next. Files of two stretches or more
    // are read back so.
    qint64 readBackStretch() const;

    // A writer wrote `bytes` more: waits while too much written data is not on the device yet.
    // Throws CopyAbandoned.
    void wrote(qint64 bytes);
    // `gone` bytes written are no longer outstanding: `onDevice` of them reached the device (which
    // teaches the device's pace) and count as done; the rest belonged to files given up.
    void settled(qint64 gone, qint64 onDevice);

    // What a copy must read back as: its length and the hash of what was read from its source.
    struct Check {
        qint64 size;
        quint64 digest;
        std::unique_ptr<ReadBackState> readSoFar; // what was read back while it was written, if any
    };
    // The complete file `file`, `unconfirmed` bytes of it not known to be on the device yet, for
    // the item `item`: named once its data is on the device. With `check`, a copy on a fixed disk
    // is read back before it is named, one on a card is listed to be read back once everything is
    // written. Its failure is recorded for the item.
    void submit(std::unique_ptr<FileWriter> file, const struct stat &source, const QString &item,
        qint64 unconfirmed, std::optional<Check> check);
    // Returns when every file handed over is named or failed. Throws CopyAbandoned.
    void drain();

private:
    struct Pending {
        std::unique_ptr<FileWriter> file;
        struct stat source;
        QString item;
        qint64 unconfirmed;
        std::optional<Check> check;
    };
    void run();
    qint64 budget() const; // with mutex_ held
    bool batchIsDue() const; // with mutex_ held
    void flushAndName(std::vector<Pending> &batch);
    void learnRate(qint64 bytes); // with mutex_ held

    CopySession &session_;
    CopiesToReadBack &readBackLater_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> pending_;
    qint64 pendingBytes_ = 0;
    qint64 unconfirmed_ = 0; // written, not yet known to be on the device
    qint64 budget_; // what may be written ahead of the device: about a second of its work
    size_t inHand_ = 0; // files taken from pending_ and not yet named
    qint64 inHandBytes_ = 0; // their bytes not yet on the device when taken
    unsigned waitingWriters_ = 0;
    bool draining_ = false;
    bool stopping_ = false;
    QElapsedTimer oldest_; // since the oldest pending file was handed over
    QElapsedTimer paceTimer_; // since the device's pace was last learnt
    qint64 paceBytes_ = 0; // that reached the device since
    bool paceKnown_ = false; // once guessed from a first stretch of the run
    std::thread thread_;
};

// One file's data on its way to the device: writeback of each chunk starts as it is written, and
// the writer waits for older chunks once more than a window is outstanding.
class FileProgress {
public:
    // With `readBack`, the file is read back into it a stretch at a time while it is written.
    FileProgress(int out, bool wholeFile, Committer &committer, CopySession &session, ReadBackState *readBack)
        : out_(out), wholeFile_(wholeFile), committer_(committer), session_(session), readBack_(readBack)
    {
    }
    // A file given up takes its outstanding bytes with it.
    ~FileProgress()
    {
        if (!handedOver_)
            committer_.settled(unconfirmed(), 0);
    }
    FileProgress(const FileProgress &) = delete;
    FileProgress &operator=(const FileProgress &) = delete;

    // `bytes` more were written at the end of the file. Throws AppError (the device failed) or
    // CopyAbandoned.
    void wrote(qint64 bytes, const NativePath &destination);
    // The file goes to the committer: what is outstanding of it is the committer's now.
    qint64 handOver()
    {
        handedOver_ = true;
        return unconfirmed();
    }

private:
    qint64 unconfirmed() const { return written_ - confirmed_; }
    // Waits until the file's first `upTo` bytes are on the device. Throws AppError or CopyAbandoned.
    void confirm(qint64 upTo, const NativePath &destination);

    int out_;
    bool wholeFile_;
    Committer &committer_;
    CopySession &session_;
    ReadBackState *readBack_;
    qint64 written_ = 0;
    qint64 confirmed_ = 0;
    bool handedOver_ = false;
};

} // namespace halvorix
