#include "platform/posix/SystemErrors.h"

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

// Reads the entries of an open folder and closes it. Returns 0, or why the reading stopped.
int readEntriesAndClose(int fd, std::vector<FolderEntry> &entries)
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
    return err;
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool roundTrips(const QString &text, QByteArrayView bytes)
{
    return !text.contains(QChar::ReplacementCharacter) && text.toUtf8() == bytes;
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

QString systemReason(int err)
{
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(err, buffer, sizeof buffer)); // safe on any thread
}

AppError systemError(int err, FailedAction action, const QString &path)
{
    const int code = codeForErrno(err, path);
    // Full disks and full quotas alike: the user needs room on the card either way.
    const QString reason = code == kDiskFull ? QStringLiteral("Disk full") : systemReason(err);
    return AppError(code, err, action, path, reason);
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

int readFolderEntries(int folderFd, std::vector<FolderEntry> &entries)
{
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); // its own position
    if (fd < 0)
        return errno;
    return readEntriesAndClose(fd, entries);
}

ListedText decodeListedName(const char *bytes, size_t length)
{
    const QByteArrayView view(bytes, static_cast<qsizetype>(length));
    if (isAscii(view)) // most names: the same text, made the short way
        return {QString::fromLatin1(view), true};
    QString text = QString::fromUtf8(view);
    const bool trips = roundTrips(text, view);
    return {std::move(text), trips};
}

bool decodeListedNameInto(const char *bytes, size_t length, QString &text)
{
    const QByteArrayView view(bytes, static_cast<qsizetype>(length));
    text.resize(view.size()); // in the room the last name had, most times
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : view) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            text = QString::fromUtf8(view);
            return roundTrips(text, view);
        }
        *out++ = byte; // ASCII: the same character
    }
    return true;
}

} // namespace halvorix
