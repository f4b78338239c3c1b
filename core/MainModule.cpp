#include "core/MainModule.h"

#include "core/AppError.h"
#include "core/FileSystemService.h"
#include "core/UiService.h"

#include <QRandomGenerator>
#include <QTime>

namespace halvorix {

const char *const kProductName = "Halvorix";
const char *const kHomePageAddress = HALVORIX_HOME_PAGE;

namespace {
constexpr qsizetype kMaxTitleLength = 40;
}

QString AppTitleSet(const QString &productName)
{
    QString title = productName;
    if (!title.contains(QLatin1Char(' ')))
        return title.left(kMaxTitleLength);
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) {
            title = title.left(kMaxTitleLength);
            break;
        }
        title = title.left(blank);
    } while (title.size() > kMaxTitleLength);
    return title;
}

bool FileExists(FileSystemService &fs, const QString &path)
{
    try {
        fs.modificationTime(path);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool IsExistingFolder(FileSystemService &fs, const QString &path)
{
    try {
        return (fs.attributes(path) & kAttrDirectory) != 0;
    } catch (const std::exception &) {
        return false;
    }
}

bool toBoolean(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    if (isNumber)
        return number != 0.0;
    throw AppError(kTypeMismatch, QStringLiteral("Type mismatch"));
}

int drawForSecond(int secondsSinceMidnight)
{
    QRandomGenerator generator(static_cast<quint32>(secondsSinceMidnight));
    return static_cast<int>(generator.generateDouble() * 100) + 1;
}

int drawFromTimeOfDay()
{
    return drawForSecond(QTime::currentTime().msecsSinceStartOfDay() / 1000);
}

void HomePageOpen(DesktopServices &ui, const DrawOneToHundred &draw, const QString &address)
{
    if (draw() == 7 && !address.isEmpty())
        ui.runProgram(QStringLiteral("xdg-open"), {address});
}

} // namespace halvorix
