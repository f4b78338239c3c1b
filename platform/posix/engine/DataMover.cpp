#include "platform/posix/engine/DataMover.h"

#include "core/AppError.h"
#include "platform/posix/engine/Committer.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/engine/EngineRun.h"

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

DataCall firstCall(const CopySession &session, const EngineRun &run)
{
    if (session.options.dataCall != DataCall::Automatic)
        return session.options.dataCall;
    return run.refusals.rangeCopy.load(std::memory_order_relaxed) ? DataCall::Sendfile
                                                                      : DataCall::RangeCopy;
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

void moveData(int in, int out, qint64 size, const CopyEnds &ends, CopySession &session, FileProgress &progress)
{
    EngineRun &run = engineRunOf(session);
    DataCall call = firstCall(session, run);
    qint64 copied = 0;
    std::vector<char> buffer;
    for (;;) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        if (run.hooks.beforeChunk) {
            const std::lock_guard<std::mutex> lock(run.hooks.mutex);
            run.hooks.beforeChunk();
        }
        const size_t chunk = static_cast<size_t>(session.options.chunkBytes);
        const bool fast = call != DataCall::ReadWrite;
        ssize_t n = 0;
        if (fast && run.hooks.fastCallEndsAt >= 0 && copied >= run.hooks.fastCallEndsAt)
            n = 0; // as a file system whose fast call stops early would say
        else if (call == DataCall::RangeCopy)
            n = ::copy_file_range(in, nullptr, out, nullptr, chunk, 0);
        else if (call == DataCall::Sendfile)
            n = ::sendfile(out, in, nullptr, chunk);
        else {
            if (buffer.empty())
                buffer.resize(kBufferBytes);
            n = ::read(in, buffer.data(), std::min(buffer.size(), chunk));
        }
        if (n < 0) {
            const int err = errno;
            if (err == EINTR)
                continue;
            if (refusedCall(call, err)) {
                if (call == DataCall::RangeCopy)
                    run.refusals.rangeCopy.store(true, std::memory_order_relaxed); // across devices
                call = call == DataCall::RangeCopy ? DataCall::Sendfile : DataCall::ReadWrite;
                continue;
            }
            if (call != DataCall::ReadWrite && isDestinationSideError(err))
                throwSystemError(err, FailedAction::Writing, ends.destination.text());
            throwSystemError(err, FailedAction::Reading, ends.source.text());
        }
        if (n == 0) {
            if (!fast)
                return; // read() says this is the end
            call = DataCall::ReadWrite; // a fast call's end is only believed once read() agrees
            continue;
        }
        if (!fast)
            writeAll(out, buffer.data(), static_cast<size_t>(n), ends);
        progress.wrote(n, ends.destination);
        copied += n;
        if (copied == size && size > 0)
            return; // the size it had when opened: no call just to hear the end
    }
}

} // namespace halvorix
