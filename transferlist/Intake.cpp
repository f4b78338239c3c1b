#include "transferlist/Intake.h"

#include "core/FileSystemService.h"
#include "core/PathText.h"

namespace halvorix {

namespace {
constexpr int kHiddenArchive = kAttrHidden | kAttrArchive; // 34

// Whether the file at `path`, found in the folder at `entry`, has a name that starts with "~".
bool nameStartsWithTilde(const QString &path, const QString &entry)
{
    return path.size() > entry.size() && path[entry.size()] == QLatin1Char('~');
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
    for (const std::vector<QString> &paths : std::as_const(walked))
        kept += paths.size();
    rows.reserve(rows.size() + kept);
    const QString &marker = markerIsFile();
    for (const QString &entry : folders) {
        // Each path is the entry (the folder and "/") and a name, which holds no "/": only the
        // entry's part can need repairing, and only an entry with a doubled "/" (the root's) does.
        const QString folder = FixRootSeparator(entry);
        const bool repair = folder.size() != entry.size();
        std::vector<QString> paths;
        steps.step(116, [&] { paths = walkedFolderFilePaths(fs, entry, walked); });
        for (QString &path : paths) {
            if (nameStartsWithTilde(path, entry))
                continue;
            if (repair)
                path = QString(folder).append(QStringView(path).mid(entry.size()));
            rows.push_back(TransferItem{std::move(path), marker});
        }
    }
}

std::vector<TransferItem> fileRowsForFolder(
    FileSystemService &fs, EventPump &ui, const QString &chosenFolder, Steps &steps)
{
    FolderCollection folders{chosenFolder + QLatin1Char('/')};
    FilesByFolder walked;
    steps.step(110, [&] { collectSubFoldersKeepingFiles(fs, ui, folders, true, walked); });
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
    collectSubFoldersKeepingFiles(fs, ui, folders, true, walked);
    std::vector<TransferItem> rows;
    for (const QString &entry : std::as_const(folders)) {
        std::vector<QString> paths;
        try {
            paths = walkedFolderFilePaths(fs, entry, walked);
        } catch (const std::exception &) {
            continue; // a drop reports nothing: an unreadable folder adds no rows
        }
        for (const QString &path : std::as_const(paths)) {
            if (nameStartsWithTilde(path, entry))
                continue;
            // The walk's listing found it a file. One question more tells the rest: still a file
            // (the archive bit: a regular one, as the open probe asks) and not exactly hidden +
            // archive. Gone since, or no file any more, it is left out.
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
