#include "platform/posix/engine/CopyEngine.h"

#include "core/AppError.h"
#include "core/Wildcard.h"
#include "platform/posix/SystemErrors.h"
#include "platform/posix/engine/Committer.h"
#include "platform/posix/engine/EngineRun.h"
#include "platform/posix/engine/TreeCopy.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvorix {

namespace {

// A pattern split into its folder (a path, never a pattern) and the pattern of the names in it.
struct Pattern {
    NativePath folder;
    QString names;
    static Pattern of(const QString &text)
    {
        const SplitPattern split = splitPattern(text);
        return {NativePath::fromText(split.folder.isEmpty() ? QStringLiteral("./") : split.folder),
            split.namePattern};
    }
    bool matches(const QByteArray &name) const
    {
        return names == QLatin1String("*") || names == QLatin1String("*.*")
            || matchesWildcard(names, QString::fromUtf8(name));
    }
};

struct Matched {
    QByteArray name;
    unsigned char type; // as the listing gave it
    bool folder;
};

// The entries of the open folder whose names match, hidden ones included; a folder under the
// session's link rule. Throws AppError when the folder cannot be read.
std::vector<Matched> matchingEntries(const SourceFolder &from, const Pattern &pattern, bool followLinks)
{
    std::vector<FolderEntry> listed;
    if (const int err = readFolderEntries(from.fd(), listed); err != 0 && listed.empty())
        throwSystemError(err, FailedAction::Reading, from.path.text());
    std::vector<Matched> matched;
    for (FolderEntry &entry : listed) {
        if (!pattern.matches(entry.name))
            continue;
        bool folder = entry.type == DT_DIR;
        if (entry.type == DT_UNKNOWN || (entry.type == DT_LNK && followLinks)) {
            struct stat st { };
            folder = ::fstatat(from.fd(), entry.name.constData(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW)
                    == 0
                && S_ISDIR(st.st_mode);
        }
        matched.push_back({std::move(entry.name), entry.type, folder});
    }
    return matched;
}

SharedSource openSourceOrThrow(const NativePath &folder, bool followLinks)
{
    SharedSource from = openSource(folder, followLinks);
    if (!from) {
        const int err = errno;
        throwSystemError(err, FailedAction::Reading, folder.text());
    }
    return from;
}

// After a bulk copy: one AppError for the step when any item failed, with the first failure's
// code and description.
void throwIfItemsFailed(CopySession &session, size_t failuresBefore)
{
    const std::vector<CopyFailure> failures = session.failures();
    if (failures.size() == failuresBefore)
        return;
    const CopyFailure &first = failures[failuresBefore];
    QString description = first.description;
    const size_t more = failures.size() - failuresBefore - 1;
    if (more > 0)
        description += QStringLiteral(" (and %1 more)").arg(more);
    throw AppError(first.code, description);
}

// The folder with every link resolved, for telling whether one folder lies inside another.
QByteArray resolved(const NativePath &path)
{
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer))
        return QByteArray(buffer);
    return path.withoutTrailingSeparator().bytes();
}

bool isSameOrInside(const QByteArray &inner, const QByteArray &outer)
{
    return inner == outer || inner.startsWith(outer.endsWith('/') ? outer : outer + '/');
}

AppError intoItself(const NativePath &source, const NativePath &destination)
{
    return AppError(kPathFileAccessError, 0, FailedAction::Creating, source.text(),
        QStringLiteral("Cannot copy a folder into itself (the destination %1 is inside it)")
            .arg(destination.text()));
}

// The destination folder of a step, opened; when it cannot be, every item of the step fails for
// that reason, named by the destination.
SharedDestination openStepDestination(const NativePath &folder, CopySession &session, int *openError)
{
    return openDestination(folder, session, *openError);
}

// The two ends of a step that copies what a pattern matches: the pattern's folder, opened to
// read, and the destination folder, opened to write (null, with the reason, when it cannot be).
struct MatchingStep {
    Pattern split;
    SharedDestination to;
    SharedSource from;
    int openError = 0;

    static MatchingStep open(const QString &pattern, const QString &destinationFolder, CopySession &session)
    {
        session.destinations.insert(destinationFolder);
        MatchingStep step{Pattern::of(pattern), nullptr, nullptr, 0};
        step.to = openStepDestination(NativePath::fromText(destinationFolder), session, &step.openError);
        step.from = openSourceOrThrow(step.split.folder, session.options.followLinks);
        return step;
    }
};

