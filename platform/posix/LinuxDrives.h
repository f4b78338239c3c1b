#pragma once

#include "core/DriveSource.h"
#include "platform/posix/MountTable.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <optional>

namespace halvorix {

// A block device as sysfs shows it.
struct BlockDevice {
    QString kernelName; // "sdb1", "dm-3", "nvme0n1p2"
    QString folder; // its folder below /sys/devices (under the sysroot), links resolved
};

// Drives from the mount table, classified through sysfs, labelled and identified through udev's
// links. Every file it reads lives under `sysroot`; the mount points are used as they stand.
class LinuxDriveSource : public DriveSource {
public:
    explicit LinuxDriveSource(QString sysroot = sysrootFromEnvironment());
    // "/" unless HALVORIX_SYSROOT names another root.
    static QString sysrootFromEnvironment();

    void forEachDrive(const std::function<void(const DriveInfo &)> &onDrive) override;
    bool driveStillMounted(const DriveInfo &drive) override;

    // The block device behind a mount: through the mount's device number, or, where that number
    // is anonymous (btrfs, fuseblk), through its source ("/dev/sdb1", "/dev/mapper/...",
    // "/dev/disk/by-uuid/..."). None for a mount that no block device backs.
    std::optional<BlockDevice> resolve(const MountRecord &mount) const;
    // The whole disks under a device's sysfs folder: a partition's disk, the disks below a
    // device-mapper or md device (through slaves/), or the device itself.
    QStringList wholeDisks(const QString &deviceFolder) const;

private:
    struct UdevLinks {
        QHash<QString, QString> labels; // kernel name -> decoded label
        QHash<QString, QString> uuids; // kernel name -> file system UUID
    };

    QString under(const QString &absolutePath) const;
    QString mountTablePath() const;
    // The mount table; none, with the error number in `error`, when it cannot be read.
    std::optional<std::vector<MountRecord>> readMountTable(int &error) const;
    QHash<QString, QString> udevNames(const QString &folder) const;
    UdevLinks udevLinks() const;
    QString followDeviceLinks(QString path) const;
    std::optional<BlockDevice> deviceFromSource(const QString &source) const;
    QStringList wholeDisks(const QString &deviceFolder, int depth) const;
    QSet<QString> systemDisks(const std::vector<MountRecord> &mounts) const;
    bool describe(const MountRecord &mount, const BlockDevice &device, const UdevLinks &links,
        const QSet<QString> &systemDisks, DriveInfo &drive) const;

    QString sysroot_;
};

} // namespace halvorix
