#pragma once

#include "core/UiService.h"

#include <QString>

namespace halvorix {

enum class ReportForm { Full, Short };

// What the report needs of a failure.
struct FailureRecord {
    QString description;
    int code = 0;
    int line = 0; // the last numbered step entered before the failure
};

extern const char *const kSupportEmail;

// The report text: description, CR LF, location, "at line ", the number and, in the full form,
// CR CR and the support sentence naming the support address. A build without a support address
// (the default) has no support sentence: its full form is the short form.
QString applicationErrorText(const QString &location, const FailureRecord &failure, ReportForm form,
    const QString &supportEmail = QString::fromUtf8(kSupportEmail));

// Shows the report (style 48, title "Application Error") and returns when it is closed.
void ShowApplicationError(
    MessageUi &ui, const QString &location, const FailureRecord &failure, ReportForm form);

// Add File(s) asks this before the report: a selection that did not fit the file dialog's buffer
// gets its own box instead. True when it was that case (the handler then ends).
bool showTooManyFilesInstead(MessageUi &ui, const FailureRecord &failure);

} // namespace halvorix
