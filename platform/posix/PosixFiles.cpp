#include "platform/posix/PosixFiles.h"

#include "core/PathText.h"
#include "core/Wildcard.h"
#include "platform/posix/FileHandle.h"
#include "platform/posix/FolderListing.h"
#include "platform/posix/SystemErrors.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvorix {

namespace {

bool passesMask(bool folder, bool hidden, int mask)
{
    if (hidden && !(mask & kAttrHidden))
        return false;
    return !folder || (mask & kAttrDirectory);
}

// A pattern without wildcards names one entry: look at it directly instead of reading
// the whole folder.
std::vector<ListedName> listSingleEntry(const QString &path, const QString &name, int mask)
{
    const QByteArray bytes = encodePath(path);
    struct stat st { };
    if (::stat(bytes.constData(), &st) != 0) {
        struct stat linkSt { };
        if (::lstat(bytes.constData(), &linkSt) != 0)
            return {};
        st = linkSt; // a dangling link is listed as a file that does not open
        st.st_mode = S_IFLNK;
    }
    const EntryKind kind = kindOf(st);
    if (!passesMask(kind.folder, name.startsWith(QLatin1Char('.')), mask))
        return {};
    const bool clean = !name.contains(QChar::ReplacementCharacter);
    return {ListedName{name, kind.regular && clean}};
}

} // namespace

std::vector<ListedName> PosixFiles::list(const QString &pattern, int mask)
{
    const SplitPattern split = splitPattern(pattern);
    if (split.namePattern.isEmpty()) {
        // "/a/b/" names the folder b itself, "/" the root folder.
        const QString folderName = lastPathPiece(withoutTrailingSeparators(pattern));
        return listSingleEntry(pattern, folderName.isEmpty() ? pattern : folderName, mask);
    }
    if (!hasWildcard(split.namePattern))
        return listSingleEntry(pattern, split.namePattern, mask);

    FolderStream dir = openFolder(split.folder);
    if (!dir.valid()) {
        const int err = dir.openError();
        if (err == ENOENT || err == ENOTDIR)
            return {}; // nothing there matches
        throwSystemError(err, FailedAction::Reading, split.folder);
    }
    const int dirFd = dir.fd();
    std::vector<ListedName> names;
    while (const dirent *entry = dir.next()) {
        if (isDotOrDotDot(entry->d_name))
            continue;
        const size_t length = std::strlen(entry->d_name);
        const bool hidden = entry->d_name[0] == '.';
        // The mask can often be applied before the type is known: a hidden name with a
        // mask without the hidden bit is out whatever it is.
        if (hidden && !(mask & kAttrHidden))
            continue;
        ListedText name = decodeListedName(entry->d_name, length);
        if (!matchesWildcard(split.namePattern, name.text))
            continue;
        const EntryKind kind = classifyEntry(dirFd, entry);
        if (!passesMask(kind.folder, hidden, mask))
            continue;
        names.push_back(ListedName{std::move(name.text), kind.regular && name.roundTrips});
    }
    if (errno != 0)
        throwSystemError(errno, FailedAction::Reading, split.folder);
    return names;
}

namespace {

// Attribute bits from what lstat said of the path and, for a link, what stat said of its target.
int attributesFrom(const struct stat &linkSt, const struct stat &st, const QString &path)
{
    int attrs = 0;
    if (S_ISLNK(linkSt.st_mode))
        attrs |= kAttrReparsePoint;
    if (S_ISDIR(st.st_mode))
        attrs |= kAttrDirectory;
    if (S_ISREG(st.st_mode))
        attrs |= kAttrArchive;
    if (!(st.st_mode & S_IWUSR))
        attrs |= kAttrReadOnly;
    if (lastPathPiece(withoutTrailingSeparators(path)).startsWith(QLatin1Char('.')))
        attrs |= kAttrHidden;
    return attrs;
}

// lstat, then stat through a link (a dangling link describes itself). Throws when missing.
void statBoth(const QString &path, struct stat &linkSt, struct stat &st)
{
    const QByteArray bytes = encodePath(path);
    if (::lstat(bytes.constData(), &linkSt) != 0)
        throwSystemError(errno, FailedAction::Reading, path);
    st = linkSt;
    if (S_ISLNK(linkSt.st_mode) && ::stat(bytes.constData(), &st) != 0)
        st = linkSt;
}

} // namespace

int PosixFiles::attributes(const QString &path)
{
    struct stat linkSt {
    }, st{};
    statBoth(path, linkSt, st);
    return attributesFrom(linkSt, st, path);
}

FileSystemService::FolderFacts PosixFiles::examineFolder(const QString &path)
{
    struct stat linkSt {
    }, st{};
    statBoth(path, linkSt, st);
    return {attributesFrom(linkSt, st, path), identityOf(st)};
}

QDateTime PosixFiles::modificationTime(const QString &path)
{
    struct stat st { };
    if (::stat(encodePath(path).constData(), &st) != 0)
        throwSystemError(errno, FailedAction::Reading, path);
    const qint64 ms = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return QDateTime::fromMSecsSinceEpoch(ms);
}

void PosixFiles::createFolder(const QString &path)
{
    if (::mkdir(encodePath(path).constData(), 0777) != 0)
        throwSystemError(errno, FailedAction::Creating, path);
}

bool PosixFiles::opensAsFile(const QString &path)
{
    if (path.contains(QChar::ReplacementCharacter))
        return false;
    struct stat st { };
    return ::stat(encodePath(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFiles::isRootFolder(const QString &path)
{
    struct stat self {
    }, parent{};
    const QString folder = withTrailingSeparator(path);
    if (::stat(encodePath(folder).constData(), &self) != 0)
        throwSystemError(errno, FailedAction::Reading, path);
    if (::stat(encodePath(folder + QStringLiteral("..")).constData(), &parent) != 0)
        throwSystemError(errno, FailedAction::Reading, path);
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

void PosixFiles::forEachSubFolder(
    const QString &path, const std::function<void(const QString &name)> &onName, const FileVisitor &onFile)
{
    handOut(readFolderListing(path), path, onName, onFile);
}

std::unique_ptr<FileSystemService::FolderReader> PosixFiles::readFolders(const QStringList &folders)
{
    if (folders.size() < 2)
        return FileSystemService::readFolders(folders); // nothing to read ahead of
    return std::make_unique<FolderReadAhead>(folders);
}

} // namespace halvorix
