#include "copy/CopyRun.h"

#include "app/Main.h"
#include "copy/ModCopy.h"
#include "platform/AppError.h"
#include "platform/FileSystemService.h"
#include "transferlist/PathText.h"

namespace halvorix {

namespace {
QString withoutTrailingSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
}
} // namespace

void copyCardToResults(FileSystemService &fs, const QString &cardRoot, const QString &results,
    CopySession &session, Steps &steps)
{
    fs.measure(cardRoot + QStringLiteral("*"), true, session);
    if (steps.test(120, [&] { return !IsExistingFolder(fs, results); }))
        steps.step(122, [&] { fs.createFolder(results); });
    // Hidden and system files count too: the copy at 126 takes them along with the others, and a
    // root holding nothing else (a camera's hidden index) must not be left behind unsaid.
    if (steps.test(124, [&] { return !fs.list(cardRoot + QStringLiteral("*.*"), 6).empty(); }))
        steps.step(126, [&] { fs.copyMatchingFiles(cardRoot + QStringLiteral("*.*"), results, session); });
    // A card without folders gives this copy nothing to do, which is no failure.
    steps.step(136, [&] { fs.copyMatchingFolders(cardRoot + QStringLiteral("*"), results, session); });
    steps.step(136, [&] { fs.flushDestinations(session); });
}

bool copyRowsToCard(FileSystemService &fs, const std::vector<TransferItem> &rows, const QString &target,
    CopySession &session, Steps &steps)
{
    for (const TransferItem &row : rows)
        fs.measure(
            row.isFolderRow() ? withoutTrailingSeparator(row.Text) : row.Text, row.isFolderRow(), session);
    if (steps.test(158, [&] { return !IsExistingFolder(fs, target); }))
        steps.step(160, [&] { fs.createFolder(target); });
    if (!steps.test(162, [&] { return !rows.empty(); }))
        return false;
    for (const TransferItem &row : rows) {
        QString path, source, destination;
        steps.step(166, [&] { path = row.Text; });
        if (steps.test(168, [&] { return row.Marker == markerIsFolder(); })) {
            steps.step(170, [&] { source = withoutTrailingSeparator(path); });
            steps.step(176, [&] { copyListedFolder(fs, source, target, session); });
        } else {
            steps.step(180, [&] { destination = target + lastPathPiece(path); });
            steps.step(186, [&] { CopyFileIgnoringErrors(fs, path, destination, session); });
        }
    }
    steps.step(188, [&] { fs.flushDestinations(session); });
    return true;
}

void copyListedFolder(
    FileSystemService &fs, const QString &source, const QString &target, CopySession &session)
{
    if (source.isEmpty()) {
        // The root folder's row: a whole drive is no folder to put on a card.
        session.addFailure(
            QStringLiteral("/"), QStringLiteral("A whole drive cannot be copied as one folder"));
        throw AppError(
            kPathFileAccessError, QStringLiteral("A whole drive cannot be copied as one folder: /"));
    }
    if (fs.copyMatchingFolders(source, target, session) == 0) {
        session.addFailure(source, QStringLiteral("No such folder"));
        throw AppError(kPathNotFound, QStringLiteral("Path not found: ") + source);
    }
}

} // namespace halvorix
