#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <mutex>
#include <optional>

namespace halvorix {

// The names one copy run gave in its destination folders, so that a run never replaces what it
// wrote itself. Two items with one name (two cameras' IMG_0001.JPG into one From_PC), or names
// that differ only in case on a card that ignores case (Photo.jpg, photo.jpg), would otherwise
// leave the later file over the earlier one, and the earlier one silently lost.
//
// Files only: the inode numbers of a card's file system through FUSE belong to the name used, not
// to the file (Photo.jpg and photo.jpg there are two numbers for one file), so what a name leads to
// is told from the names this run gave and the folder's own listing.
//
// Folders are keyed by their path as this run names them. Every call is made with lock() held, so
// a check and the naming it allows are one step for the other copiers.
class RunNames {
public:
    // Identity of the source a name was given for (device, inode); zero when unknown.
    struct Source {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Source &other) const
        {
            return device == other.device && inode == other.inode && inode != 0;
        }
    };
    struct Given {
        QByteArray spelling; // the name exactly as this run gave it
        Source source;
        bool folder = false;
    };

    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex_); }

    // What `name` in the open folder `folderFd` (known to this run as `folderKey`) leads to, when
    // that is something this run gave: the same name, or on a medium that ignores case another
    // spelling of it. Nothing when the name is free or leads to something that was there before
    // the run (which a copy replaces).
    std::optional<Given> givenAt(int folderFd, const QByteArray &folderKey, const QByteArray &name);

    // Whether this run gave exactly `name` in the folder.
    bool gaveExactly(const QByteArray &folderKey, const QByteArray &name) const;

    void record(const QByteArray &folderKey, const QByteArray &name, Source source, bool folder);

private:
    struct Folder {
        QHash<QByteArray, Given> given; // by exact name
        QHash<QString, QByteArray> folded; // case-folded name -> exact name; built on first need
        bool foldedBuilt = false;
        std::optional<QSet<QByteArray>> listing; // the folder's entries, read on first need
    };
    static QString folded(const QByteArray &name);

    std::mutex mutex_;
    QHash<QByteArray, Folder> folders_;
};

} // namespace halvorix
