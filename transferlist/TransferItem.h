#pragma once

#include <QString>

namespace halvorix {

// One row of the transfer list. Only the exact marker "Is Folder" makes a folder row; every
// other marker, the empty one included, makes a file row.
struct TransferItem {
    QString Text; // full path; folder paths end with "/"
    QString Marker; // "Is File", "Is Folder" or empty

    bool isFolderRow() const;
};

// Shared marker texts: rows hold references to these, so a million rows cost no extra text.
const QString &markerIsFile();
const QString &markerIsFolder();
const QString &markerNone();

} // namespace halvorix
