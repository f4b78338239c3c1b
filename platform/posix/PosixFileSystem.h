#pragma once

#include "core/FileSystemService.h"

namespace halvorix {

// The real file system. Drive discovery reads the mount table, sysfs and udev's label links
// under `sysroot` ("/" normally; HALVORIX_SYSROOT in tests and demonstrations).
class PosixFileSystem : public FileSystemService {
public:
    explicit PosixFileSystem(QString sysroot = sysrootFromEnvironment());

    static QString sysrootFromEnvironment();

    std::vector<ListedName> list(const QString &pattern, int mask) override;
    int attributes(const QString &path) override;
    QDateTime modificationTime(const QString &path) override;
    void createFolder(const QString &path) override;
    bool opensAsFile(const QString &path) override;
    FolderFacts examineFolder(const QString &path) override;
    bool isRootFolder(const QString &path) override;
    void forEachSubFolder(const QString &path, const std::function<void(const QString &name)> &onName,
        std::vector<ListedName> *files = nullptr) override;
    void copyFile(const QString &source, const QString &destination, CopySession &session) override;
    void copyMatchingFiles(
        const QString &pattern, const QString &destinationFolder, CopySession &session) override;
    int copyMatchingFolders(
        const QString &pattern, const QString &destinationFolder, CopySession &session) override;
    void copyFolder(const QString &source, const QString &destinationFolder, CopySession &session) override;
    void measure(const QString &pattern, bool foldersToo, CopySession &session) override;
    void measureItem(const QString &path, CopySession &session) override;
    void flushDestinations(CopySession &session) override;
    void forEachDrive(const std::function<void(const DriveInfo &)> &onDrive) override;
    bool driveStillMounted(const DriveInfo &drive) override;

private:
    QString sysroot_;
};

} // namespace halvorix
