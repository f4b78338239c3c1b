#pragma once

#include "core/CopySession.h"

#include <QDateTime>
#include <QString>
#include <functional>
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

enum DriveType : int { kDriveUnknown = 0, kDriveRemovable = 1, kDriveFixed = 2 };

// What tells one mounted drive from another that later takes its place: a card pulled out (its
// mount folder left behind) or another card in the same slot.
struct DriveIdentity {
    QString mountPoint; // as the mount table names it (a fixed drive's root may be the home folder)
    QString device; // the block device's kernel name ("sdb1", "dm-3"), never an anonymous number
    QString uuid; // the file system's UUID as udev lists it; empty when it has none
    quint64 rootDevice = 0; // the device number the mount point showed when it was listed
};

// One drive as the enumeration reports it.
struct DriveInfo {
    QString root; // the drive's "letter": its root folder with a trailing "/"
    int type = kDriveUnknown;
    bool ready = false;
    QString label; // volume label as the drive has it, empty when none; not yet a safe name
    DriveIdentity identity;
};

// One name from a listing, with the answer the open probe would give for it. The listing
// already knows most of that answer (the entry's type, whether the name survives decoding),
// so asking here saves a system call per file on big trees.
struct ListedName {
    QString name;
    bool opensAsFile = false;
};

// Files, folders and drives. Every operation that can fail throws AppError with a code and
// a description naming the path and the system's reason. Paths use "/" and may hold a doubled
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
    // be read; what was handed out before the failure stays handed out. With `files`, the same
    // read also hands back every other entry, as list(path + "/*.*", 6) would.
    virtual void forEachSubFolder(const QString &path, const std::function<void(const QString &name)> &onName,
        std::vector<ListedName> *files = nullptr)
        = 0;

    // --- Copies. Every file is written under a temporary name in its destination folder and
    // renamed into place when complete; modification times are kept; sockets, pipes and devices
    // are never opened (each is one failed item). Failed items are recorded in the session.

    // Copies one file, replacing an existing one. Throws AppError when it fails (and records it).
    // The file is named once its data is on the medium, by flushDestinations() at the latest; a
    // failure found then (the name was taken by this run) is recorded, not thrown.
    virtual void copyFile(const QString &source, const QString &destination, CopySession &session) = 0;
    // Copies every file matching `pattern` into the existing folder `destinationFolder`,
    // replacing files. Goes on past a file that fails; afterwards throws one AppError when
    // anything failed or nothing matched.
    virtual void copyMatchingFiles(
        const QString &pattern, const QString &destinationFolder, CopySession &session)
        = 0;
    // The same for folders, each landing under its own name with its whole contents. A folder is
    // never copied into itself. Returns how many folders matched; throws one AppError afterwards
    // when anything failed.
    virtual int copyMatchingFolders(
        const QString &pattern, const QString &destinationFolder, CopySession &session)
        = 0;
    // Copies exactly the folder `source` (no character of its name is a pattern) into
    // `destinationFolder` under its own name. A missing folder is a failure. Throws one AppError
    // afterwards when anything failed; its files are named with the run's next batch, and a name
    // found taken then is recorded, not thrown (see copyFile).
    virtual void copyFolder(const QString &source, const QString &destinationFolder, CopySession &session) = 0;
    // Adds the bytes of the matching files, and of the matching folders' trees, to the session's
    // bytes to do. Never fails: what cannot be measured counts nothing.
    virtual void measure(const QString &pattern, bool foldersToo, CopySession &session) = 0;
    // The same for exactly one file or folder tree.
    virtual void measureItem(const QString &path, CopySession &session) = 0;
    // Flushes everything written below the session's destinations to their devices. Throws
    // AppError when a device reports an error.
    virtual void flushDestinations(CopySession &session) = 0;

    // Every drive in the mount table's order. Throws at the first drive whose query fails;
    // the drives handed out before it stay handed out.
    virtual void forEachDrive(const std::function<void(const DriveInfo &)> &onDrive) = 0;
    // Whether the drive's mount point still holds the drive forEachDrive listed: the same block
    // device with the same file system, and the folder still on it. Never throws: a query that
    // fails answers false.
    virtual bool driveStillMounted(const DriveInfo &drive) = 0;
};

} // namespace halvorix
