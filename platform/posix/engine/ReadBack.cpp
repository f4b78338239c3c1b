#include "platform/posix/engine/ReadBack.h"

#include "platform/posix/FileHandle.h"

#define XXH_STATIC_LINKING_ONLY // the hash's state lives inside ContentHash
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace halvorix {

namespace {

// The first pause before a read is tried again; each further one is twice as long (20 ms to
// 320 ms: a reader that lost contact for a moment is back, a dead block still fails in a second).
constexpr std::chrono::milliseconds kFirstPause{20};
constexpr size_t kReadBackBytes = 1 << 20;
// How far reading copies back is started ahead of the copy being read: copies, bytes, and bytes
// of one copy (the kernel's own read-ahead goes on from there).
constexpr size_t kMostCopiesAhead = 128;
constexpr qint64 kMostBytesAhead = 32 << 20;
constexpr qint64 kMostBytesAheadInOne = 8 << 20;

// Waits `pause`, giving up at once when the session is abandoned. Throws CopyAbandoned.
void pauseUnlessAbandoned(std::chrono::milliseconds pause, const CopySession &session)
{
    const auto until = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < until) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

AppError badCopy(int err, const NativePath &copyPath, const CopySession &session)
{
    const bool card = session.options.toCard;
    QString reason;
    if (err == 0)
        reason = card
            ? QStringLiteral("The copy on the card differs from the original: the card may be failing "
                             "or smaller than it claims")
            : QStringLiteral("The copy differs from the original: the disk may be failing");
    else
        reason = card ? QStringLiteral("The copy on the card could not be read back: the card may be failing")
                      : QStringLiteral("The copy could not be read back: the disk may be failing");
    return AppError(kDeviceIoError, err, FailedAction::Verifying, copyPath.text(), reason);
}

// The buffer a thread reads copies back into, made once per thread.
std::vector<char> &readBackBuffer()
{
    thread_local std::vector<char> buffer(kReadBackBytes);
    return buffer;
}

} // namespace

struct ContentHash::State {
    XXH3_state_t xxh;
};

ContentHash::ContentHash() : state_(std::make_unique<State>())
{
    XXH3_64bits_reset(&state_->xxh);
}

ContentHash::~ContentHash() = default;

void ContentHash::add(const void *data, size_t length)
{
    XXH3_64bits_update(&state_->xxh, data, length);
}

quint64 ContentHash::digest() const
{
    return XXH3_64bits_digest(&state_->xxh);
}

bool isMediumReadError(int err)
{
    return err == EIO || err == ENXIO || err == ETIMEDOUT || err == EPERM;
}

ssize_t readRetrying(
    int fd, char *buffer, size_t length, off_t offset, const CopySession &session, int &error)
{
    std::chrono::milliseconds pause = kFirstPause;
    for (int tries = 1;; ++tries) {
        const ssize_t n = ::pread(fd, buffer, length, offset);
        if (n >= 0)
            return n;
        error = errno;
        if (error == EINTR) {
            --tries;
            continue;
        }
        if (!isMediumReadError(error) || tries == kReadTries)
            return -1;
        pauseUnlessAbandoned(pause, session);
        pause *= 2;
    }
}

AppError unreadable(int err, const QString &path, bool fromCard)
{
    const QString reason = fromCard
        ? QStringLiteral(
            "The card could not be read, even after %1 tries: the card or its reader may be failing")
        : QStringLiteral(
            "The computer's disk could not be read, even after %1 tries: the disk may be failing");
    return AppError(kDeviceIoError, err, FailedAction::Reading, path, reason.arg(kReadTries));
}

namespace {

// Reads `state` on until `upTo` bytes (or the end when negative), hashing what it reads; the bytes
// up to `size` count as progress.
void readOn(ReadBackState &state, qint64 upTo, qint64 size, CopySession &session)
{
    std::vector<char> &buffer = readBackBuffer();
    while (state.error == 0 && (upTo < 0 || state.done < upTo)) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        const size_t length
            = upTo < 0 ? buffer.size() : size_t(std::min<qint64>(qint64(buffer.size()), upTo - state.done));
        int error = 0;
        const ssize_t n = readRetrying(state.in.get(), buffer.data(), length, state.done, session, error);
        if (n < 0)
            state.error = error;
        if (n <= 0)
            return;
        state.hash.add(buffer.data(), size_t(n));
        session.progress.bytesDone.fetch_add(
            std::clamp<qint64>(size - state.done, 0, n), std::memory_order_relaxed);
        state.done += n;
    }
}

// Drops what is cached of the copy from `state.done` up to `upTo` (0: the end), so that is read
// from the device. What lies beyond stays: the disk may have written it already, and the read's
// read-ahead would fetch it again only to drop it again with the next stretch.
void dropCached(const ReadBackState &state, qint64 upTo)
{
    ::posix_fadvise(state.in.get(), state.done, upTo == 0 ? 0 : upTo - state.done, POSIX_FADV_DONTNEED);
}

} // namespace

