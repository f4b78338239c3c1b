#pragma once

#include "core/AppError.h"
#include "core/CopySession.h"
#include "core/NativePath.h"
#include "platform/posix/FileHandle.h"

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <vector>

// Every copy is read back from its device and compared with what was read from its source: a
// worn card or a loose reader may store something else than it was given, and a counterfeit card
// that claims more than it holds stores later files over earlier ones, while every write, flush
// and rename succeeds.

namespace halvorix {

// The hash of a file's data (XXH3, 64 bits), fed as the data passes.
class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash &) = delete;
    ContentHash &operator=(const ContentHash &) = delete;

    void add(const void *data, size_t length);
    quint64 digest() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// How often a read that fails as a failing medium does is tried in all before its file fails.
constexpr int kReadTries = 6;

// Reads up to `length` bytes at `offset`. A read that fails as a failing medium or a loose reader
// does (an I/O error, a device gone or timed out) is tried again from the same offset after a
// short, growing pause, kReadTries times in all. Returns what pread() returns; -1 with `error` set
// when the tries are used up or the failure is of another kind. Throws CopyAbandoned.
ssize_t readRetrying(
    int fd, char *buffer, size_t length, off_t offset, const CopySession &session, int &error);

// Whether an error of read() may be the medium's, worth another try. A FAT card's driver reports
// a failed read of its device as a refused operation (EPERM).
bool isMediumReadError(int err);

// A file that kept failing to read, in the user's words: the card's reading or the computer's disk
// is to blame, as `fromCard` says.
AppError unreadable(int err, const QString &path, bool fromCard);

// How far one copy has been read back from its device, and the hash of what was read.
struct ReadBackState {
    FileHandle in; // the copy, opened to be read back (when it could not be, `error` says why)
    ContentHash hash;
    qint64 done = 0; // bytes read back
    int error = 0; // the read that kept failing: nothing more is read
    bool dropped = false; // its cached pages from `done` on are dropped, its reading started
};

// A large copy on a fixed disk is read back a stretch at a time while it is written, so the disk
// reads one stretch back while it writes the next: reads `state` on to `upTo`, the copy's data
// there already on the device, its cached pages dropped first. What it reads counts as progress.
// Throws CopyAbandoned.
void readBackWritten(ReadBackState &state, qint64 upTo, CopySession &session);

// Reads the rest of the copy (from `state.done`, its data already on the device) back from the
// device, its cached pages dropped first, and compares all it read with `size` bytes hashing to
// `digest`. What it reads counts as progress. Returns the failure, naming `copyPath`, when the copy
// differs or cannot be read back. Throws CopyAbandoned.
std::optional<AppError> readBack(
    ReadBackState &state, qint64 size, quint64 digest, const NativePath &copyPath, CopySession &session);

// Copies read back one after another, in order: while one is read, the reads of the next are
// started, as a disk answers many small reads at once far sooner than one after another.
class ReadBackInTurn {
public:
    // Opens copy `i` to be read back (its state so far, if any); null when it is not read back.
    using Open = std::function<std::unique_ptr<ReadBackState>(size_t i)>;
    // `sizes`: each copy's length.
    ReadBackInTurn(std::vector<qint64> sizes, Open open);
    // Copy `i`, its reading started; asked in increasing order. Null when it is not read back.
    ReadBackState *turn(size_t i);

private:
    struct Ahead {
        std::unique_ptr<ReadBackState> state;
        qint64 started; // bytes whose reading was started
    };
    std::vector<qint64> sizes_;
    Open open_;
    std::deque<Ahead> ahead_; // copies first_ onwards
    size_t first_ = 0;
    qint64 aheadBytes_ = 0;
};

// The copies on a card, to be read back once everything is written: a counterfeit card overwrites
// earlier files with later ones, so only the card as it stands after the last write tells which
// files survived.
class CopiesToReadBack {
public:
    struct Copy {
        NativePath path;
        qint64 size;
        quint64 digest;
        QString item; // what the closing warning names when the copy is bad
    };
    // Any thread.
    void add(Copy copy);
    // Reads every copy added so far back from its device. A copy that differs or cannot be read is
    // removed from the card and its item recorded as not copied. Returns the folders where a copy
    // was removed. Throws CopyAbandoned.
    std::vector<NativePath> readAllBack(CopySession &session);

private:
    std::mutex mutex_;
    std::vector<Copy> copies_;
};

} // namespace halvorix
