#include "platform/PosixCopy.h"

#include "platform/AppError.h"
#include "platform/PosixErrors.h"
#include "platform/Wildcard.h"
#include "platform/WorkerPool.h"

#include <QDir>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace halvorix::posixcopy {

namespace {

constexpr size_t kBufferBytes = 128 << 10; // never slower than 1 MiB here, kinder to the cache

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) { }
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Closes and reports the outcome: some file systems only report a failed write here.
    int closeChecked()
    {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

QString reasonOf(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// One item failed: recorded for the closing summary, thrown so the caller's bookkeeping sees it.
[[noreturn]] void failItem(CopySession &session, const QString &item, int err, const QString &where)
{
    session.addFailure(item, reasonOf(err));
    throw AppError(codeForErrno(err, where), reasonOf(err) + QStringLiteral(": ") + where);
}

QString joinPath(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// A folder held open while its files are copied: files are opened, created, named and timed
// relative to it, so the kernel does not walk the whole path again for every file.
struct OpenFolder {
    OpenFolder(int handle, QString folderPath) : fd(handle), path(std::move(folderPath)) { }
    Fd fd;
    QString path;
};
using SharedFolder = std::shared_ptr<const OpenFolder>;

// Opens a folder to copy from (readable) or to copy into (only a handle); null with errno set
// when it cannot be opened.
SharedFolder tryOpenFolder(const QString &path, bool toRead)
{
    const int flags = (toRead ? O_RDONLY : O_PATH) | O_DIRECTORY | O_CLOEXEC;
    const int fd = ::open(encodePath(path).constData(), flags);
    return fd < 0 ? nullptr : std::make_shared<const OpenFolder>(fd, path);
}

SharedFolder openFolder(const QString &path, bool toRead)
{
    SharedFolder folder = tryOpenFolder(path, toRead);
    if (!folder)
        throwSystemError(errno, path);
    return folder;
}

// A source folder known by its path alone: its files are copied by their full paths.
SharedFolder folderByPath(const QString &path)
{
    return std::make_shared<const OpenFolder>(-1, path);
}

// Where one file goes: a name in an open destination folder.
struct Target {
    Target(const OpenFolder &f, const QString &n) : folder(f), name(n), bytes(encodePath(n)) { }
    const OpenFolder &folder;
    QString name;
    QByteArray bytes; // the name as the kernel sees it
    int fd() const { return folder.fd.get(); }
    QString path() const { return joinPath(folder.path, name); }
};

// A name in the destination folder that nothing else uses: hidden, and unique to this process.
QByteArray temporaryName()
{
    static std::atomic<unsigned> counter{0};
    return ".halvorix-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(counter++) + ".part";
}

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(int folderFd) : folderFd_(folderFd), name_(temporaryName()) { }
    ~TemporaryFile()
    {
        if (!committed_)
            ::unlinkat(folderFd_, name_.constData(), 0);
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    const char *name() const { return name_.constData(); }
    // Renames it over the target's name; it is no longer ours to remove.
    void commitAs(const Target &to)
    {
        if (::renameat(folderFd_, name(), to.fd(), to.bytes.constData()) != 0)
            throwSystemError(errno, to.path());
        committed_ = true;
    }

private:
    int folderFd_;
    QByteArray name_;
    bool committed_ = false;
};

bool isDestinationSideError(int err)
{
    return err == ENOSPC || err == EDQUOT || err == EFBIG || err == EROFS;
}

// Moves the data with the fastest call the two files allow: copy_file_range within one file
// system, sendfile across file systems (the usual case for a card), read/write as a last resort.
void copyData(int in, int out, qint64 size, const QString &source, const Target &to, CopySession &session)
{
    qint64 copied = 0;
    bool tryCopyRange = !session.rangeCopyRefused.load(std::memory_order_relaxed);
    bool trySendfile = true;
    std::vector<char> buffer;
    for (;;) {
        if (session.isAbandoned())
            throw CopyAbandoned{};
        if (session.beforeChunk) {
            const std::lock_guard<std::mutex> lock(session.hookMutex);
            session.beforeChunk();
        }
        const size_t chunk = static_cast<size_t>(session.chunkBytes);
        ssize_t n = 0;
        if (tryCopyRange) {
            n = ::copy_file_range(in, nullptr, out, nullptr, chunk, 0);
            if (n < 0
                && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP
                    || errno == EPERM)) {
                tryCopyRange = false;
                session.rangeCopyRefused.store(true, std::memory_order_relaxed); // across devices
                continue;
            }
        } else if (trySendfile) {
            n = ::sendfile(out, in, nullptr, chunk);
            if (n < 0 && (errno == EINVAL || errno == ENOSYS)) {
                trySendfile = false;
                continue;
            }
        } else {
            if (buffer.empty())
                buffer.resize(kBufferBytes);
            n = ::read(in, buffer.data(), std::min(buffer.size(), chunk));
            for (ssize_t written = 0; n > 0 && written < n;) {
                const ssize_t w = ::write(out, buffer.data() + written, static_cast<size_t>(n - written));
                if (w < 0) {
                    if (errno == EINTR)
                        continue;
                    throwSystemError(errno, to.path());
                }
                written += w;
            }
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            throwSystemError(err, isDestinationSideError(err) ? to.path() : source);
        }
        if (n == 0)
            return;
        session.bytesDone.fetch_add(n, std::memory_order_relaxed);
        copied += n;
        if (copied == size && size > 0)
            return; // the size it had when opened: no call just to hear the end
    }
}

// The process's file-creation mask, read once without changing it; all bits when unknown.
mode_t creationMask()
{
    static const mode_t mask = [] {
        mode_t found = 07777;
        if (FILE *status = std::fopen("/proc/self/status", "re")) {
            char line[256];
            unsigned value = 0;
            while (std::fgets(line, sizeof line, status))
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    found = static_cast<mode_t>(value);
                    break;
                }
            std::fclose(status);
        }
        return found;
    }();
    return mask;
}

// Files are created with the source's permissions; they only need setting again when the
// creation mask took some away or special bits are asked for.
mode_t creationMode(const struct stat &st)
{
    return st.st_mode & 0777;
}
bool modeNeedsSetting(const struct stat &st)
{
    return (st.st_mode & 07000) != 0 || (st.st_mode & creationMask() & 0777) != 0;
}

// Data, permissions and times of the open source into `out`.
void writeContents(
    int in, int out, const struct stat &st, const QString &source, const Target &to, CopySession &session)
{
    copyData(in, out, st.st_size, source, to, session);
    if (modeNeedsSetting(st))
        ::fchmod(out, st.st_mode & 07777); // a card's file system may refuse: not a failure
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out, times) != 0)
        throwSystemError(errno, to.path());
}