ReadBackInTurn::ReadBackInTurn(std::vector<qint64> sizes, Open open)
    : sizes_(std::move(sizes)), open_(std::move(open))
{
}

ReadBackState *ReadBackInTurn::turn(size_t i)
{
    for (; first_ < i && !ahead_.empty(); ++first_) {
        aheadBytes_ -= ahead_.front().started;
        ahead_.pop_front();
    }
    first_ = std::max(first_, i);
    // The copy asked for, and as many after it as the window holds.
    while (first_ + ahead_.size() < sizes_.size()
        && (ahead_.empty() || (ahead_.size() < kMostCopiesAhead && aheadBytes_ < kMostBytesAhead))) {
        const size_t next = first_ + ahead_.size();
        Ahead a{open_(next), 0};
        if (a.state && a.state->in.valid() && a.state->error == 0) {
            dropCached(*a.state, 0);
            a.state->dropped = true;
            a.started = std::clamp<qint64>(sizes_[next] - a.state->done, 0, kMostBytesAheadInOne);
            ::posix_fadvise(a.state->in.get(), a.state->done, a.started, POSIX_FADV_WILLNEED);
        }
        aheadBytes_ += a.started;
        ahead_.push_back(std::move(a));
    }
    return ahead_.front().state.get();
}

void readBackWritten(ReadBackState &state, qint64 upTo, CopySession &session)
{
    dropCached(state, upTo);
    readOn(state, upTo, upTo, session);
}

std::optional<AppError> readBack(
    ReadBackState &state, qint64 size, quint64 digest, const NativePath &copyPath, CopySession &session)
{
    if (!state.dropped)
        dropCached(state, 0);
    readOn(state, -1, size, session);
    if (state.error == 0 && state.done == size && state.hash.digest() == digest)
        return std::nullopt;
    if (state.done < size) // the bar still reaches its end
        session.progress.bytesDone.fetch_add(size - state.done, std::memory_order_relaxed);
    return badCopy(state.error, copyPath, session);
}

void CopiesToReadBack::add(Copy copy)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    copies_.push_back(std::move(copy));
}

std::vector<NativePath> CopiesToReadBack::readAllBack(CopySession &session)
{
    std::vector<Copy> copies;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        copies.swap(copies_);
    }
    std::vector<qint64> sizes;
    sizes.reserve(copies.size());
    for (const Copy &copy : copies)
        sizes.push_back(copy.size);
    ReadBackInTurn inTurn(std::move(sizes), [&copies](size_t i) {
        auto state = std::make_unique<ReadBackState>();
        state->in = FileHandle(::open(copies[i].path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
        if (!state->in.valid())
            state->error = errno;
        return state;
    });
    std::vector<NativePath> changed;
    for (size_t i = 0; i < copies.size(); ++i) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        const Copy &copy = copies[i];
        const std::optional<AppError> bad
            = readBack(*inTurn.turn(i), copy.size, copy.digest, copy.path, session);
        if (!bad)
            continue;
        session.addFailure(copy.item, *bad);
        // The name is not left over a copy that is not the original.
        if (::unlink(copy.path.c_str()) == 0)
            changed.push_back(copy.path.folder());
    }
    return changed;
}

} // namespace halvorix
