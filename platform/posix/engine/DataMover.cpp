#include "platform/posix/engine/DataMover.h"

#include "core/AppError.h"
#include "platform/posix/SystemErrors.h"
#include "platform/posix/engine/Committer.h"
#include "platform/posix/engine/EngineRun.h"
#include "platform/posix/engine/ReadBack.h"

#include <algorithm>
#include <cerrno>
#include <sys/sendfile.h>
#include <unistd.h>
#include <vector>

namespace halvorix {

namespace {

constexpr size_t kBufferBytes = 128 << 10; // never slower than 1 MiB here, kinder to the cache

// Errors that belong to the file being written, whichever call reported them.
bool isDestinationSideError(int err)
{
    return err == ENOSPC || err == EDQUOT || err == EFBIG || err == EROFS;
}

// Whether the call itself was refused for these two files (another call may do), as opposed to
// a failure of reading or writing.
bool refusedCall(DataCall call, int err)
{
    if (call == DataCall::RangeCopy)
        return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EPERM;
    if (call == DataCall::Sendfile)
        return err == EINVAL || err == ENOSYS;
    return false;
}

DataCall firstCall(const CopySession &session, const EngineRun &run, bool hashing)
{
    if (session.options.dataCall != DataCall::Automatic)
        return session.options.dataCall;
    if (hashing)
        return DataCall::ReadWrite; // the data must pass through here anyway
    return run.refusals.rangeCopy.load(std::memory_order_relaxed) ? DataCall::Sendfile : DataCall::RangeCopy;
}

[[noreturn]] void throwChangedWhileCopied(const CopyEnds &ends)
{
    throw AppError(kPathFileAccessError, 0, FailedAction::Reading, ends.source.text(),
        QStringLiteral("The file changed while it was being copied (it became shorter)"));
}

[[noreturn]] void throwReadFailure(int err, const CopyEnds &ends, const CopySession &session)
{
    if (isMediumReadError(err))
        throw unreadable(err, ends.source.text(), !session.options.toCard);
    throwSystemError(err, FailedAction::Reading, ends.source.text());
}

// Feeds `length` bytes of `in` from `offset`, just copied by a fast call, into `hash`.
void hashCopied(int in, qint64 offset, qint64 length, std::vector<char> &buffer, const CopyEnds &ends,
    const CopySession &session, ContentHash &hash)
{
    while (length > 0) {
        int err = 0;
        const ssize_t n = readRetrying(
            in, buffer.data(), size_t(std::min<qint64>(qint64(buffer.size()), length)), offset, session, err);
        if (n < 0)
            throwReadFailure(err, ends, session);
        if (n == 0)
            throwChangedWhileCopied(ends);
        hash.add(buffer.data(), size_t(n));
        offset += n;
        length -= n;
    }
}

// Writes all of `data`, or throws.
void writeAll(int out, const char *data, size_t length, const CopyEnds &ends)
{
    for (size_t written = 0; written < length;) {
        const ssize_t w = ::write(out, data + written, length - written);
        if (w < 0) {
            const int err = errno;
            if (err == EINTR)
                continue;
            throwSystemError(err, FailedAction::Writing, ends.destination.text());
        }
        written += static_cast<size_t>(w);
    }
}

} // namespace

qint64 moveData(int in, int out, qint64 size, const CopyEnds &ends, CopySession &session,
    FileProgress &progress, ContentHash *hash)
{
    EngineRun &run = engineRunOf(session);
    DataCall call = firstCall(session, run, hash != nullptr);
    qint64 copied = 0;
    std::vector<char> buffer;
    for (;;) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        if (run.hooks.beforeChunk) {
            const std::lock_guard<std::mutex> lock(run.hooks.mutex);
            run.hooks.beforeChunk();
        }
        // Never past the size it had when opened: a file that grows meanwhile is copied as it was.
        const qint64 left = size > 0 ? size - copied : session.options.chunkBytes;
        const size_t chunk = static_cast<size_t>(std::min(session.options.chunkBytes, left));
        const bool fast = call != DataCall::ReadWrite;
        if (buffer.empty() && (!fast || hash))
            buffer.resize(kBufferBytes);
        ssize_t n = 0;
        int err = 0;
        if (fast && run.hooks.fastCallEndsAt >= 0 && copied >= run.hooks.fastCallEndsAt)
            n = 0; // as a file system whose fast call stops early would say
        else if (call == DataCall::RangeCopy)
            n = ::copy_file_range(in, nullptr, out, nullptr, chunk, 0);
        else if (call == DataCall::Sendfile)
            n = ::sendfile(out, in, nullptr, chunk);
        else
            n = readRetrying(in, buffer.data(), std::min(buffer.size(), chunk), copied, session, err);
        if (n < 0) {
            if (fast)
                err = errno;
            if (err == EINTR)
                continue;
            if (refusedCall(call, err)) {
                if (call == DataCall::RangeCopy)
                    run.refusals.rangeCopy.store(true, std::memory_order_relaxed); // across devices
                call = call == DataCall::RangeCopy ? DataCall::Sendfile : DataCall::ReadWrite;
                continue;
            }
            if (fast && isDestinationSideError(err))
                throwSystemError(err, FailedAction::Writing, ends.destination.text());
            if (fast && isMediumReadError(err)) {
                // Which end failed is unknown: read and write apart, and try the read again.
                call = DataCall::ReadWrite;
                continue;
            }
            throwReadFailure(err, ends, session);
        }
        if (n == 0) {
            if (fast) {
                call = DataCall::ReadWrite; // a fast call's end is only believed once read() agrees
                continue;
            }
            if (copied < size)
                throwChangedWhileCopied(ends);
            return copied; // read() says this is the end
        }
        if (!fast)
            writeAll(out, buffer.data(), static_cast<size_t>(n), ends);
        if (hash && fast)
            hashCopied(in, copied, n, buffer, ends, session, *hash);
        else if (hash)
            hash->add(buffer.data(), static_cast<size_t>(n));
        progress.wrote(n, ends.destination);
        copied += n;
        if (copied == size && size > 0)
            return copied; // the size it had when opened: no call just to hear the end
    }
}

} // namespace halvorix
