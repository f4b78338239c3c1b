#include "platform/posix/LinuxDrives.h"

#include "core/AppError.h"
#include "core/PathText.h"
#include "platform/posix/FileHandle.h"
#include "platform/posix/SystemErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

// The system's boot files: /boot/firmware is where Raspberry Pi OS mounts its boot partition.
bool isExcludedMountPoint(const QString &mountPoint)
{
    return mountPoint == QLatin1String("/boot") || mountPoint == QLatin1String("/boot/efi")
        || mountPoint == QLatin1String("/boot/firmware");
}

// Kernel names of devices that are no drive at all: mounted images, optical drives, RAM disks.
bool isNeverADrive(const QString &kernelName)
{
    return kernelName.startsWith(QLatin1String("loop")) || kernelName.startsWith(QLatin1String("sr"))
        || kernelName.startsWith(QLatin1String("ram")) || kernelName.startsWith(QLatin1String("zram"));
}

// The whole of a small file of the kernel's (/proc, /sys). Returns 0, or the error number.
int readKernelFile(const QString &path, QByteArray &contents)
{
    const FileHandle file(::open(encodePath(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!file.valid())
        return errno;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        contents.append(buffer, n);
    }
}

// The text of a file of one value, trimmed; empty, with the error number in `error`, when it
// cannot be read.
QString readTrimmed(const QString &path, int &error)
{
    QByteArray contents;
    error = readKernelFile(path, contents);
    return error == 0 ? QString::fromUtf8(contents).trimmed() : QString();
}

// The device number of a ready drive's root folder; none when the drive is not ready (no
// statistics, or the folder cannot be opened).
std::optional<quint64> readyRootDevice(const QString &mountPoint)
{
    const QByteArray bytes = encodePath(mountPoint);
    struct statvfs vfs { };
    struct stat st { };
    if (::statvfs(bytes.constData(), &vfs) != 0 || ::stat(bytes.constData(), &st) != 0)
        return std::nullopt;
    if (!FolderStream(bytes.constData()).valid())
        return std::nullopt;
    return quint64(st.st_dev);
}

// "8:17" as a device number; 0 when it does not parse.
quint64 deviceNumber(const QString &majorMinor)
{
    bool majorOk = false, minorOk = false;
    const unsigned major = majorMinor.section(QLatin1Char(':'), 0, 0).toUInt(&majorOk);
    const unsigned minor = majorMinor.section(QLatin1Char(':'), 1, 1).toUInt(&minorOk);
    return majorOk && minorOk ? quint64(::makedev(major, minor)) : 0;
}

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

bool isInside(const QString &path, const QString &mountPoint)
{
    return mountPoint == QLatin1String("/") || path == mountPoint
        || path.startsWith(withTrailingSeparator(mountPoint));
}

} // namespace

LinuxDriveSource::LinuxDriveSource(QString sysroot) : sysroot_(std::move(sysroot)) { }

QString LinuxDriveSource::sysrootFromEnvironment()
{
    const QString fromEnv = qEnvironmentVariable("HALVORIX_SYSROOT");
    return fromEnv.isEmpty() ? QStringLiteral("/") : fromEnv;
}

QString LinuxDriveSource::under(const QString &absolutePath) const
{
    if (sysroot_ == QLatin1String("/"))
        return absolutePath;
    return QDir::cleanPath(sysroot_ + QLatin1Char('/') + absolutePath);
}

QString LinuxDriveSource::mountTablePath() const
{
    return under(QStringLiteral("/proc/self/mountinfo"));
}

std::optional<std::vector<MountRecord>> LinuxDriveSource::readMountTable(int &error) const
{
    QByteArray contents;
    error = readKernelFile(mountTablePath(), contents);
    if (error != 0)
        return std::nullopt;
    return parseMountInfo(contents);
}

// Kernel name -> link name, for udev's links in `folder` ("../../sdb1" names sdb1). Names that
// start with a dot are read too: a label may.
QHash<QString, QString> LinuxDriveSource::udevNames(const QString &folder) const
{
    QHash<QString, QString> names;
    const QDir dir(under(folder));
    for (const QFileInfo &link :
        dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (link.isSymLink())
            names.insert(QFileInfo(link.symLinkTarget()).fileName(), decodeUdevLabel(link.fileName()));
    }
    return names;
}

LinuxDriveSource::UdevLinks LinuxDriveSource::udevLinks() const
{
    return {udevNames(QStringLiteral("/dev/disk/by-label")), udevNames(QStringLiteral("/dev/disk/by-uuid"))};
}

