#include "platform/posix/engine/Committer.h"

#include "core/AppError.h"
#include "platform/posix/SystemErrors.h"

#include <QHash>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvorix {

namespace {

// What may be written ahead of the device: about this long of its work...
constexpr double kSecondsAhead = 0.75;
// ...within these bounds, starting from the middle until the device's pace is known.
constexpr qint64 kLeastAhead = 4 << 20;
constexpr qint64 kMostAhead = 256 << 20;
constexpr qint64 kFirstAhead = 16 << 20;
// The pace is learnt over this long, the first time over a quarter of it.
constexpr qint64 kPaceMs = 1000;
constexpr qint64 kFirstPaceMs = 250;
// From this much (a device taking about 170 MB/s), files need no windows of their own.
constexpr qint64 kFastDeviceAhead = 128 << 20;
// A batch is flushed when it holds that much, when its oldest file has waited this long (so the
// bar moves and names appear), or when so many files wait (each holds its file open): a flush costs
// the same for one small file as for thousands.
constexpr qint64 kBatchAgeMs = 4000;
constexpr size_t kMostBatchFiles = 8192;
// Descriptors kept free for the copiers, the walk and the rest of the program.
constexpr rlim_t kOtherDescriptors = 768;
// Below this much of a file, its writeback is left to the batch's flush: starting it file by file
// would send the device many small writes instead of a few large ones.
constexpr qint64 kOwnWritebackFrom = 1 << 20;
// The most a copy read back while it is written is read back at a time (less on a slow device).
constexpr qint64 kReadBackStretch = 32 << 20;

// How many files a batch may hold open, each with (at worst) its folder: the descriptor limit is
// raised as far as needed and the system allows, once.
size_t batchFiles()
{
    static const size_t files = [] {
        struct rlimit limit { };
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
            return size_t(64);
        const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 2 * kMostBatchFiles + kOtherDescriptors);
        if (limit.rlim_cur < wanted) {
            limit.rlim_cur = wanted;
            ::setrlimit(RLIMIT_NOFILE, &limit);
            ::getrlimit(RLIMIT_NOFILE, &limit);
        }
        return limit.rlim_cur > kOtherDescriptors + 128 ? size_t(limit.rlim_cur - kOtherDescriptors) / 2
                                                        : size_t(64);
    }();
    return std::min(files, kMostBatchFiles);
}

} // namespace

Committer::Committer(CopySession &session, CopiesToReadBack &readBackLater)
    : session_(session), readBackLater_(readBackLater), budget_(kFirstAhead)
{
}

Committer::~Committer()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

qint64 Committer::windowBytes() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (session_.options.aheadOfDevice > 0)
        return session_.options.aheadOfDevice / 2;
    // A fast device (a disk, not a stick) needs no window: its batch's flush is short whatever
    // it holds, and waiting for writeback file by file would only slow it.
    if (budget_ >= kFastDeviceAhead)
        return std::numeric_limits<qint64>::max();
    return std::max<qint64>(budget_ / 2, kLeastAhead);
}

qint64 Committer::readBackStretch() const
{
    // Two stretches are written ahead of the read-back: together within the file's window.
    return std::min(kReadBackStretch, windowBytes() / 2);
}

void Committer::wrote(qint64 bytes)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!paceTimer_.isValid())
        paceTimer_.start(); // the device's pace counts from the first byte written
    unconfirmed_ += bytes;
    // Waiting helps only while handed-over files are on their way to the device; what files
    // still being written hold, their own windows bound.
    while (unconfirmed_ > 2 * budget() && pendingBytes_ + inHandBytes_ > 0 && !session_.isAbandoned()) {
        ++waitingWriters_;
        changed_.notify_all(); // a batch waiting for its time is due now
        changed_.wait_for(lock, std::chrono::milliseconds(100));
        --waitingWriters_;
    }
    if (session_.isAbandoned())
        throw CopyAbandoned{};
}

void Committer::settled(qint64 gone, qint64 onDevice)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        unconfirmed_ -= gone;
        learnRate(onDevice);
    }
    session_.progress.bytesDone.fetch_add(onDevice, std::memory_order_relaxed);
    changed_.notify_all();
}

