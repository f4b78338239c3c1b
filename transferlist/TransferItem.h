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

// The marker texts. A row's Marker is a copy of one of these, and copies of a text share it, so a
// million rows cost no extra text.
const QString &markerIsFile();
const QString &markerIsFolder();
const QString &markerNone();

} // namespace halvorix
