#pragma once

#include <QString>

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

// Network paths have no form on this platform; the branches that test for one keep their place.
bool isNetworkPath(const QString &path);

} // namespace halvorix