void Committer::learnRate(qint64 bytes)
{
    // The device's pace is what reaches it over a second or more: a single flush's time says
    // little, as the kernel writes in the background meanwhile. The first guess comes sooner,
    // from what reached the device since the first byte was written (never more than its pace):
    // until then every file waits for its own window, which would hold a fast disk to a fraction
    // of its speed for the first second of every run.
    paceBytes_ += bytes;
    if (paceBytes_ == 0 || !paceTimer_.isValid())
        return; // nothing reached the device yet (the clock starts with the first byte written)
    const qint64 elapsedMs = paceTimer_.elapsed();
    if (elapsedMs < (paceKnown_ ? kPaceMs : kFirstPaceMs))
        return;
    paceKnown_ = true;
    const double rate = double(paceBytes_) * 1000.0 / double(elapsedMs);
    budget_ = std::clamp(qint64(rate * kSecondsAhead), kLeastAhead, kMostAhead);
    paceBytes_ = 0;
    paceTimer_.restart();
}

void Committer::submit(std::unique_ptr<FileWriter> file, const struct stat &source, const QString &item,
    qint64 unconfirmed, std::optional<Check> check)
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (pending_.size() >= batchFiles() && !session_.isAbandoned()) {
        ++waitingWriters_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::milliseconds(100));
        --waitingWriters_;
    }
    if (session_.isAbandoned())
        throw CopyAbandoned{}; // the file goes with its temporary name
    // The thread starts with the first file, not with the run object: a run that copies nothing
    // (or a test that forks with one made) has no thread.
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    if (pending_.empty())
        oldest_.start();
    pending_.push_back(Pending{std::move(file), source, item, unconfirmed, std::move(check)});
    pendingBytes_ += unconfirmed;
    // The committer looks again on its own within its wait; waking it for every small file would
    // cost more than the copy of the file.
    if (batchIsDue())
        changed_.notify_all();
}

void Committer::drain()
{
    std::unique_lock<std::mutex> lock(mutex_);
    draining_ = true;
    changed_.notify_all();
    while ((!pending_.empty() || inHand_ > 0) && !session_.isAbandoned())
        changed_.wait_for(lock, std::chrono::milliseconds(100));
    draining_ = false;
    if (session_.isAbandoned())
        throw CopyAbandoned{};
}

qint64 Committer::budget() const
{
    return session_.options.aheadOfDevice > 0 ? session_.options.aheadOfDevice : budget_;
}

bool Committer::batchIsDue() const
{
    return draining_ || waitingWriters_ > 0 || pendingBytes_ >= budget() || pending_.size() >= batchFiles()
        || oldest_.elapsed() >= kBatchAgeMs;
}

void Committer::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait_for(lock, std::chrono::milliseconds(50));
        if (stopping_ || session_.isAbandoned())
            return; // what is pending is given up with the committer
        if (pending_.empty() || !batchIsDue())
            continue;
        std::vector<Pending> batch;
        batch.reserve(pending_.size());
        while (!pending_.empty()) {
            batch.push_back(std::move(pending_.front()));
            pending_.pop_front();
        }
        inHand_ = batch.size();
        inHandBytes_ = pendingBytes_;
        pendingBytes_ = 0;
        lock.unlock();
        flushAndName(batch);
        batch.clear(); // files given up close here, their temporary names removed
        lock.lock();
        inHand_ = 0;
        inHandBytes_ = 0;
        changed_.notify_all();
    }
}