// Follows the links of a path in /dev ("/dev/mapper/x" -> "/dev/dm-3") the way the system would
// if the sysroot were "/": an absolute target is looked up under the sysroot again. Returns the
// path without the sysroot.
QString LinuxDriveSource::followDeviceLinks(QString path) const
{
    for (int hop = 0; hop < 40; ++hop) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(encodePath(under(path)).constData(), target, sizeof target - 1);
        if (length <= 0)
            return path;
        const QString next = QString::fromUtf8(target, length);
        path = QDir::cleanPath(
            next.startsWith(QLatin1Char('/')) ? next : QFileInfo(path).path() + QLatin1Char('/') + next);
    }
    return path;
}

std::optional<BlockDevice> LinuxDriveSource::deviceFromSource(const QString &source) const
{
    if (!source.startsWith(QLatin1String("/dev/")))
        return std::nullopt;
    const QString node = followDeviceLinks(source);
    QString folder;
    struct stat st { };
    if (::stat(encodePath(under(node)).constData(), &st) == 0 && S_ISBLK(st.st_mode)) {
        // A device node names its device by number.
        folder = canonical(
            under(QStringLiteral("/sys/dev/block/%1:%2").arg(::major(st.st_rdev)).arg(::minor(st.st_rdev))));
    } else if (node.startsWith(QLatin1String("/dev/mapper/"))) {
        // Device-mapper names live in each dm device's dm/name.
        const QString name = QFileInfo(node).fileName();
        const QDir classBlock(under(QStringLiteral("/sys/class/block")));
        for (const QFileInfo &entry :
            classBlock.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            int error = 0;
            if (readTrimmed(entry.filePath() + QStringLiteral("/dm/name"), error) == name && error == 0) {
                folder = entry.canonicalFilePath();
                break;
            }
        }
    } else {
        // The node's name is the kernel's name for the device.
        folder = canonical(under(QStringLiteral("/sys/class/block/") + QFileInfo(node).fileName()));
    }
    if (folder.isEmpty())
        return std::nullopt;
    return BlockDevice{QFileInfo(folder).fileName(), folder};
}

std::optional<BlockDevice> LinuxDriveSource::resolve(const MountRecord &mount) const
{
    // btrfs subvolumes and FUSE block mounts carry an anonymous number (major 0) that names no
    // block device; their source still does.
    const QString folder = canonical(under(QStringLiteral("/sys/dev/block/") + mount.majorMinor));
    if (!folder.isEmpty())
        return BlockDevice{QFileInfo(folder).fileName(), folder};
    return deviceFromSource(mount.source);
}

QStringList LinuxDriveSource::wholeDisks(const QString &deviceFolder) const
{
    return wholeDisks(deviceFolder, 0);
}

QStringList LinuxDriveSource::wholeDisks(const QString &deviceFolder, int depth) const
{
    if (QFileInfo::exists(deviceFolder + QStringLiteral("/partition")))
        return {QFileInfo(deviceFolder).path()};
    // LUKS, LVM and md RAID sit on other devices, which slaves/ links to. Stacks are shallow; the
    // depth bound only guards against a looping tree.
    const QDir slaves(deviceFolder + QStringLiteral("/slaves"));
    const QFileInfoList below = slaves.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    if (below.isEmpty() || depth >= 8)
        return {deviceFolder};
    QStringList disks;
    for (const QFileInfo &slave : below) {
        const QString folder = slave.canonicalFilePath();
        if (folder.isEmpty())
            continue;
        for (const QString &disk : wholeDisks(folder, depth + 1))
            if (!disks.contains(disk))
                disks << disk;
    }
    return disks.isEmpty() ? QStringList{deviceFolder} : disks;
}

// The disks that hold the running system's root ("/").
QSet<QString> LinuxDriveSource::systemDisks(const std::vector<MountRecord> &mounts) const
{
    const MountRecord *root = nullptr;
    for (const MountRecord &mount : mounts)
        if (mount.mountPoint == QLatin1String("/"))
            root = &mount; // the last one is the one in use
    if (!root)
        return {};
    const std::optional<BlockDevice> device = resolve(*root);
    if (!device)
        return {};
    const QStringList disks = wholeDisks(device->folder);
    return QSet<QString>(disks.begin(), disks.end());
}

