#include "drives/DriveLists.h"

#include "core/DriveSource.h"
#include "core/PathText.h"
#include "drives/SafeName.h"

namespace halvorix {

const QString kDriveEntrySeparator = QStringLiteral("|MySep!!|");

QString makeDriveEntry(const QString &letter, const QString &name)
{
    return letter + kDriveEntrySeparator + name;
}

QStringList splitDriveEntry(const QString &entry)
{
    return entry.split(kDriveEntrySeparator, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

namespace {
QString unlabelledName(const DriveInfo &drive)
{
    return drive.type == kDriveRemovable ? QStringLiteral("Removable Disk") : QStringLiteral("Local Disk");
}
} // namespace

QString driveName(const DriveInfo &drive)
{
    return safeFolderName(drive.label, unlabelledName(drive));
}

QString driveItemText(const DriveInfo &drive)
{
    const QString root = withoutTrailingSeparators(drive.root);
    const QString shown = labelForDisplay(drive.label);
    return (shown.trimmed().isEmpty() ? unlabelledName(drive) : shown) + QStringLiteral(" (") + root
        + QLatin1Char(')');
}

void FillDriveLists(DriveSource &drives, const DriveListTargets &targets)
{
    drives.forEachDrive([&](const DriveInfo &drive) {
        if (!drive.ready)
            return;
        const QString entry = makeDriveEntry(drive.root, driveName(drive));
        if (drive.type == kDriveRemovable)
            targets.addCard(entry, driveItemText(drive), drive);
        else if (drive.type == kDriveFixed)
            targets.addHardDisk(entry, driveItemText(drive), drive);
    });
}

} // namespace halvorix
