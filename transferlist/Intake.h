#pragma once

#include "core/Steps.h"
#include "transferlist/FolderWalk.h"
#include "transferlist/TransferItem.h"

#include <functional>
#include <vector>

namespace halvorix {

class FileSystemService;
class EventPump;

// True when the file's attributes cannot be read: such a name cannot be added.
bool IsBadFileName(FileSystemService &fs, const QString &path);
QString badFileNameMessage(const QString &path);

// "Add All File(s) In Folder": for each folder of the walked collection, in order, its files
// (names starting with "~" skipped) as "Is File" rows with cleaned paths. A folder whose listing
// fails is reported through `steps` (line 116) and contributes nothing.
void appendFolderFileRows(FileSystemService &fs, const FolderCollection &folders, FilesByFolder &walked,
    std::vector<TransferItem> &rows, Steps &steps);

// The whole file-mode intake of a chosen folder: walk, listings, rows.
std::vector<TransferItem> fileRowsForFolder(
    FileSystemService &fs, EventPump &ui, const QString &chosenFolder, Steps &steps);

// What a drop of one folder adds: the files of the folder and of all its sub-folders, except
// names starting with "~" and files whose attribute value is exactly hidden + archive (34).
std::vector<TransferItem> droppedFolderRows(FileSystemService &fs, EventPump &ui, const QString &folder);

// A dropped path is a folder when a directory listing of it returns a name and its attributes
// carry the folder bit; a folder whose name starts with "." is one too. A path whose queries fail
// counts as a file.
bool isDroppedFolder(FileSystemService &fs, const QString &path);

} // namespace halvorix
