#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

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

} // namespace halvorix