bool procFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

// Links a complete unnamed file under `name` in the folder; errno when it fails. The direct way
// needs a privilege or a recent kernel; the way through /proc works everywhere /proc is.
int linkUnnamedFile(int fd, int folderFd, const char *name, CopySession &session)
{
    const bool tryDirect = !session.directLinkRefused.load(std::memory_order_relaxed);
    if (tryDirect && ::linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0)
        return 0;
    if (tryDirect && errno != ENOENT && errno != EPERM)
        return errno; // refused for a reason of its own (the name exists, the disk is full)
    const QByteArray handle = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, handle.constData(), folderFd, name, AT_SYMLINK_FOLLOW) != 0)
        return errno;
    if (tryDirect)
        session.directLinkRefused.store(true, std::memory_order_relaxed); // not asked again
    return 0;
}

// Gives a complete unnamed file its final name: directly when the name is free (one step, and
// nothing incomplete ever had a name), else under a temporary name renamed over the old file.
void nameUnnamedFile(Fd &out, const Target &to, CopySession &session)
{
    const int err = linkUnnamedFile(out.get(), to.fd(), to.bytes.constData(), session);
    if (err == 0) {
        if (out.closeChecked() != 0) {
            const int closeErr = errno;
            ::unlinkat(to.fd(), to.bytes.constData(), 0); // ours, and perhaps incomplete
            throwSystemError(closeErr, to.path());
        }
        return;
    }
    if (err != EEXIST)
        throwSystemError(err, to.path());
    TemporaryFile temporary(to.fd());
    if (const int tempErr = linkUnnamedFile(out.get(), to.fd(), temporary.name(), session))
        throwSystemError(tempErr, to.path());
    if (out.closeChecked() != 0)
        throwSystemError(errno, to.path());
    temporary.commitAs(to);
}

