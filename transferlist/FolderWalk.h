#pragma once

#include "core/FileSystemService.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace halvorix {

class FileSystemService;
class EventPump;

// An ordered collection of folder paths, each ending with "/".
using FolderCollection = QStringList;

// Expands `folders` in place with their sub-folders, level by level (breadth-first; within one
// parent in the file system's order). Left out, with everything below them: folders whose
// attributes are exactly 22 or 1046 (a drive root is always walked), sub-folders whose names
// have bad characters, links back to a folder above them (links never make it loop). A folder
// that a link reaches from elsewhere in the tree is walked under each of its paths.
// A folder whose sub-folders cannot be read keeps what was found so far; when the reason is
// permission denied it is removed from the collection. Yields to the window for every folder
// it walks, every sub-folder it meets and every entry it hands back. Throws AppError when an
// entry cannot be examined at all (it no longer exists): the walk ends there.
void CollectSubFolders(FileSystemService &fs, EventPump &ui, FolderCollection &folders, bool recursive);

// The files a walk met, by collection entry: the paths (the entry and a name) of the entries that
// the open probe would find files, from the reads the walk made anyway. Listing each folder again
// afterwards would read every folder twice.
using FilesByFolder = QHash<QString, std::vector<QString>>;

// CollectSubFolders, keeping what it read of each folder's files in `files`.
void collectSubFoldersKeepingFiles(
    FileSystemService &fs, EventPump &ui, FolderCollection &folders, bool recursive, FilesByFolder &files);

// The paths of ListFolderFiles(entry without its "/", "*.*"), each the entry and a name: answered
// from what the walk kept, or read now for a folder the walk did not read whole. Each entry is
// answered once from what was kept; a second equal entry reads again.
std::vector<QString> walkedFolderFilePaths(FileSystemService &fs, const QString &entry, FilesByFolder &files);

// The names of the files in `folder` that match `pattern` and open as files: hidden files
// included, folders never. In the file system's order. Throws AppError when the listing fails.
QStringList ListFolderFiles(FileSystemService &fs, const QString &folder, const QString &pattern);

// True for a name with a character below 32, from 127 to 159, or U+FFFD (a name that did not
// decode and so cannot be opened again by its text).
bool NameHasBadChars(const QString &name);

} // namespace halvorix
