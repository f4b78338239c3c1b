#include "platform/posix/engine/TreeCopy.h"

#include "core/AppError.h"
#include "platform/posix/SystemErrors.h"
#include "platform/posix/engine/Committer.h"
#include "platform/posix/engine/DataMover.h"
#include "platform/posix/engine/ReadBack.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace halvorix {

namespace {

// Files waiting for a copier. Each holds its two folders open, which bounds the descriptors in
// use; it is plenty to keep two copiers busy while the walk reads on.
constexpr size_t kQueuedFiles = 128;

void runBeforeFileHook(const NativePath &source, CopySession &session)
{
    if (engineRunOf(session).hooks.beforeFile) {
        const std::lock_guard<std::mutex> lock(engineRunOf(session).hooks.mutex);
        engineRunOf(session).hooks.beforeFile(source.text());
    }
}

[[noreturn]] void throwNotAFile(const NativePath &source)
{
    throw AppError(kPathFileAccessError, 0, FailedAction::Reading, source.text(),
        QStringLiteral("Not a regular file (pipe, socket or device)"));
}

// Opens the regular file `name` of the folder `folderFd` and copies it to `to`.
void copyRegularFile(
    int folderFd, const QByteArray &name, const NativePath &source, const Target &to, CopySession &session)
{
    // From a card a link is never followed, even one put there since the folder was listed.
    const int noFollow = session.options.followLinks ? 0 : O_NOFOLLOW;
    FileHandle in(
        ::openat(folderFd, name.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | noFollow));
    if (!in.valid()) {
        const int err = errno;
        throwSystemError(err, FailedAction::Reading, source.text());
    }
    struct stat st { };
    if (::fstat(in.get(), &st) != 0) {
        const int err = errno;
        throwSystemError(err, FailedAction::Reading, source.text());
    }
    if (!S_ISREG(st.st_mode))
        throwNotAFile(source); // replaced by something else since it was listed
    if (st.st_size > (1 << 20))
        ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // Written now, named by the committer once the data is on the medium.
    Committer &committer = engineRunOf(session).committer();
    auto writer = std::make_unique<FileWriter>(to, st.st_mode, session);
    const NativePath destination = to.path();
    std::optional<ContentHash> hash;
    if (session.options.verify)
        hash.emplace();
    // A large copy on a fixed disk is read back while it is written; a card's copies are read back
    // once everything is written.
    std::unique_ptr<ReadBackState> readSoFar;
    if (hash && !session.options.toCard && !to.folder->syncsWholeFiles
        && st.st_size >= 2 * committer.readBackStretch()) {
        readSoFar = std::make_unique<ReadBackState>();
        readSoFar->in = writer->openToReadBack();
        if (!readSoFar->in.valid())
            readSoFar.reset(); // read back once complete, as any other copy
    }
    FileProgress progress(writer->fd(), to.folder->syncsWholeFiles, committer, session, readSoFar.get());
    const qint64 copied = moveData(in.get(), writer->fd(), st.st_size, CopyEnds{source, destination}, session,
        progress, hash ? &*hash : nullptr);
    writer->setPermissions(st);
    const qint64 outstanding = progress.handOver();
    std::optional<Committer::Check> check;
    if (hash)
        check = Committer::Check{copied, hash->digest(), std::move(readSoFar)};
    committer.submit(std::move(writer), st, source.text(), outstanding, std::move(check));
}

// Recreates a link as a link (from a card, links are never followed).
void copyLink(int folderFd, const QByteArray &name, const struct stat &linkSt, const NativePath &source,
    const Target &to, CopySession &session)
{
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t n = ::readlinkat(folderFd, name.constData(), target.data(), PATH_MAX);
    if (n < 0) {
        const int err = errno;
        throwSystemError(err, FailedAction::Reading, source.text());
    }
    target[static_cast<size_t>(n)] = '\0';
    const QByteArray temporary = engineRunOf(session).temporaries.next();
    if (::symlinkat(target.data(), to.folder->fd(), temporary.constData()) != 0) {
        const int err = errno;
        throwSystemError(err, FailedAction::Creating, to.path().text());
    }
    try {
        nameTemporary(temporary, to, sourceIdentity(linkSt), session);
    } catch (...) {
        ::unlinkat(to.folder->fd(), temporary.constData(), 0);
        throw;
    }
    session.progress.filesCopied.fetch_add(1, std::memory_order_relaxed);
}

// Whether the entry is a folder under the session's link rule.
bool isFolderEntry(int folderFd, const QByteArray &name, unsigned char type, bool followLinks)
{
    if (type == DT_DIR)
        return true;
    if (type == DT_REG || (type == DT_LNK && !followLinks))
        return false;
    struct stat st { };
    return ::fstatat(folderFd, name.constData(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0
        && S_ISDIR(st.st_mode);
}

} // namespace

SharedSource openSource(const NativePath &path, bool followLinks)
{
    FileHandle fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)));
    if (!fd.valid())
        return nullptr;
    return std::make_shared<const SourceFolder>(std::move(fd), path);
}

