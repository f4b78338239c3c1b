#include "transferlist/Intake.h"

#include "core/FileSystemService.h"
#include "core/PathText.h"

namespace halvorix {

namespace {
constexpr int kHiddenArchive = kAttrHidden | kAttrArchive; // 34

QString withoutLastCharacter(const QString &entry)
{
    return entry.left(entry.size() - 1);
}

// `a` and `b` in one text that holds no spare room: a list keeps hundreds of thousands of them.
QString joined(const QString &a, const QString &b)
{
    QString text;
    text.reserve(a.size() + b.size());
    text.append(a).append(b);
    return text;
}
} // namespace

bool IsBadFileName(FileSystemService &fs, const QString &path)
{
    try {
        fs.attributes(path);
        return path.contains(QChar::ReplacementCharacter);
    } catch (const std::exception &) {
        return true;
    }
}

QString badFileNameMessage(const QString &path)
{
    return path + QStringLiteral("\r\rwas not added because it has bad characters in the filename.");
}

void appendFolderFileRows(FileSystemService &fs, const FolderCollection &folders, FilesByFolder &walked,
    std::vector<TransferItem> &rows, Steps &steps)
{
    size_t kept = 0; // room for every file the walk kept at once: one allocation, not twenty
    for (const std::vector<ListedName> &files : std::as_const(walked))
        kept += files.size();
    rows.reserve(rows.size() + kept);
    for (const QString &entry : folders) {
        // The entry is the folder and "/", and a name holds no "/": the folder's part of every
        // path is repaired once, and each row's text is made in one piece.
        const QString folder = FixRootSeparator(entry);
        QStringList names;
        steps.step(116, [&] { names = ListWalkedFolderFiles(fs, entry, walked); });
        for (const QString &name : std::as_const(names)) {
            if (name.startsWith(QLatin1Char('~')))
                continue;
            rows.push_back(TransferItem{joined(folder, name), markerIsFile()});
        }
    }
}

std::vector<TransferItem> fileRowsForFolder(
    FileSystemService &fs, EventPump &ui, const QString &chosenFolder, Steps &steps)
{
    FolderCollection folders{chosenFolder + QLatin1Char('/')};
    FilesByFolder walked;
    steps.step(110, [&] { CollectSubFoldersKeepingFiles(fs, ui, folders, true, walked); });
    std::vector<TransferItem> rows;
    appendFolderFileRows(fs, folders, walked, rows, steps);
    return rows;
}

bool isDroppedFolder(FileSystemService &fs, const QString &path)
{
    try {
        // A file is asked about once: only what has the folder bit is listed as well. The listing
        // takes hidden entries too: a dot-folder (~/.config, a camera's .thumbnails) is an
        // ordinary folder here, and would otherwise become one file row that cannot copy.
        return (fs.attributes(path) & kAttrDirectory) != 0
            && !fs.list(path, kAttrDirectory | kAttrHidden).empty();
    } catch (const std::exception &) {
        return false;
    }
}

std::vector<TransferItem> droppedFolderRows(FileSystemService &fs, EventPump &ui, const QString &folder)
{
    FolderCollection folders{folder + QLatin1Char('/')};
    FilesByFolder walked;
    CollectSubFoldersKeepingFiles(fs, ui, folders, true, walked);
    std::vector<TransferItem> rows;
    for (const QString &entry : std::as_const(folders)) {
        const QString parent = withoutLastCharacter(entry);
        QStringList names;
        try {
            names = ListWalkedFolderFiles(fs, entry, walked);
        } catch (const std::exception &) {
            continue; // a drop reports nothing: an unreadable folder adds no rows
        }
        for (const QString &name : std::as_const(names)) {
            if (name.startsWith(QLatin1Char('~')))
                continue;
            // The walk's listing found it a file. One question more tells the rest: still a file
            // (the archive bit: a regular one, as the open probe asks) and not exactly hidden +
            // archive. Gone since, or no file any more, it is left out.
            const QString path = parent + QLatin1Char('/') + name;
            int attrs = 0;
            try {
                attrs = fs.attributes(path);
            } catch (const std::exception &) {
                continue;
            }
            if ((attrs & kAttrArchive) && attrs != kHiddenArchive)
                rows.push_back(TransferItem{FixRootSeparator(path), markerNone()});
        }
    }
    return rows;
}

} // namespace halvorix