// Copies one regular file (already opened) so that no incomplete file ever carries its name: an
// unnamed file in the destination folder is named when complete (and vanishes by itself if the
// copy fails or the program ends); where the file system has no unnamed files (a FAT card), a
// hidden temporary file is renamed into place.
void copyOpenFile(
    int in, const struct stat &st, const QString &source, const Target &to, CopySession &session)
{
    if (session.unnamedFiles && procFdAvailable()) {
        Fd unnamed(::openat(to.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, creationMode(st)));
        if (unnamed.valid()) {
            writeContents(in, unnamed.get(), st, source, to, session);
            nameUnnamedFile(unnamed, to, session);
            session.filesCopied.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        // Any refusal: the named way below tries again and reports what the system says.
    }
    TemporaryFile temporary(to.fd());
    Fd out(::openat(to.fd(), temporary.name(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, creationMode(st)));
    if (!out.valid())
        throwSystemError(errno, to.path());
    writeContents(in, out.get(), st, source, to, session);
    if (out.closeChecked() != 0)
        throwSystemError(errno, to.path());
    temporary.commitAs(to);
    session.filesCopied.fetch_add(1, std::memory_order_relaxed);
}

// Recreates a link as a link (from a card, links are never followed).
void copyLink(const QString &source, const Target &to, CopySession &session)
{
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t n = ::readlink(encodePath(source).constData(), target.data(), PATH_MAX);
    if (n < 0)
        throwSystemError(errno, source);
    target[static_cast<size_t>(n)] = '\0';
    TemporaryFile temporary(to.fd());
    if (::symlinkat(target.data(), to.fd(), temporary.name()) != 0)
        throwSystemError(errno, to.path());
    temporary.commitAs(to);
    session.filesCopied.fetch_add(1, std::memory_order_relaxed);
}

[[noreturn]] void throwNotAFile(const QString &source)
{
    throw AppError(
        kPathFileAccessError, QStringLiteral("Not a regular file (pipe, socket or device): ") + source);
}

// Opens a file known to be regular (`name` relative to `folderFd`) and copies it. Throws AppError
// (not recorded) on failure.
void copyRegularFile(
    int folderFd, const char *name, const QString &source, const Target &to, CopySession &session)
{
    // From a card a link is never followed, even one put there since the folder was listed.
    const int noFollow = session.followLinks ? 0 : O_NOFOLLOW;
    Fd in(::openat(folderFd, name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | noFollow));
    if (!in.valid())
        throwSystemError(errno, source);
    struct stat openSt { };
    if (::fstat(in.get(), &openSt) != 0)
        throwSystemError(errno, source);
    if (!S_ISREG(openSt.st_mode))
        throwNotAFile(source); // replaced by something else since we looked
    if (openSt.st_size > (1 << 20))
        ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    copyOpenFile(in.get(), openSt, source, to, session);
}

void runBeforeFileHook(const QString &source, CopySession &session)
{
    if (session.beforeFile) {
        const std::lock_guard<std::mutex> lock(session.hookMutex);
        session.beforeFile(source);
    }
}

// Copies one non-folder entry whose kind is not known yet. Throws AppError (not recorded).
void copyEntryFile(const QString &source, const Target &to, CopySession &session)
{
    runBeforeFileHook(source, session);
    const QByteArray sourceBytes = encodePath(source);
    struct stat linkSt { };
    if (::lstat(sourceBytes.constData(), &linkSt) != 0)
        throwSystemError(errno, source);
    if (S_ISLNK(linkSt.st_mode) && !session.followLinks) {
        copyLink(source, to, session);
        return;
    }
    struct stat st { };
    if (::stat(sourceBytes.constData(), &st) != 0)
        throwSystemError(errno, source);
    if (S_ISDIR(st.st_mode))
        throwSystemError(EISDIR, source);
    if (!S_ISREG(st.st_mode))
        throwNotAFile(source); // never opened: a pipe would block, a device never ends
    struct stat destSt { };
    if (::fstatat(to.fd(), to.bytes.constData(), &destSt, 0) == 0 && destSt.st_dev == st.st_dev
        && destSt.st_ino == st.st_ino)
        throw AppError(
            kPathFileAccessError, QStringLiteral("Source and destination are the same file: ") + source);
    copyRegularFile(AT_FDCWD, sourceBytes.constData(), source, to, session);
}

// What a directory entry is, under the session's link rule.
enum class Kind { Folder, File, Link, Missing };

Kind kindOf(const QString &path, bool followLinks, struct stat *out = nullptr)
{
    struct stat st { };
    const QByteArray bytes = encodePath(path);
    if (::lstat(bytes.constData(), &st) != 0)
        return Kind::Missing;
    if (S_ISLNK(st.st_mode)) {
        if (!followLinks)
            return Kind::Link;
        if (::stat(bytes.constData(), &st) != 0)
            return Kind::File; // dangling: fails as a file would
    }
    if (out)
        *out = st;
    return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::File;
}

// One top-level copy: walks folders in this thread while a few files are copied by a pool.
// finish() waits for the files, then gives the folders their times (writing into a folder
// changes its time, so that comes last, deepest first).
struct TreeCopy {
    CopySession &session;
    QSet<QString> entered; // folder identities: with links followed, each is entered once
    std::vector<std::pair<QByteArray, struct stat>> folderTimes;
    std::atomic<bool> abandoned{false};
    std::unique_ptr<WorkerPool> pool; // last: gone first, while the tasks' state still lives

    // Files waiting for a copier. Each holds its two folders open, which bounds the descriptors
    // in use; it is plenty to keep two copiers busy while the walk reads on.
    static constexpr size_t kQueuedFiles = 128;

    explicit TreeCopy(CopySession &s) : session(s)
    {
        if (session.filesInFlight > 1)
            pool = std::make_unique<WorkerPool>(session.filesInFlight, kQueuedFiles);
    }

    void finish()
    {
        if (pool)
            pool->drain();
        for (auto it = folderTimes.rbegin(); it != folderTimes.rend(); ++it) {
            const struct timespec times[2] = {it->second.st_atim, it->second.st_mtim};
            ::utimensat(AT_FDCWD, it->first.constData(), times, 0);
        }
        if (abandoned || session.isAbandoned())
            throw CopyAbandoned{};
    }

    // Copies one folder's tree. Failures inside are recorded and do not stop the rest. A folder's
    // files are handed out before its sub-folders are walked, so no folder stays open below it.
    void copyFolder(const QString &source, const QString &destination)
    {
        std::vector<QString> subFolders;
        struct stat st { };
        try {
            const SharedFolder from = openFolder(source, true);
            if (::fstat(from->fd.get(), &st) != 0)
                throwSystemError(errno, source);
            if (entered.contains(identityOf(st)))
                return; // reached again through a link: already copied, or our own destination
            entered.insert(identityOf(st));

            if (::mkdir(encodePath(destination).constData(), 0777) != 0 && errno != EEXIST)
                throwSystemError(errno, source);
            const SharedFolder to = openFolder(destination, false);
            struct stat destSt { };
            if (::fstat(to->fd.get(), &destSt) != 0)
                throwSystemError(errno, destination);
            entered.insert(identityOf(destSt)); // never walk into what this copy writes

            std::vector<FolderEntry> entries;
            if (!readFolderEntries(from->fd.get(), entries)) {
                recordFailure(source, errno);
                if (entries.empty())
                    return;
            }
            for (const auto &[name, type] : entries) {
                if (session.isAbandoned())
                    return;
                // Plain folders and files are known from the listing; links and the rest are asked.
                if (type == DT_DIR
                    || (type != DT_REG
                        && kindOf(joinPath(source, name), session.followLinks) == Kind::Folder))
                    subFolders.push_back(name);
                else
                    copyFileItem(from, name, to, type == DT_REG);
            }
        } catch (const AppError &error) {
            session.addFailure(source, reasonText(error));
            return;
        }
        for (const QString &name : subFolders)
            copyFolder(joinPath(source, name), joinPath(destination, name));
        folderTimes.emplace_back(encodePath(destination), st);
    }

    // Hands the file to the pool (or copies it here); its failure is recorded, never thrown.
    // A file the listing showed as regular is opened straight away (never a pipe or a device).
    void copyFileItem(SharedFolder from, const QString &name, SharedFolder to, bool knownRegular = false)
    {
        auto copy = [this, from = std::move(from), name, to = std::move(to), knownRegular] {
            const QString source = joinPath(from->path, name);
            try {
                const Target target(*to, name);
                if (knownRegular) {
                    runBeforeFileHook(source, session);
                    copyRegularFile(from->fd.get(), target.bytes.constData(), source, target, session);
                } else {
                    copyEntryFile(source, target, session);
                }
            } catch (const AppError &error) {
                session.addFailure(source, reasonText(error));
            } catch (const CopyAbandoned &) {
                abandoned = true;
            }
        };
        if (pool)
            pool->submit(std::move(copy));
        else
            copy();
    }

    void recordFailure(const QString &item, int err) { session.addFailure(item, reasonOf(err)); }

    static QString reasonText(const AppError &error)
    {
        const QString &description = error.description();
        const qsizetype colon = description.indexOf(QStringLiteral(": "));
        return colon > 0 ? description.left(colon) : description;
    }
};

struct MatchedEntry {
    QString name;
    Kind kind;
};

// The entries of the pattern's folder whose names match, hidden ones included.
std::vector<MatchedEntry> matchingEntries(
    const QString &pattern, bool followLinks, CopySession &session, bool recordFailure = true)
{
    const SplitPattern split = splitPattern(pattern);
    std::vector<MatchedEntry> entries;
    if (!hasWildcard(split.namePattern)) {
        const Kind kind = kindOf(pattern, followLinks);
        if (kind != Kind::Missing)
            entries.push_back({split.namePattern, kind});
        return entries;
    }
    std::vector<FolderEntry> listed;
    if (!readFolderEntries(split.folder, listed) && listed.empty()) {
        if (!recordFailure)
            return entries;
        failItem(session, split.folder, errno, split.folder);
    }
    for (FolderEntry &entry : listed) {
        if (matchesWildcard(split.namePattern, entry.name)) {
            const Kind kind = kindOf(joinPath(split.folder, entry.name), followLinks);
            entries.push_back({std::move(entry.name), kind});
        }
    }
    return entries;
}

// After a bulk copy: one AppError for the step when any item failed.
void throwIfItemsFailed(CopySession &session, size_t failuresBefore)
{
    const std::vector<CopyFailure> failures = session.failures();
    if (failures.size() == failuresBefore)
        return;
    const CopyFailure &first = failures[failuresBefore];
    QString description = first.reason + QStringLiteral(": ") + first.path;
    const size_t more = failures.size() - failuresBefore - 1;
    if (more > 0)
        description += QStringLiteral(" (and %1 more)").arg(more);
    throw AppError(kPathFileAccessError, description);
}

QString canonical(const QString &path)
{
    const QString result = QDir(path).canonicalPath();
    return result.isEmpty() ? QDir::cleanPath(path) : result;
}

bool isSameOrInside(const QString &inner, const QString &outer)
{
    return inner == outer
        || inner.startsWith(outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/'));
}

} // namespace

void copyFile(const QString &source, const QString &destination, CopySession &session)
{
    const SplitPattern split = splitPattern(destination); // the folder, and the file's name in it
    session.destinations.insert(split.folder);
    try {
        const SharedFolder to = tryOpenFolder(split.folder, false);
        if (!to)
            throwSystemError(errno, destination);
        copyEntryFile(source, Target(*to, split.namePattern), session);
    } catch (const AppError &error) {
        session.addFailure(source, TreeCopy::reasonText(error));
        throw;
    }
}

void copyMatchingFiles(const QString &pattern, const QString &destinationFolder, CopySession &session)
{
    session.destinations.insert(destinationFolder);
    const size_t failuresBefore = session.failureCount();
    const SplitPattern split = splitPattern(pattern);
    const SharedFolder from = folderByPath(split.folder);
    const SharedFolder to = tryOpenFolder(destinationFolder, false);
    const int openError = errno;
    int copied = 0;
    TreeCopy tree(session);
    for (const MatchedEntry &entry : matchingEntries(pattern, session.followLinks, session)) {
        if (entry.kind == Kind::Folder)
            continue;
        ++copied;
        if (to)
            tree.copyFileItem(from, entry.name, to);
        else
            session.addFailure(joinPath(split.folder, entry.name), reasonOf(openError));
    }
    tree.finish();
    if (copied == 0)
        throw AppError(kFileNotFound, QStringLiteral("File not found: ") + pattern);
    throwIfItemsFailed(session, failuresBefore);
}

int copyMatchingFolders(const QString &pattern, const QString &destinationFolder, CopySession &session)
{
    session.destinations.insert(destinationFolder);
    const size_t failuresBefore = session.failureCount();
    const SplitPattern split = splitPattern(pattern);
    const QString destinationCanonical = canonical(destinationFolder);
    int matched = 0;
    for (const MatchedEntry &entry : matchingEntries(pattern, session.followLinks, session)) {
        if (entry.kind != Kind::Folder)
            continue;
        ++matched;
        const QString source = joinPath(split.folder, entry.name);
        if (isSameOrInside(destinationCanonical, canonical(source))) {
            session.addFailure(source,
                QStringLiteral("Cannot copy a folder into itself (the destination "
                               "%1 is inside it)")
                    .arg(destinationFolder));
            continue;
        }
        TreeCopy tree(session);
        struct stat destSt { };
        if (::stat(encodePath(destinationFolder).constData(), &destSt) == 0)
            tree.entered.insert(identityOf(destSt));
        tree.copyFolder(source, joinPath(destinationFolder, entry.name));
        tree.finish();
    }
    throwIfItemsFailed(session, failuresBefore);
    return matched;
}

namespace {

qint64 treeBytes(const QString &path, bool followLinks, QSet<QString> &entered, int depthLeft)
{
    struct stat st { };
    const Kind kind = kindOf(path, followLinks, &st);
    if (kind == Kind::File)
        return S_ISREG(st.st_mode) ? st.st_size : 0;
    if (kind != Kind::Folder || depthLeft == 0 || entered.contains(identityOf(st)))
        return 0;
    entered.insert(identityOf(st));
    std::vector<FolderEntry> entries;
    readFolderEntries(path, entries); // what cannot be read counts nothing
    qint64 total = 0;
    for (const FolderEntry &entry : entries)
        total += treeBytes(joinPath(path, entry.name), followLinks, entered, depthLeft - 1);
    return total;
}

} // namespace

void measure(const QString &pattern, bool foldersToo, CopySession &session)
{
    const SplitPattern split = splitPattern(pattern);
    qint64 total = 0;
    for (const MatchedEntry &entry : matchingEntries(pattern, session.followLinks, session, false)) {
        if (entry.kind == Kind::Folder && !foldersToo)
            continue;
        QSet<QString> entered;
        total += treeBytes(joinPath(split.folder, entry.name), session.followLinks, entered, 4096);
    }
    session.bytesTotal.fetch_add(total);
}

void flushDestinations(CopySession &session)
{
    QSet<dev_t> flushed;
    for (const QString &folder : std::as_const(session.destinations)) {
        Fd dir(::open(encodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir.valid())
            continue; // never created: nothing was written there
        struct stat st { };
        if (::fstat(dir.get(), &st) != 0 || flushed.contains(st.st_dev))
            continue;
        flushed.insert(st.st_dev);
        if (::syncfs(dir.get()) != 0)
            failItem(session, folder, errno, folder);
    }
}

} // namespace halvorix::posixcopy
