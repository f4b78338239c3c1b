#include "drives/Destinations.h"

#include "drives/DriveLists.h"
#include "transferlist/PathText.h"

namespace halvorix {

namespace {
QString letterOf(const QString &entry)
{
    return splitDriveEntry(entry).value(0);
}
QString nameOf(const QString &entry)
{
    return splitDriveEntry(entry).value(1);
}
} // namespace

QString resultsFolderForCard(const QString &diskEntry, const QString &cardEntry)
{
    return letterOf(diskEntry) + nameOf(cardEntry) + QLatin1Char('/');
}

QString resultsFolderForDisk(const QString &diskEntry)
{
    return letterOf(diskEntry);
}

QString cardRootFolder(const QString &cardEntry)
{
    return letterOf(cardEntry);
}

QString cardTransferFolder(const QString &cardEntry)
{
    return letterOf(cardEntry) + QStringLiteral("From_PC/");
}

QString resultsFolderFromPicked(const QString &picked)
{
    return FixRootSeparator(picked + QLatin1Char('/'));
}

bool isNetworkPath(const QString &path)
{
    Q_UNUSED(path);
    return false;
}

} // namespace halvorix
