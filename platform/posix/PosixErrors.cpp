#include "platform/posix/PosixErrors.h"

#include "core/PathText.h"
#include "platform/posix/FileHandle.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvorix {

namespace {

bool parentFolderExists(const QString &path)
{
    const QString trimmed = withoutTrailingSeparators(path);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return true;
    struct stat st { };
    return ::stat(encodePath(trimmed.left(slash)).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads the entries of an open folder and closes it; errno tells why when it returns false.
bool readEntriesAndClose(int fd, std::vector<FolderEntry> &entries)
{
    int err = 0;
    {
        FolderStream dir{FileHandle(fd)};
        if (!dir.valid())
            err = dir.openError();
        else {
            while (const dirent *entry = dir.next())
                if (!isDotOrDotDot(entry->d_name))
                    entries.push_back({QByteArray(entry->d_name), entry->d_type});
            err = errno; // read before the folder closes
        }
    }
    errno = err; // what the reading said, whatever closing the folder did to errno
    return err == 0;
}

} // namespace

int codeForErrno(int err, const QString &path)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return kPermissionDenied;
    case ENOENT:
        return parentFolderExists(path) ? kFileNotFound : kPathNotFound;
    case ENOTDIR:
        return kPathNotFound;
    case EEXIST:
        return kFileAlreadyExists;
    case ENOSPC:
    case EDQUOT:
        return kDiskFull;
    case EIO:
    case ENXIO:
    case ENODEV:
        return kDeviceIoError;
    default:
        return kPathFileAccessError;
    }
}

AppError systemError(int err, FailedAction action, const QString &path)
{
    return AppError(codeForErrno(err, path), err, action, path);
}

void throwSystemError(int err, FailedAction action, const QString &path)
{
    throw systemError(err, action, path);
}

QString identityOf(const struct stat &st)
{
    return QString::number(st.st_dev) + QLatin1Char(':') + QString::number(st.st_ino);
}

QByteArray encodePath(const QString &path)
{
    return path.toUtf8();
}

QString decodeName(const char *bytes, size_t length)
{
    return QString::fromUtf8(bytes, static_cast<qsizetype>(length));
}

bool readFolderEntries(const QByteArray &folder, std::vector<FolderEntry> &entries)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    return readEntriesAndClose(fd, entries);
}

bool readFolderEntries(int folderFd, std::vector<FolderEntry> &entries)
{
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); // its own position
    if (fd < 0)
        return false;
    return readEntriesAndClose(fd, entries);
}

ListedText decodeListedName(const char *bytes, size_t length)
{
    const QByteArrayView view(bytes, static_cast<qsizetype>(length));
    bool ascii = true;
    for (const char c : view) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) // most names: the same text, made the short way
        return {QString::fromLatin1(view), true};
    QString text = QString::fromUtf8(view);
    const bool roundTrips = !text.contains(QChar::ReplacementCharacter) && text.toUtf8() == view;
    return {std::move(text), roundTrips};
}

} // namespace halvorix