void Committer::flushAndName(std::vector<Pending> &batch)
{
    // One flush of each file system puts every file of the batch on its device. A device that
    // reports an error is asked file by file, so that only the files it failed are given up.
    QHash<dev_t, int> deviceError;
    std::vector<int> fileError(batch.size(), 0);
    for (size_t i = 0; i < batch.size(); ++i) {
        if (session_.isAbandoned())
            return;
        const int fd = batch[i].file->fd();
        const dev_t device = batch[i].file->target().folder->device;
        if (!deviceError.contains(device))
            deviceError.insert(device, ::syncfs(fd) == 0 ? 0 : errno);
        if (deviceError.value(device) != 0 && ::fdatasync(fd) != 0)
            fileError[i] = errno;
    }
    qint64 gone = 0, onDevice = 0;
    for (size_t i = 0; i < batch.size(); ++i) {
        gone += batch[i].unconfirmed;
        onDevice += fileError[i] == 0 ? batch[i].unconfirmed : 0;
    }
    settled(gone, onDevice);

    // On a fixed disk each copy is read back before it has a name, so a bad one never replaces
    // the file it was to replace. A card's copies are read back once all are written.
    const auto readsBack
        = [&](size_t i) { return fileError[i] == 0 && batch[i].check && !session_.options.toCard; };
    std::vector<qint64> sizes;
    sizes.reserve(batch.size());
    for (const Pending &p : batch)
        sizes.push_back(p.check ? p.check->size : 0);
    ReadBackInTurn inTurn(std::move(sizes), [&](size_t i) {
        std::unique_ptr<ReadBackState> state;
        if (!readsBack(i))
            return state;
        state = batch[i].check->readSoFar ? std::move(batch[i].check->readSoFar)
                                          : std::make_unique<ReadBackState>();
        if (!state->in.valid()) {
            state->in = batch[i].file->openToReadBack();
            if (!state->in.valid())
                state->error = errno;
        }
        return state;
    });
    std::vector<std::optional<AppError>> failure(batch.size());
    try {
        for (size_t i = 0; i < batch.size(); ++i) {
            Pending &p = batch[i];
            if (fileError[i] != 0)
                failure[i]
                    = systemError(fileError[i], FailedAction::Flushing, p.file->target().path().text());
            else if (readsBack(i))
                failure[i] = readBack(
                    *inTurn.turn(i), p.check->size, p.check->digest, p.file->target().path(), session_);
        }
    } catch (const CopyAbandoned &) {
        return; // the batch is given up
    }

    for (size_t i = 0; i < batch.size(); ++i) {
        if (session_.isAbandoned())
            return;
        Pending &p = batch[i];
        try {
            if (failure[i])
                throw *failure[i];
            if (p.file->commit(p.source) && p.check && session_.options.toCard)
                readBackLater_.add({p.file->target().path(), p.check->size, p.check->digest, p.item});
        } catch (const AppError &error) {
            session_.addFailure(p.item, error);
        }
        p.file.reset();
    }
}

void FileProgress::wrote(qint64 bytes, const NativePath &destination)
{
    written_ += bytes;
    committer_.wrote(bytes);
    if (!wholeFile_ && written_ >= kOwnWritebackFrom) // start writing this chunk out now
        ::sync_file_range(out_, written_ - bytes, bytes, SYNC_FILE_RANGE_WRITE);
    if (readBack_ && readBack_->error == 0) {
        const qint64 stretch = committer_.readBackStretch();
        if (written_ - readBack_->done >= 2 * stretch) {
            // The stretch before the last is on its way to the device: read it back once it is
            // there, while the device writes the last.
            const qint64 upTo = written_ - stretch;
            confirm(upTo, destination);
            readBackWritten(*readBack_, upTo, session_);
            return;
        }
    }
    if (unconfirmed() < committer_.windowBytes())
        return;
    // Wait for what was written before this chunk, so the device always has work.
    confirm(wholeFile_ ? written_ : written_ - bytes, destination);
}

void FileProgress::confirm(qint64 upTo, const NativePath &destination)
{
    if (upTo <= confirmed_)
        return;
    const int rc = wholeFile_
        ? ::syncfs(out_)
        : ::sync_file_range(out_, confirmed_, upTo - confirmed_,
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    if (rc != 0) {
        const int err = errno;
        throwSystemError(err, FailedAction::Flushing, destination.text());
    }
    committer_.settled(upTo - confirmed_, upTo - confirmed_);
    confirmed_ = upTo;
}

} // namespace halvorix
