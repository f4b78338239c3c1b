#pragma once

#include "core/CopySession.h"
#include "core/Steps.h"
#include "transferlist/TransferItem.h"

#include <QString>
#include <vector>

namespace halvorix {

class CopyService;
class FileSystemService;

// The copying part of a card-to-computer run (lines 120 to 136), then the flush: every file and
// folder at the card's root lands in the results folder, which is created when missing.
void copyCardToResults(FileSystemService &fs, CopyService &engine, const QString &cardRoot,
    const QString &results, CopySession &session, Steps &steps);

// The copying part of a computer-to-card run (lines 158 to 188), then the flush: each row in
// list order into `target`; folder rows as exactly that folder, file rows by their name. Returns
// whether the list had rows.
bool copyRowsToCard(FileSystemService &fs, CopyService &engine, const std::vector<TransferItem> &rows,
    const QString &target, CopySession &session, Steps &steps);

// A folder row: exactly that folder (never its siblings whose names start the same) into
// `target`. A folder that no longer exists is a failure. Throws AppError.
void copyListedFolder(
    CopyService &engine, const QString &source, const QString &target, CopySession &session);

} // namespace halvorix