// Copies one folder tree into `to` under the folder's own name, unless `to` lies inside it.
void copyTree(
    const NativePath &source, const SharedDestination &to, const QByteArray &name, CopySession &session)
{
    if (isSameOrInside(resolved(to->path), resolved(source))) {
        session.addFailure(source.text(), intoItself(source, to->path));
        return;
    }
    TreeCopy tree(session);
    struct stat destSt { };
    if (::fstat(to->fd(), &destSt) == 0)
        tree.keepOut(destSt);
    tree.copyFolder(source, to, name);
    tree.finish();
}

} // namespace

void PosixCopyEngine::copyFile(const QString &source, const QString &destination, CopySession &session)
{
    const NativePath from = NativePath::fromText(source);
    const NativePath to = NativePath::fromText(destination);
    session.destinations.insert(to.folder().text());
    try {
        int err = 0;
        const SharedDestination folder = openDestination(to.folder(), session, err);
        if (!folder)
            throwSystemError(err, FailedAction::Creating, destination);
        const SharedSource sourceFolder = openSourceOrThrow(from.folder(), session.options.followLinks);
        copyEntry(*sourceFolder, from.name(), Target{folder, to.name()}, session);
    } catch (const AppError &error) {
        session.addFailure(source, error);
        throw;
    }
}

void PosixCopyEngine::copyMatchingFiles(
    const QString &pattern, const QString &destinationFolder, CopySession &session)
{
    const size_t failuresBefore = session.failureCount();
    const auto [split, to, from, openError] = MatchingStep::open(pattern, destinationFolder, session);
    int copied = 0;
    TreeCopy tree(session);
    for (const Matched &entry : matchingEntries(*from, split, session.options.followLinks)) {
        if (entry.folder)
            continue;
        ++copied;
        if (to)
            tree.copyFile(from, entry.name, to, entry.type == DT_REG);
        else
            session.addFailure((split.folder / entry.name).text(),
                systemError(openError, FailedAction::Creating, destinationFolder));
    }
    tree.finish();
    engineRunOf(session).settle(); // the step's files named: their failures are the step's
    if (copied == 0)
        throw AppError(kFileNotFound, QStringLiteral("File not found: ") + pattern);
    throwIfItemsFailed(session, failuresBefore);
}

int PosixCopyEngine::copyMatchingFolders(
    const QString &pattern, const QString &destinationFolder, CopySession &session)
{
    const size_t failuresBefore = session.failureCount();
    const auto [split, to, from, openError] = MatchingStep::open(pattern, destinationFolder, session);
    int matched = 0;
    for (const Matched &entry : matchingEntries(*from, split, session.options.followLinks)) {
        if (!entry.folder)
            continue;
        ++matched;
        const NativePath source = split.folder / entry.name;
        if (to)
            copyTree(source, to, entry.name, session);
        else
            session.addFailure(
                source.text(), systemError(openError, FailedAction::Creating, destinationFolder));
    }
    engineRunOf(session).settle(); // the step's files named: their failures are the step's
    throwIfItemsFailed(session, failuresBefore);
    return matched;
}

void PosixCopyEngine::copyFolder(
    const QString &source, const QString &destinationFolder, CopySession &session)
{
    session.destinations.insert(destinationFolder);
    const size_t failuresBefore = session.failureCount();
    const NativePath folder = NativePath::fromText(source).withoutTrailingSeparator();
    struct stat st { };
    const int statFlags = session.options.followLinks ? 0 : AT_SYMLINK_NOFOLLOW;
    const int rc = ::fstatat(AT_FDCWD, folder.c_str(), &st, statFlags);
    const int err = errno;
    if (rc != 0 || !S_ISDIR(st.st_mode)) {
        const AppError error = systemError(rc != 0 ? err : ENOTDIR, FailedAction::Reading, folder.text());
        session.addFailure(folder.text(), error);
        throw error;
    }
    int openError = 0;
    const SharedDestination to
        = openStepDestination(NativePath::fromText(destinationFolder), session, &openError);
    if (to)
        copyTree(folder, to, folder.name(), session);
    else
        session.addFailure(folder.text(), systemError(openError, FailedAction::Creating, destinationFolder));
    // Its files are named with the run's next batch: a name found taken then is named in the
    // closing warning (a flush per listed folder would cost a long list dearly).
    throwIfItemsFailed(session, failuresBefore);
}

