#include "copy/CopyRun.h"

#include "copy/ClosingWarning.h"
#include "core/AppError.h"
#include "core/CopyService.h"
#include "core/FileSystemService.h"
#include "core/MainModule.h"
#include "core/PathText.h"

#include <optional>

namespace halvorix {

namespace {

QString withoutTrailingSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
}

// Creates the run's destination folder at `line` when it is missing. The failure is reported
// there, once, and returned: nothing can be copied into a folder that is not there.
std::optional<AppError> makeDestination(
    FileSystemService &fs, const QString &folder, int testLine, int makeLine, Steps &steps)
{
    std::optional<AppError> notMade;
    if (steps.test(testLine, [&] { return !IsExistingFolder(fs, folder); }))
        steps.step(makeLine, [&] {
            try {
                fs.createFolder(folder);
            } catch (const AppError &error) {
                notMade = error;
                throw;
            }
        });
    return notMade;
}

// Every item the run had to copy failed because its destination folder could not be made: the
// closing warning names each with that reason, not with what opening its copy would have said.
void noteNotCopied(const QStringList &items, const AppError &notMade, CopySession &session)
{
    for (const QString &item : items)
        session.addFailure(item, notMade);
}

// The program is closing: not one more step.
void stopIfAbandoned(const CopySession &session)
{
    if (session.isAbandoned())
        throw CopyAbandoned{};
}

} // namespace

void copyCardToResults(FileSystemService &fs, CopyService &engine, const QString &cardRoot, const QString &results,
    CopySession &session, Steps &steps)
{
    engine.measure(cardRoot + QStringLiteral("*"), true, session);
    stopIfAbandoned(session);
    if (const std::optional<AppError> notMade = makeDestination(fs, results, 120, 122, steps)) {
        // What the card holds is named item by item. A card whose root cannot be read either (a
        // failing card) is reported at the line that lists it, and named whole instead.
        QStringList items;
        const bool listed = steps.step(124, [&] {
            for (const ListedName &entry :
                fs.list(cardRoot + QStringLiteral("*"), kAttrHidden | kAttrSystem | kAttrDirectory))
                items << cardRoot + entry.name;
        });
        noteNotCopied(listed ? items : QStringList{cardRoot}, *notMade, session);
        return;
    }
    // Hidden and system files count too: the copy at 126 takes them along with the others, and a
    // root holding nothing else (a camera's hidden index) must not be left behind unsaid.
    if (steps.test(124, [&] { return !fs.list(cardRoot + QStringLiteral("*.*"), 6).empty(); }))
        steps.step(126, [&] { engine.copyMatchingFiles(cardRoot + QStringLiteral("*.*"), results, session); });
    // A card without folders gives this copy nothing to do, which is no failure.
    steps.step(136, [&] { engine.copyMatchingFolders(cardRoot + QStringLiteral("*"), results, session); });
    steps.step(136, [&] { engine.flushDestinations(session); });
}

bool copyRowsToCard(FileSystemService &fs, CopyService &engine, const std::vector<TransferItem> &rows, const QString &target,
    CopySession &session, Steps &steps)
{
    for (const TransferItem &row : rows) {
        stopIfAbandoned(session);
        engine.measureItem(row.Text, session);
    }
    stopIfAbandoned(session);
    if (const std::optional<AppError> notMade = makeDestination(fs, target, 158, 160, steps)) {
        QStringList items;
        for (const TransferItem &row : rows)
            items << row.Text;
        noteNotCopied(items, *notMade, session);
        return !rows.empty();
    }
    if (!steps.test(162, [&] { return !rows.empty(); }))
        return false;
    for (const TransferItem &row : rows) {
        stopIfAbandoned(session);
        QString path, source, destination;
        steps.step(166, [&] { path = row.Text; });
        if (steps.test(168, [&] { return row.Marker == markerIsFolder(); })) {
            steps.step(170, [&] { source = withoutTrailingSeparator(path); });
            steps.step(176, [&] { destination = target; });
            steps.step(178, [&] { copyListedFolder(engine, source, destination, session); });
        } else {
            steps.step(180, [&] { destination = target + lastPathPiece(path); });
            steps.step(186, [&] { CopyFileIgnoringErrors(engine, path, destination, session); });
        }
    }
    steps.step(188, [&] { engine.flushDestinations(session); });
    return true;
}

void copyListedFolder(
    CopyService &engine, const QString &source, const QString &target, CopySession &session)
{
    if (source.isEmpty()) {
        // The root folder's row: a whole drive is no folder to put on a card.
        const AppError error(kPathFileAccessError, 0, FailedAction::Reading, QStringLiteral("/"),
            QStringLiteral("A whole drive cannot be copied as one folder"));
        session.addFailure(QStringLiteral("/"), error);
        throw error;
    }
    engine.copyFolder(source, target, session);
}

} // namespace halvorix
