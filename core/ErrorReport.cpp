#include "core/ErrorReport.h"

#include "core/AppError.h"

namespace halvorix {

const char *const kSupportEmail = HALVORIX_SUPPORT_EMAIL;

QString applicationErrorText(
    const QString &location, const FailureRecord &failure, ReportForm form, const QString &supportEmail)
{
    QString text = failure.description + QStringLiteral("\r\n") + location + QStringLiteral("at line ")
        + QString::number(failure.line);
    // Without an address to write to, the full form asks nothing of the user: it ends where the
    // short form does.
    if (form == ReportForm::Full && !supportEmail.isEmpty())
        text += QStringLiteral("\r\rPlease email screenshot of this message to ") + supportEmail;
    return text;
}

void ShowApplicationError(
    MessageUi &ui, const QString &location, const FailureRecord &failure, ReportForm form)
{
    ui.msgBox(
        applicationErrorText(location, failure, form), kStyleWarning, QStringLiteral("Application Error"));
}

bool showTooManyFilesInstead(MessageUi &ui, const FailureRecord &failure)
{
    if (failure.code != kFileNameBufferTooSmall)
        return false;
    ui.msgBox(QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the "
                             "\"Add All\" button."),
        kStyleOk);
    return true;
}

} // namespace halvorix
