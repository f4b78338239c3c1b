#include "transferlist/FolderWalk.h"

#include "core/AppError.h"
#include "core/FileSystemService.h"
#include "core/PathText.h"
#include "core/UiService.h"

#include <QHash>
#include <algorithm>
#include <iterator>

namespace halvorix {

namespace {

constexpr int kSystemHiddenFolder = kAttrDirectory | kAttrSystem | kAttrHidden; // 22
constexpr int kSystemHiddenLink = kSystemHiddenFolder | kAttrReparsePoint; // 1046

bool isEligible(FileSystemService &fs, const QString &folder, int attrs)
{
    return (attrs != kSystemHiddenFolder && attrs != kSystemHiddenLink) || fs.isRootFolder(folder);
}

bool isUsableSubFolderName(const QString &name)
{
    // On this platform the stand-in for an unrepresentable character is U+FFFD; "?" is an
    // ordinary name character and must not hide a folder.
    return !NameHasBadChars(name) && !name.contains(QChar::ReplacementCharacter) && name != QLatin1String(".")
        && name != QLatin1String("..");
}

// `entry` and `name` in one text with no spare room: a list may keep hundreds of thousands.
QString joinedPath(const QString &entry, QStringView name)
{
    QString path(entry.size() + name.size(), Qt::Uninitialized);
    QChar *out = path.data();
    out = std::copy(entry.cbegin(), entry.cend(), out);
    std::copy(name.cbegin(), name.cend(), out);
    return path;
}

// What one walk remembers across its levels.
struct WalkMemory {
    QHash<QString, QString> identities; // of the folders walked, by collection entry
    QHash<QString, int> attributes; // of the folders examined, for the check when handing back
    FilesByFolder *files = nullptr; // what the reads met besides folders, when asked for
    std::vector<QString> read; // the files of the folder being read, kept in their own room after
};

// One folder's direct sub-folders appended to `found`. Permission denied removes the folder
// from `folders`; any other enumeration failure keeps it.
void collectDirectSubFolders(FileSystemService::FolderReader &reader, EventPump &ui,
    FolderCollection &folders, const QString &folder, FolderCollection &found, WalkMemory &memory)
{
    FilesByFolder *files = memory.files;
    std::vector<QString> &read = memory.read;
    read.clear();
    FileSystemService::FileVisitor keep;
    if (files) {
        keep = [&folder, &read](QStringView name, bool opensAsFile) {
            if (opensAsFile)
                read.push_back(joinedPath(folder, name));
        };
    }
    try {
        reader.forEachSubFolder(
            folder,
            [&](const QString &name) {
                ui.yield();
                if (isUsableSubFolderName(name))
                    found.append(folder + name + QLatin1Char('/'));
            },
            keep);
        if (files) { // in a list of its own size: a walk keeps one for every folder
            std::vector<QString> &kept = (*files)[folder];
            kept.reserve(kept.size() + read.size());
            std::move(read.begin(), read.end(), std::back_inserter(kept));
        }
    } catch (const AppError &error) {
        if (files)
            files->remove(folder); // read partly: the listing reads it again and reports
        if (error.code() == kPermissionDenied)
            folders.removeOne(folder);
    }
}

// The entry this one was found in: every found entry is its parent's entry, a name and "/".
QString parentEntry(const QString &entry)
{
    return entry.left(entry.lastIndexOf(QLatin1Char('/'), -2) + 1);
}

// Whether the folder at `entry` is one of the folders above it in this walk, reached again
// through a link: walking it would go round for ever. A folder reached a second time from
// elsewhere (a link to a sibling, or to somewhere outside the tree) is no loop and is walked.
bool closesALoop(const WalkMemory &memory, const QString &entry, const QString &identity)
{
    for (QString above = parentEntry(entry); !above.isEmpty(); above = parentEntry(above)) {
        const auto known = memory.identities.constFind(above);
        if (known == memory.identities.cend())
            return false; // above where the walk began
        if (*known == identity)
            return true;
    }
    return false;
}

void collectLevel(
    FileSystemService &fs, EventPump &ui, FolderCollection &folders, bool recursive, WalkMemory &memory)
{
    FolderCollection found;
    const FolderCollection walked = folders; // entries may be removed while we go
    {
        const std::unique_ptr<FileSystemService::FolderReader> reader = fs.readFolders(walked);
        for (const QString &folder : walked) {
            ui.yield();
            const FileSystemService::FolderFacts facts = fs.examineFolder(folder);
            memory.attributes.insert(folder, facts.attributes);
            if (!isEligible(fs, folder, facts.attributes))
                continue;
            // A link back up the tree is dropped with what lies below it: the walk would never end.
            if (closesALoop(memory, folder, facts.identity)) {
                folders.removeOne(folder);
                continue;
            }
            memory.identities.insert(folder, facts.identity);
            collectDirectSubFolders(*reader, ui, folders, folder, found, memory);
        }
    }
    if (recursive && !found.isEmpty())
        collectLevel(fs, ui, found, true, memory);
    for (const QString &subFolder : std::as_const(found)) {
        ui.yield();
        // Examined by the level below when the walk went on; asked again otherwise.
        const auto known = memory.attributes.constFind(subFolder);
        const int attrs = known != memory.attributes.cend() ? *known : fs.attributes(subFolder);
        if (isEligible(fs, subFolder, attrs))
            folders.append(subFolder);
    }
}

} // namespace

void CollectSubFolders(FileSystemService &fs, EventPump &ui, FolderCollection &folders, bool recursive)
{
    WalkMemory memory;
    collectLevel(fs, ui, folders, recursive, memory);
}

void collectSubFoldersKeepingFiles(
    FileSystemService &fs, EventPump &ui, FolderCollection &folders, bool recursive, FilesByFolder &files)
{
    WalkMemory memory;
    memory.files = &files;
    collectLevel(fs, ui, folders, recursive, memory);
}

std::vector<QString> walkedFolderFilePaths(FileSystemService &fs, const QString &entry, FilesByFolder &files)
{
    std::vector<QString> paths;
    const auto kept = files.find(entry);
    if (kept == files.end()) {
        const QStringList names = ListFolderFiles(fs, entry.left(entry.size() - 1), QStringLiteral("*.*"));
        paths.reserve(static_cast<size_t>(names.size()));
        for (const QString &name : names)
            paths.push_back(joinedPath(entry, name));
        return paths;
    }
    paths = std::move(*kept);
    files.erase(kept);
    return paths;
}

QStringList ListFolderFiles(FileSystemService &fs, const QString &folder, const QString &pattern)
{
    QStringList names;
    for (ListedName &listed : fs.list(withTrailingSeparator(folder) + pattern, kAttrHidden | kAttrSystem)) {
        if (listed.opensAsFile)
            names.append(std::move(listed.name));
    }
    return names;
}

bool NameHasBadChars(const QString &name)
{
    for (const QChar c : name) {
        const ushort value = c.unicode();
        if (value < 32 || (value >= 127 && value <= 159) || c == QChar::ReplacementCharacter)
            return true;
    }
    return false;
}

} // namespace halvorix
