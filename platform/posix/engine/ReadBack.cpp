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

std::optional<AppError> readBack(
    int fd, qint64 size, quint64 digest, const NativePath &copyPath, CopySession &session)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED); // its data is on the device: read it from there
    std::vector<char> &buffer = readBackBuffer();
    ContentHash hash;
    qint64 done = 0;
    int err = 0;
    for (;;) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        int readError = 0;
        const ssize_t n = readRetrying(fd, buffer.data(), buffer.size(), done, session, readError);
        if (n < 0)
            err = readError;
        if (n <= 0)
            break;
        hash.add(buffer.data(), size_t(n));
        session.progress.bytesDone.fetch_add(
            std::clamp<qint64>(size - done, 0, n), std::memory_order_relaxed);
        done += n;
    }
    if (err == 0 && done == size && hash.digest() == digest)
        return std::nullopt;
    if (done < size) // the bar still reaches its end
        session.progress.bytesDone.fetch_add(size - done, std::memory_order_relaxed);
    return badCopy(err, copyPath, session);
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
    std::vector<NativePath> changed;
    for (const Copy &copy : copies) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        const FileHandle in(::open(copy.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
        const int err = errno;
        std::optional<AppError> bad;
        if (in.valid()) {
            bad = readBack(in.get(), copy.size, copy.digest, copy.path, session);
        } else {
            session.progress.bytesDone.fetch_add(copy.size, std::memory_order_relaxed);
            bad = badCopy(err, copy.path, session);
        }
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