void copyEntry(const SourceFolder &from, const QByteArray &name, const Target &to, CopySession &session)
{
    const NativePath source = from.path / name;
    runBeforeFileHook(source, session);
    struct stat linkSt { };
    if (::fstatat(from.fd(), name.constData(), &linkSt, AT_SYMLINK_NOFOLLOW) != 0) {
        const int err = errno;
        throwSystemError(err, FailedAction::Reading, source.text());
    }
    if (S_ISLNK(linkSt.st_mode) && !session.options.followLinks) {
        copyLink(from.fd(), name, linkSt, source, to, session);
        return;
    }
    struct stat st { };
    if (::fstatat(from.fd(), name.constData(), &st, 0) != 0) {
        const int err = errno;
        throwSystemError(err, FailedAction::Reading, source.text());
    }
    if (S_ISDIR(st.st_mode))
        throwSystemError(EISDIR, FailedAction::Reading, source.text());
    if (!S_ISREG(st.st_mode))
        throwNotAFile(source); // never opened: a pipe would block, a device never ends
    struct stat destSt { };
    if (::fstatat(to.folder->fd(), to.name.constData(), &destSt, 0) == 0 && destSt.st_dev == st.st_dev
        && destSt.st_ino == st.st_ino)
        throw AppError(kPathFileAccessError, 0, FailedAction::Writing, source.text(),
            QStringLiteral("Source and destination are the same file"));
    copyRegularFile(from.fd(), name, source, to, session);
}

TreeCopy::TreeCopy(CopySession &session) : session_(session)
{
    if (session_.options.filesInFlight > 1)
        pool_ = std::make_unique<WorkerPool>(session_.options.filesInFlight, kQueuedFiles);
}

TreeCopy::~TreeCopy() = default;

void TreeCopy::keepOut(const struct stat &folder)
{
    entered_.insert(identityOf(folder));
}

void TreeCopy::finish()
{
    if (pool_)
        pool_->drain();
    // The folders get their times once the committer has named every file in them.
    engineRunOf(session_).keepFolderTimes(std::move(folderTimes_));
    if (abandoned_ || session_.isAbandoned())
        throw CopyAbandoned{};
}

SharedDestination TreeCopy::makeFolder(const SharedDestination &into, const QByteArray &name)
{
    EngineRun &state = engineRunOf(session_);
    QByteArray spelling = name;
    bool created = false;
    {
        const auto lock = state.names.lock();
        if (::mkdirat(into->fd(), name.constData(), 0777) == 0) {
            created = true;
            state.names.record(into->key, name, RunNames::Source{}, true);
        } else {
            const int err = errno;
            if (err != EEXIST)
                throwSystemError(err, FailedAction::Creating, (into->path / name).text());
            // On a card that ignores case, "notes" is the "Notes" this run made: write there, so
            // that its files meet this run's names and never replace them.
            if (const auto given = state.names.givenAt(into->fd(), into->key, name); given && given->folder)
                spelling = given->spelling;
        }
    }
    const NativePath path = into->path / spelling;
    FileHandle fd(::openat(into->fd(), spelling.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        const int err = errno;
        throwSystemError(err, FailedAction::Creating, path.text());
    }
    auto folder = std::make_shared<const DestinationFolder>(std::move(fd), path);
    if (!created)
        state.temporaries.removeStale(folder->fd(), folder->key);
    return folder;
}

void TreeCopy::copyFolder(const NativePath &source, const SharedDestination &into, const QByteArray &name)
{
    if (session_.isAbandoned())
        return; // closing: not one more folder
    std::vector<QByteArray> subFolders;
    struct stat st { };
    SharedDestination to;
    try {
        const SharedSource from = openSource(source, session_.options.followLinks);
        if (!from) {
            const int err = errno;
            throwSystemError(err, FailedAction::Reading, source.text());
        }
        if (::fstat(from->fd(), &st) != 0) {
            const int err = errno;
            throwSystemError(err, FailedAction::Reading, source.text());
        }
        if (entered_.contains(identityOf(st)))
            return; // reached again through a link: already copied, or our own destination
        entered_.insert(identityOf(st));

        to = makeFolder(into, name);
        struct stat destSt { };
        if (::fstat(to->fd(), &destSt) == 0)
            entered_.insert(identityOf(destSt)); // never walk into what this copy writes

        std::vector<FolderEntry> entries;
        if (const int err = readFolderEntries(from->fd(), entries); err != 0) {
            session_.addFailure(source.text(), systemError(err, FailedAction::Reading, source.text()));
            if (entries.empty())
                return;
        }
        for (const FolderEntry &entry : entries) {
            if (session_.isAbandoned())
                return;
            // Plain folders and files are known from the listing; links and the rest are asked.
            if (isFolderEntry(from->fd(), entry.name, entry.type, session_.options.followLinks))
                subFolders.push_back(entry.name);
            else
                copyFile(from, entry.name, to, entry.type == DT_REG);
        }
    } catch (const AppError &error) {
        session_.addFailure(source.text(), error);
        return;
    }
    for (const QByteArray &sub : subFolders)
        copyFolder(source / sub, to, sub);
    folderTimes_.emplace_back(to->path.bytes(), st);
}

void TreeCopy::copyFile(SharedSource from, const QByteArray &name, SharedDestination to, bool knownRegular)
{
    auto copy = [this, from = std::move(from), name, to = std::move(to), knownRegular] {
        const NativePath source = from->path / name;
        try {
            const Target target{to, name};
            if (knownRegular) {
                runBeforeFileHook(source, session_);
                copyRegularFile(from->fd(), name, source, target, session_);
            } else {
                copyEntry(*from, name, target, session_);
            }
        } catch (const AppError &error) {
            session_.addFailure(source.text(), error);
        } catch (const CopyAbandoned &) {
            abandoned_ = true;
        }
    };
    if (pool_)
        pool_->submit(std::move(copy));
    else
        copy();
}

} // namespace halvorix
