#pragma once

#include "platform/FileSystemService.h"

#include <QString>

namespace halvorix {

// One line of /proc/self/mountinfo, the fields the drive list needs.
struct MountRecord {
    QString majorMinor; // "8:1"
    QString mountPoint; // escapes decoded
    QString fsType;
    QString source; // "/dev/sda1"
};

// Parses mountinfo text; lines that do not parse are skipped.
std::vector<MountRecord> parseMountInfo(const QByteArray &text);
// Decodes the octal escapes of mountinfo ("\040" is a blank).
QString decodeMountEscapes(const QByteArray &field);
// Decodes udev's "\x20" escapes in /dev/disk/by-label names.
QString decodeUdevLabel(const QString &escaped);

// Drives from the mount table, classified through sysfs, labelled through udev's links.
// Every file it reads lives under `sysroot`; the mount points are used as they stand.
class LinuxDriveSource {
public:
    explicit LinuxDriveSource(QString sysroot);

    // See FileSystemService::forEachDrive.
    void forEachDrive(const std::function<void(const DriveInfo &)> &onDrive) const;

private:
    QString under(const QString &absolutePath) const;
    QHash<QString, QString> labelsByKernelName() const;
    bool describe(const MountRecord &mount, const QHash<QString, QString> &labels, DriveInfo &drive) const;

    QString sysroot_;
};

} // namespace halvorix
