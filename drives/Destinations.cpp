#include "drives/Destinations.h"

#include "core/PathText.h"
#include "drives/DriveLists.h"

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

std::optional<QString> resultsFolderFromTyped(const QString &typed, const QString &home)
{
    if (typed.startsWith(QLatin1Char('/')))
        return typed;
    const bool homeFolder = typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/"));
    if (homeFolder && home.startsWith(QLatin1Char('/')))
        return FixRootSeparator(home + QLatin1Char('/') + typed.mid(1));
    return std::nullopt;
}

bool isNetworkPath(const QString &path)
{
    Q_UNUSED(path);
    return false;
}

} // namespace halvorix
