#include "platform/LinuxDrives.h"

#include "platform/AppError.h"
#include "platform/PosixErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <dirent.h>
#include <optional>
#include <sys/statvfs.h>

namespace halvorix {

namespace {

// File systems that are never a drive even when a block device backs them.
bool isExcludedFileSystem(const QString &fsType)
{
    static const QSet<QString> excluded = {
        QStringLiteral("squashfs"),
        QStringLiteral("iso9660"),
        QStringLiteral("udf"),
        QStringLiteral("tmpfs"),
        QStringLiteral("overlay"),
        QStringLiteral("proc"),
        QStringLiteral("sysfs"),
        QStringLiteral("devtmpfs"),
        QStringLiteral("swap"),
    };
    return excluded.contains(fsType);
}

bool isExcludedMountPoint(const QString &mountPoint)
{
    return mountPoint == QLatin1String("/boot") || mountPoint == QLatin1String("/boot/efi");
}

// Kernel names of devices that are no drive at all: mounted images, optical drives, RAM disks.
bool isNeverADrive(const QString &kernelName)
{
    return kernelName.startsWith(QLatin1String("loop")) || kernelName.startsWith(QLatin1String("sr"))
        || kernelName.startsWith(QLatin1String("ram")) || kernelName.startsWith(QLatin1String("zram"));
}

QString readTrimmed(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

bool rootIsReady(const QString &mountPoint)
{
    const QByteArray bytes = encodePath(mountPoint);
    struct statvfs vfs { };
    if (::statvfs(bytes.constData(), &vfs) != 0)
        return false;
    DIR *dir = ::opendir(bytes.constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

QString withTrailingSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool isInside(const QString &path, const QString &mountPoint)
{
    return mountPoint == QLatin1String("/") || path == mountPoint
        || path.startsWith(withTrailingSlash(mountPoint));
}

} // namespace

namespace {

// Replaces every backslash + `marker` + `digits` digits in `base` by the byte they name.
QString decodeByteEscapes(const QByteArray &in, const QByteArray &marker, int digits, int base)
{
    QByteArray out;
    out.reserve(in.size());
    const qsizetype escapeLength = 1 + marker.size() + digits;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + escapeLength <= in.size() && in.mid(i + 1, marker.size()) == marker) {
            bool ok = false;
            const int value = in.mid(i + 1 + marker.size(), digits).toInt(&ok, base);
            if (ok) {
                out.append(static_cast<char>(value));
                i += escapeLength - 1;
                continue;
            }
        }
        out.append(in[i]);
    }
    return QString::fromUtf8(out);
}

} // namespace

QString decodeMountEscapes(const QByteArray &field)
{
    return decodeByteEscapes(field, QByteArray(), 3, 8);
}

QString decodeUdevLabel(const QString &escaped)
{
    return decodeByteEscapes(escaped.toUtf8(), "x", 2, 16);
}

std::vector<MountRecord> parseMountInfo(const QByteArray &text)
{
    std::vector<MountRecord> records;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        const qsizetype dash = fields.indexOf(QByteArray("-"), 6);
        if (fields.size() < 7 || dash < 0 || dash + 2 >= fields.size())
            continue;
        records.push_back(MountRecord{QString::fromLatin1(fields[2]), decodeMountEscapes(fields[4]),
            QString::fromUtf8(fields[dash + 1]), decodeMountEscapes(fields[dash + 2])});
    }
    return records;
}

LinuxDriveSource::LinuxDriveSource(QString sysroot) : sysroot_(std::move(sysroot)) { }

QString LinuxDriveSource::under(const QString &absolutePath) const
{
    if (sysroot_ == QLatin1String("/"))
        return absolutePath;
    return QDir::cleanPath(sysroot_ + QLatin1Char('/') + absolutePath);
}

QHash<QString, QString> LinuxDriveSource::labelsByKernelName() const
{
    QHash<QString, QString> labels;
    const QDir byLabel(under(QStringLiteral("/dev/disk/by-label")));
    for (const QFileInfo &link :
        byLabel.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (!link.isSymLink())
            continue;
        // The link points at the device node ("../../sdb1"): its last part is the kernel name.
        const QString target = QFileInfo(link.symLinkTarget()).fileName();
        labels.insert(target, decodeUdevLabel(link.fileName()));
    }
    return labels;
}

// Fills `drive` for one mount. False when the mount is no drive at all; throws AppError
// when a query about a drive fails.
bool LinuxDriveSource::describe(
    const MountRecord &mount, const QHash<QString, QString> &labels, DriveInfo &drive) const
{
    const QString node = under(QStringLiteral("/sys/dev/block/") + mount.majorMinor);
    const QString deviceDir = QFileInfo(node).canonicalFilePath();
    if (deviceDir.isEmpty())
        return false; // the kernel lists no block device for it
    const QString kernelName = QFileInfo(deviceDir).fileName();
    if (isNeverADrive(kernelName))
        return false;

    // A partition takes its whole disk's flags.
    const bool partition = QFileInfo::exists(deviceDir + QStringLiteral("/partition"));
    const QString diskDir = partition ? QFileInfo(deviceDir).path() : deviceDir;
    const QString diskName = QFileInfo(diskDir).fileName();
    if (isNeverADrive(diskName))
        return false;

    bool ok = false;
    const QString removableFlag = readTrimmed(diskDir + QStringLiteral("/removable"), &ok);
    if (!ok)
        throw AppError(kDeviceIoError,
            QStringLiteral("Cannot read the drive type: ") + diskDir + QStringLiteral("/removable"));
    bool sdCard = false;
    if (diskName.startsWith(QLatin1String("mmcblk"))) {
        bool typeOk = false;
        // The MMC driver never sets the removable flag: an SD card is known by its card type.
        sdCard = readTrimmed(diskDir + QStringLiteral("/device/type"), &typeOk) == QLatin1String("SD");
    }
    drive.type = (removableFlag == QLatin1String("1") || sdCard) ? kDriveRemovable : kDriveFixed;
    drive.label = labels.value(kernelName);
    drive.root = withTrailingSlash(mount.mountPoint);
    drive.ready = rootIsReady(mount.mountPoint);
    return true;
}

void LinuxDriveSource::forEachDrive(const std::function<void(const DriveInfo &)> &onDrive) const
{
    const QString mountInfoPath = under(QStringLiteral("/proc/self/mountinfo"));
    QFile mountInfo(mountInfoPath);
    if (!mountInfo.open(QIODevice::ReadOnly))
        throw AppError(kPathFileAccessError, QStringLiteral("Cannot read the mount table: ") + mountInfoPath);
    const std::vector<MountRecord> mounts = parseMountInfo(mountInfo.readAll());
    const QHash<QString, QString> labels = labelsByKernelName();

    // Collect first: the fixed drive holding the home folder is known only once all are seen.
    std::vector<DriveInfo> drives;
    std::optional<AppError> failure;
    QSet<QString> seenDevices;
    for (const MountRecord &mount : mounts) {
        if (!mount.source.startsWith(QLatin1String("/dev/")) || isExcludedFileSystem(mount.fsType)
            || isExcludedMountPoint(mount.mountPoint) || seenDevices.contains(mount.majorMinor))
            continue;
        DriveInfo drive;
        try {
            if (!describe(mount, labels, drive))
                continue;
        } catch (const AppError &error) {
            failure = error;
            break;
        }
        seenDevices.insert(mount.majorMinor);
        drives.push_back(drive);
    }

    // A user cannot write at "/": the fixed drive that holds the home folder offers the home
    // folder as its root. The deepest mount point containing home is that drive.
    const QString home = QDir::cleanPath(QDir::homePath());
    DriveInfo *homeDrive = nullptr;
    for (DriveInfo &drive : drives) {
        const QString mountPoint = drive.root.size() > 1 ? drive.root.chopped(1) : drive.root;
        if (drive.type == kDriveFixed && isInside(home, mountPoint)
            && (!homeDrive || drive.root.size() > homeDrive->root.size()))
            homeDrive = &drive;
    }
    if (homeDrive && home != QLatin1String("/"))
        homeDrive->root = withTrailingSlash(home);

    for (const DriveInfo &drive : drives)
        onDrive(drive);
    if (failure)
        throw *failure;
}

} // namespace halvorix
