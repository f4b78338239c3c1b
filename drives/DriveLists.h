#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace halvorix {

class DriveSource;
struct DriveInfo;

// A drive entry is "letter|MySep!!|name"; on this platform the letter is the drive's root folder
// with its trailing "/". Nothing is escaped: the separator is the only structure.
extern const QString kDriveEntrySeparator;

QString makeDriveEntry(const QString &letter, const QString &name);
// Splits at every separator (exact comparison); element 0 the letter, element 1 the name.
QStringList splitDriveEntry(const QString &entry);

// The drive's name, which a card lends to the results folder: its label made a safe folder name,
// else "Removable Disk" or "Local Disk".
QString driveName(const DriveInfo &drive);
// "label (root)" with the root's trailing "/" dropped; the root folder "/" stays "/". The label
// shows as it is, without control characters; without a label, "Removable Disk" or "Local Disk".
QString driveItemText(const DriveInfo &drive);

// Where discovery appends. Cards go to both card lists, fixed drives to the hard-drive list. The
// drive comes along so the window can tell at Start Copying whether it is still there.
struct DriveListTargets {
    using Append = std::function<void(const QString &entry, const QString &itemText, const DriveInfo &drive)>;
    Append addCard;
    Append addHardDisk;
};

// Lists every ready removable and fixed drive in the enumeration's order. A failing query stops
// discovery there (the AppError passes on); what was appended stays.
void FillDriveLists(DriveSource &drives, const DriveListTargets &targets);

} // namespace halvorix