namespace {

// Bytes of the regular files in the tree at `name` of the open folder; what cannot be read counts
// nothing. Stops early when the session is abandoned.
qint64 treeBytes(int folderFd, const QByteArray &name, bool followLinks, QSet<QString> &entered,
    int depthLeft, const CopySession &session)
{
    if (session.isAbandoned())
        return 0;
    struct stat st { };
    if (::fstatat(folderFd, name.constData(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (S_ISREG(st.st_mode))
        return st.st_size;
    if (!S_ISDIR(st.st_mode) || depthLeft == 0 || entered.contains(identityOf(st)))
        return 0;
    entered.insert(identityOf(st));
    const FileHandle folder(::openat(
        folderFd, name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)));
    if (!folder.valid())
        return 0;
    std::vector<FolderEntry> entries;
    readFolderEntries(folder.get(), entries);
    qint64 total = 0;
    for (const FolderEntry &entry : entries) {
        if (entry.type == DT_REG) { // most entries: one stat, no descent
            struct stat file { };
            if (::fstatat(folder.get(), entry.name.constData(), &file, AT_SYMLINK_NOFOLLOW) == 0)
                total += file.st_size;
            continue;
        }
        total += treeBytes(folder.get(), entry.name, followLinks, entered, depthLeft - 1, session);
    }
    return total;
}

constexpr int kDeepestTree = 4096;

// The work of copying `bytes`: writing them, and reading them back when copies are verified.
qint64 withReadBack(qint64 bytes, const CopySession &session)
{
    return session.options.verify ? 2 * bytes : bytes;
}

// Flushes the file systems of `folders` to their devices, each once. Throws AppError when a device
// reports an error (recorded for the folder).
void flushFolders(const QStringList &folders, CopySession &session)
{
    QSet<dev_t> flushed;
    for (const QString &folder : folders) {
        const FileHandle dir(
            ::open(NativePath::fromText(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir.valid())
            continue; // never created: nothing was written there
        struct stat st { };
        if (::fstat(dir.get(), &st) != 0 || flushed.contains(st.st_dev))
            continue;
        flushed.insert(st.st_dev);
        if (::syncfs(dir.get()) != 0) {
            const int err = errno;
            const AppError error = systemError(err, FailedAction::Flushing, folder);
            session.addFailure(folder, error);
            throw error;
        }
    }
}

} // namespace

void PosixCopyEngine::measure(const QString &pattern, bool foldersToo, CopySession &session)
{
    const Pattern split = Pattern::of(pattern);
    const SharedSource from = openSource(split.folder, session.options.followLinks);
    if (!from)
        return;
    qint64 total = 0;
    try {
        for (const Matched &entry : matchingEntries(*from, split, session.options.followLinks)) {
            if (entry.folder && !foldersToo)
                continue;
            QSet<QString> entered;
            total += treeBytes(
                from->fd(), entry.name, session.options.followLinks, entered, kDeepestTree, session);
        }
    } catch (const AppError &) {
        // What cannot be measured counts nothing.
    }
    session.progress.bytesTotal.fetch_add(withReadBack(total, session));
}

void PosixCopyEngine::measureItem(const QString &path, CopySession &session)
{
    QSet<QString> entered;
    const NativePath item = NativePath::fromText(path).withoutTrailingSeparator();
    session.progress.bytesTotal.fetch_add(withReadBack(
        treeBytes(AT_FDCWD, item.bytes(), session.options.followLinks, entered, kDeepestTree, session),
        session));
}

void PosixCopyEngine::flushDestinations(CopySession &session)
{
    EngineRun &run = engineRunOf(session);
    run.settle(); // every file named and every folder timed, then all flushed
    flushFolders(session.destinations.values(), session);
    if (!session.options.verify || !session.options.toCard)
        return; // a fixed disk's copies were read back before they were named
    // The card as it stands after the last write: what a counterfeit card overwrote shows now.
    if (run.hooks.beforeReadingBack)
        run.hooks.beforeReadingBack();
    QStringList changed;
    for (const NativePath &folder : run.readBackLater.readAllBack(session))
        changed << folder.text();
    flushFolders(changed, session); // the bad copies' names are gone from the card too
}

} // namespace halvorix
