#pragma once

#include "core/AppError.h"
#include "core/CopySession.h"
#include "core/NativePath.h"

#include <QString>
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

// Reads the copy open at `fd` (its data already on the device) back from the device, its cached
// pages dropped first, and compares it with `size` bytes hashing to `digest`. What it reads counts
// as progress. Returns the failure, naming `copyPath`, when the copy differs or cannot be read back.
// Throws CopyAbandoned.
std::optional<AppError> readBack(
    int fd, qint64 size, quint64 digest, const NativePath &copyPath, CopySession &session);

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
