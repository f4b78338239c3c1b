#pragma once

#include <QString>
#include <optional>

namespace halvorix {

// The folders a pick in the drive lists gives. Entries are drive entries ("root|MySep!!|name").

// Card picked after the hard drive: the hard drive's root, the card's name, "/".
QString resultsFolderForCard(const QString &diskEntry, const QString &cardEntry);
// Hard drive picked after the card: the hard drive's root alone.
QString resultsFolderForDisk(const QString &diskEntry);
// The card's root folder, where a card-to-computer copy reads.
QString cardRootFolder(const QString &cardEntry);
// The card's From_PC folder, where a computer-to-card copy writes.
QString cardTransferFolder(const QString &cardEntry);

// A folder chosen in the picker as the results folder: one trailing "/" (a root stays "/").
QString resultsFolderFromPicked(const QString &picked);

// The results folder as typed in its text box, as the folder to write into: "~" or a text
// starting with "~/" means the home folder `home`; a full path stays as it is. Any other text is
// relative and would land wherever the program happened to be started: no folder then (nullopt).
std::optional<QString> resultsFolderFromTyped(const QString &typed, const QString &home);

// Network paths have no form on this platform; the branches that test for one keep their place.
bool isNetworkPath(const QString &path);

} // namespace halvorix