// Fills `drive` for one mount of `device`. False when it is no drive at all; throws AppError
// when a query about a drive fails.
bool LinuxDriveSource::describe(const MountRecord &mount, const BlockDevice &device, const UdevLinks &links,
    const QSet<QString> &systemDisks, DriveInfo &drive) const
{
    if (isNeverADrive(device.kernelName))
        return false;
    const QStringList disks = wholeDisks(device.folder);
    bool removable = true;
    bool holdsSystem = false;
    for (const QString &disk : disks) {
        const QString diskName = QFileInfo(disk).fileName();
        if (isNeverADrive(diskName))
            return false;
        const QString flagPath = disk + QStringLiteral("/removable");
        int error = 0;
        const QString removableFlag = readTrimmed(flagPath, error);
        if (error != 0)
            throw AppError(kDeviceIoError, error, FailedAction::Reading, flagPath,
                QStringLiteral("Cannot read the drive type"));
        // The MMC driver never sets the removable flag: an SD card is known by its card type
        // (built-in eMMC reads "MMC"; other disks' device/type, where there is one, is a number).
        int typeError = 0;
        const bool sdCard
            = readTrimmed(disk + QStringLiteral("/device/type"), typeError) == QLatin1String("SD");
        removable = removable && (removableFlag == QLatin1String("1") || sdCard);
        holdsSystem = holdsSystem || systemDisks.contains(disk);
    }
    // The disk holding the running system is the computer's own, whatever its flags say: a
    // Raspberry Pi runs from an SD card, a stick may carry a whole system. Offered as a card, it
    // would take a copy run's From_PC folder at the system's root and show up as a place to
    // empty cards onto; its partitions are fixed drives instead.
    drive.type = removable && !holdsSystem ? kDriveRemovable : kDriveFixed;
    drive.label = links.labels.value(device.kernelName);
    drive.root = withTrailingSeparator(mount.mountPoint);
    const std::optional<quint64> rootDevice = readyRootDevice(mount.mountPoint);
    drive.ready = rootDevice.has_value();
    drive.identity = DriveIdentity{
        mount.mountPoint, device.kernelName, links.uuids.value(device.kernelName), rootDevice.value_or(0)};
    return true;
}

void LinuxDriveSource::forEachDrive(const std::function<void(const DriveInfo &)> &onDrive)
{
    int readError = 0;
    const std::optional<std::vector<MountRecord>> mounts = readMountTable(readError);
    if (!mounts)
        throw AppError(kPathFileAccessError, readError, FailedAction::Reading, mountTablePath(),
            QStringLiteral("Cannot read the mount table"));
    const UdevLinks links = udevLinks();
    const QSet<QString> system = systemDisks(*mounts);

    // Collect first: the fixed drive holding the home folder is known only once all are seen.
    std::vector<DriveInfo> drives;
    std::optional<AppError> failure;
    QSet<QString> seenDevices; // one drive per block device: bind mounts, other btrfs subvolumes
    for (const MountRecord &mount : *mounts) {
        if (!mount.source.startsWith(QLatin1String("/dev/")) || isExcludedFileSystem(mount.fsType)
            || isExcludedMountPoint(mount.mountPoint))
            continue;
        const std::optional<BlockDevice> device = resolve(mount);
        if (!device || seenDevices.contains(device->folder))
            continue;
        DriveInfo drive;
        try {
            if (!describe(mount, *device, links, system, drive))
                continue;
        } catch (const AppError &error) {
            failure = error;
            break;
        }
        seenDevices.insert(device->folder);
        drives.push_back(drive);
    }

    // A user cannot write at "/": the fixed drive that holds the home folder offers the home
    // folder as its root. The deepest mount point containing home is that drive.
    const QString home = QDir::cleanPath(QDir::homePath());
    DriveInfo *homeDrive = nullptr;
    for (DriveInfo &drive : drives) {
        const QString mountPoint = withoutTrailingSeparators(drive.root);
        if (drive.type == kDriveFixed && isInside(home, mountPoint)
            && (!homeDrive || drive.root.size() > homeDrive->root.size()))
            homeDrive = &drive;
    }
    if (homeDrive && home != QLatin1String("/"))
        homeDrive->root = withTrailingSeparator(home);

    for (const DriveInfo &drive : drives)
        onDrive(drive);
    if (failure)
        throw *failure;
}

bool LinuxDriveSource::driveStillMounted(const DriveInfo &drive)
{
    const DriveIdentity &identity = drive.identity;
    if (identity.device.isEmpty())
        return false; // nothing known to compare with: never vouch for it
    int error = 0;
    const std::optional<std::vector<MountRecord>> mounts = readMountTable(error);
    if (!mounts)
        return false;
    const MountRecord *current = nullptr;
    for (const MountRecord &mount : *mounts)
        if (mount.mountPoint == identity.mountPoint)
            current = &mount; // the last one listed is the one on top
    if (!current)
        return false; // unmounted: the folder, if it stayed, is the computer's own
    const std::optional<BlockDevice> device = resolve(*current);
    if (!device || device->kernelName != identity.device)
        return false; // another device mounted there
    if (udevNames(QStringLiteral("/dev/disk/by-uuid")).value(device->kernelName) != identity.uuid)
        return false; // another card in the same slot
    const std::optional<quint64> rootDevice = readyRootDevice(identity.mountPoint);
    if (!rootDevice)
        return false;
    // The folder is still on the file system that was listed, or (the card put back and mounted
    // again, with a new anonymous number if FUSE mounts it) on the one the table now names there.
    return *rootDevice == identity.rootDevice || *rootDevice == deviceNumber(current->majorMinor);
}

} // namespace halvorix
