#pragma once

#include "core/FileSystemService.h"
#include "platform/posix/FileHandle.h"

#include <QByteArray>
#include <condition_variable>
#include <dirent.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace halvorix {

// What an entry is once symbolic links are followed. A dangling link is neither.
struct EntryKind {
    bool folder = false;
    bool regular = false;
};
EntryKind kindOf(const struct stat &st);
// Uses the type readdir already gave and asks the kernel, relative to the open folder, only
// for links and file systems that do not report types.
EntryKind classifyEntry(int dirFd, const dirent *entry);

// The folder at `folder` ("" is the current one), opened to be read.
FolderStream openFolder(const QString &folder);

// One folder read to its end (or to the error that ended the read): its entries' names as the
// kernel gave them, one after the other in one text, and what each is.
struct FolderListing {
    struct Entry {
        qsizetype offset;
        qsizetype length;
        EntryKind kind;
    };
    int openError = 0; // the folder could not be opened: nothing was read
    int readError = 0; // the read ended early: the entries before it were read
    QByteArray names;
    std::vector<Entry> entries;
};
FolderListing readFolderListing(const QString &path);

// Hands `listing`, read from `path`, out as FileSystemService::forEachSubFolder does, and throws
// its error after what was read before it.
void handOut(const FolderListing &listing, const QString &path,
    const std::function<void(const QString &name)> &onName, const FileSystemService::FileVisitor &onFile);

// Reads a walk's level of folders on a thread of its own, a few folders ahead of the walk, so the
// kernel's work of reading them overlaps the walk's work on what was read. A folder asked for
// out of the given order is read when asked. Ends its thread when it goes.
class FolderReadAhead : public FileSystemService::FolderReader {
public:
    explicit FolderReadAhead(const QStringList &folders);
    ~FolderReadAhead() override;
    FolderReadAhead(const FolderReadAhead &) = delete;
    FolderReadAhead &operator=(const FolderReadAhead &) = delete;

    void forEachSubFolder(const QString &path, const std::function<void(const QString &name)> &onName,
        const FileSystemService::FileVisitor &onFile) override;

private:
    void run();

    const QStringList folders_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<FolderListing>> read_; // by index into folders_, until handed out
    qsizetype wanted_ = 0; // the walk asks for no folder before this one any more
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace halvorix
