#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <memory>
#include <vector>

namespace halvorix {

// Attribute bits in their classic values, so the program's attribute arithmetic
// (masks 0, 6, 16; the values 22, 34, 1046) works unchanged.
enum Attribute : int {
    kAttrReadOnly = 1, // the owner has no write permission
    kAttrHidden = 2, // the name starts with "."
    kAttrSystem = 4, // never set on this platform
    kAttrDirectory = 16, // a folder, following symbolic links
    kAttrArchive = 32, // every regular file
    kAttrReparsePoint = 1024, // the path itself is a symbolic link
};

// One name from a listing, with the answer the open probe would give for it. The listing
// already knows most of that answer (the entry's type, whether the name survives decoding),
// so asking here saves a system call per file on big trees.
struct ListedName {
    QString name;
    bool opensAsFile = false;
};

// Listing files and folders and reading their attributes. Every operation that can fail throws AppError with
// a code and a description naming the path and the system's reason. Paths use "/" and may hold a doubled
// separator, which counts as one.
class FileSystemService {
public:
    virtual ~FileSystemService() = default;

    // Entries of the folder part of `pattern` whose names match its last part ("*" any run,
    // "?" one character, "*.*" every name). Ordinary files always match; hidden (2), system (4)
    // and folder (16) entries only when `mask` holds their bit. In the file system's order.
    virtual std::vector<ListedName> list(const QString &pattern, int mask) = 0;

    // Attribute bits of the path. Throws when it does not exist.
    virtual int attributes(const QString &path) = 0;
    // Last modification time. Throws when the path does not exist.
    virtual QDateTime modificationTime(const QString &path) = 0;
    // Creates one folder level. Throws when the parent is missing or the path exists.
    virtual void createFolder(const QString &path) = 0;
    // The open probe: true for an existing file that opens as a file. False for folders,
    // devices, pipes (never opened, so it never blocks) and names that do not survive decoding.
    virtual bool opensAsFile(const QString &path) = 0;

    // A folder's attribute bits and identity (device and inode, links followed, so a walk can
    // tell when two paths lead to one folder) in one query. Throws when it does not exist.
    struct FolderFacts {
        int attributes = 0;
        QString identity;
    };
    virtual FolderFacts examineFolder(const QString &path) = 0;

    // Whether the folder is the root of its drive (a mount point).
    virtual bool isRootFolder(const QString &path) = 0;
    // Calls `onName` for every direct sub-folder of `path` in the file system's order
    // (symbolic links to folders included, "." and ".." left out). Throws when the folder cannot
    // be read; what was handed out before the failure stays handed out. With `onFile`, the same
    // read also hands out every other entry as list(path + "/*.*", 6) would, name and open-probe
    // answer; the name lives only as long as the call, so a big tree costs no text per file
    // that the caller does not keep.
    using FileVisitor = std::function<void(QStringView name, bool opensAsFile)>;
    virtual void forEachSubFolder(const QString &path, const std::function<void(const QString &name)> &onName,
        const FileVisitor &onFile = {})
        = 0;

    // Reads the folders of one level of a walk, which asks for them with forEachSubFolder in the
    // order given here, leaving some out (a folder given twice is asked for twice). Each answer
    // is what forEachSubFolder would give. Used by the thread that made it, and only while it lasts.
    class FolderReader {
    public:
        virtual ~FolderReader() = default;
        virtual void forEachSubFolder(const QString &path,
            const std::function<void(const QString &name)> &onName, const FileVisitor &onFile)
            = 0;
    };
    // Here each folder is read when it is asked for; a file system may read the next ones on a
    // thread of its own meanwhile, so the walk's own work and the reading overlap.
    virtual std::unique_ptr<FolderReader> readFolders(const QStringList &folders);
};

} // namespace halvorix
