#include "transferlist/AddFolder.h"

#include "platform/AppError.h"
#include "platform/FileSystemService.h"
#include "platform/UiService.h"

#include <QSet>

namespace halvorix {

namespace {

constexpr int kSystemHiddenFolder = kAttrDirectory | kAttrSystem | kAttrHidden; // 22
constexpr int kSystemHiddenLink = kSystemHiddenFolder | kAttrReparsePoint;     // 1046

bool isEligible(FileSystemService &fs, const QString &folder)
{
    const int attrs = fs.attributes(folder);
    return (attrs != kSystemHiddenFolder && attrs != kSystemHiddenLink) || fs.isRootFolder(folder);
}

bool isUsableSubFolderName(const QString &name)
{
    // On this platform the stand-in for an unrepresentable character is U+FFFD; "?" is an
    // ordinary name character and must not hide a folder.
    return !NameHasBadChars(name) && !name.contains(QChar::ReplacementCharacter)
        && name != QLatin1String(".") && name != QLatin1String("..");
}

// One folder's direct sub-folders appended to `found`. Permission denied removes the folder
// from `folders`; any other enumeration failure keeps it.
void collectDirectSubFolders(FileSystemService &fs, UiService &ui, FolderCollection &folders,
                             const QString &folder, FolderCollection &found)
{
    try {
        fs.forEachSubFolder(folder, [&](const QString &name) {
            ui.yield();
            if (isUsableSubFolderName(name))
                found.append(folder + name + QLatin1Char('/'));
        });
    } catch (const AppError &error) {
        if (error.code() == kPermissionDenied)
            folders.removeOne(folder);
    }
}

void collectLevel(FileSystemService &fs, UiService &ui, FolderCollection &folders, bool recursive,
                  QSet<QString> &visited)
{
    FolderCollection found;
    const FolderCollection walked = folders; // entries may be removed while we go
    for (const QString &folder : walked) {
        ui.yield();
        if (!isEligible(fs, folder))
            continue;
        // A folder reached a second time (through a link) is dropped with its subtree: a link
        // back up the tree would otherwise be walked again and again.
        if (visited.contains(fs.folderIdentity(folder))) {
            folders.removeOne(folder);
            continue;
        }
        visited.insert(fs.folderIdentity(folder));
        collectDirectSubFolders(fs, ui, folders, folder, found);
    }
    if (recursive && !found.isEmpty())
        collectLevel(fs, ui, found, true, visited);
    for (const QString &subFolder : std::as_const(found)) {
        ui.yield();
        if (isEligible(fs, subFolder))
            folders.append(subFolder);
    }
}

} // namespace

void CollectSubFolders(FileSystemService &fs, UiService &ui, FolderCollection &folders, bool recursive)
{
    QSet<QString> visited;
    collectLevel(fs, ui, folders, recursive, visited);
}

QStringList ListFolderFiles(FileSystemService &fs, const QString &folder, const QString &pattern)
{
    const QString withSeparator = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    QStringList names;
    for (ListedName &listed : fs.list(withSeparator + pattern, kAttrHidden | kAttrSystem)) {
        if (listed.opensAsFile)
            names.append(std::move(listed.name));
    }
    return names;
}

bool IsExistingFile(FileSystemService &fs, const QString &path)
{
    try {
        return fs.opensAsFile(path);
    } catch (const std::exception &) {
        return false;
    }
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
