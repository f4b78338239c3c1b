#pragma once

#include "core/CopySession.h"

#include <QString>
#include <vector>

namespace halvorix {

class CopyService;

// Copies one file, replacing an existing one. A failure is not shown here: the session counts
// it, and the run's closing message names it.
void CopyFileIgnoringErrors(
    CopyService &engine, const QString &source, const QString &destination, CopySession &session);

// The closing message of a run in which something was not copied: "Done, but N item(s) could not
// be copied:" and a line "path (reason)" for each of the first 20, then "and M more.".
QString closingWarningText(const std::vector<CopyFailure> &failures);

constexpr int kClosingWarningLines = 20;

} // namespace halvorix
