#pragma once

#include "core/FileSystemService.h"

namespace halvorix {

// Listing and attributes on a POSIX file system (see FileSystemService).
class PosixFiles : public FileSystemService {
public:
    std::vector<ListedName> list(const QString &pattern, int mask) override;
    int attributes(const QString &path) override;
    QDateTime modificationTime(const QString &path) override;
    void createFolder(const QString &path) override;
    bool opensAsFile(const QString &path) override;
    FolderFacts examineFolder(const QString &path) override;
    bool isRootFolder(const QString &path) override;
    void forEachSubFolder(const QString &path, const std::function<void(const QString &name)> &onName,
        const FileVisitor &onFile = {}) override;
    std::unique_ptr<FolderReader> readFolders(const QStringList &folders) override;
};

} // namespace halvorix
