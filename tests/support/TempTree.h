#pragma once

#include "support/QtPrinters.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvorix::test {

// Removes the entry `name` in the folder `parent` and, for a folder, everything in it, by the
// bytes of the names: names that are not valid UTF-8 go as well. Folders are made writable and
// searchable first (tests make some unreadable); links are removed, never followed; a mount
// point (another device) is left alone, so nothing beyond the tree is ever deleted.
inline void removeTreeByBytes(int parent, const char *name, dev_t device)
{
    struct stat info { };
    if (fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (!S_ISDIR(info.st_mode)) {
        unlinkat(parent, name, 0);
        return;
    }
    if (info.st_dev != device)
        return;
    [[maybe_unused]] const int ignored = fchmodat(parent, name, S_IRWXU, 0); // root needs none
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    if (DIR *folder = fdopendir(fd)) {
        while (const dirent *entry = readdir(folder)) {
            const QByteArray child(entry->d_name);
            if (child != "." && child != "..")
                removeTreeByBytes(fd, entry->d_name, device);
        }
        closedir(folder); // closes fd
    } else {
        close(fd);
    }
    unlinkat(parent, name, AT_REMOVEDIR);
}

// Every file below `root`, hidden ones too, relative and sorted.
inline QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    const qsizetype prefix = root.endsWith('/') ? root.size() : root.size() + 1;
    while (it.hasNext())
        files << it.next().mid(prefix);
    files.sort();
    return files;
}

// Whether a temporary file of the copy (a hidden ".halvorix-" name) is anywhere below `root`.
inline bool hasTemporaryFiles(const QString &root)
{
    QDirIterator it(root, {".halvorix-*"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    return it.hasNext();
}

// A temporary folder that tests fill with real files; removed afterwards, whatever the names
// and permissions inside it.
class TempTree {
public:
    TempTree()
    {
        EXPECT_TRUE(dir_.isValid());
        dir_.setAutoRemove(false); // QTemporaryDir cannot remove names that do not decode
    }
    ~TempTree()
    {
        const QByteArray root = QFile::encodeName(dir_.path());
        struct stat info { };
        if (dir_.isValid() && lstat(root.constData(), &info) == 0)
            removeTreeByBytes(AT_FDCWD, root.constData(), info.st_dev);
        EXPECT_FALSE(QFileInfo::exists(dir_.path())) << "left behind: " << root.constData();
    }
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    QString path(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? dir_.path() : dir_.path() + '/' + relative;
    }

    QString mkdir(const QString &relative) const
    {
        EXPECT_TRUE(QDir().mkpath(path(relative)));
        return path(relative);
    }

    QString write(const QString &relative, const QByteArray &content = "data") const
    {
        const QString full = path(relative);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << full.toStdString();
        file.write(content);
        return full;
    }

    // Sets a file's or a folder's modification time, so a copy that loses it is caught.
    static void setModified(const QString &path, const QDateTime &when)
    {
        const qint64 ms = when.toMSecsSinceEpoch();
        const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(ms / 1000), long(ms % 1000) * 1000000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0)
            << path.toStdString();
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir dir_;
};

} // namespace halvorix::test
