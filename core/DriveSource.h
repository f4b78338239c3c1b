#pragma once

#include <QString>
#include <functional>

namespace halvorix {

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

// The drives the machine has mounted.
class DriveSource {
public:
    virtual ~DriveSource() = default;

    // Every drive in the mount table's order. Throws at the first drive whose query fails;
    // the drives handed out before it stay handed out.
    virtual void forEachDrive(const std::function<void(const DriveInfo &)> &onDrive) = 0;
    // Whether the drive's mount point still holds the drive forEachDrive listed: the same block
    // device with the same file system, and the folder still on it. Never throws: a query that
    // fails answers false.
    virtual bool driveStillMounted(const DriveInfo &drive) = 0;
};

} // namespace halvorix
