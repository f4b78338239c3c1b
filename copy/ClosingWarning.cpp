#include "copy/ClosingWarning.h"

#include "core/AppError.h"
#include "core/CopyService.h"

namespace halvorix {

void CopyFileIgnoringErrors(
    CopyService &engine, const QString &source, const QString &destination, CopySession &session)
{
    try {
        engine.copyFile(source, destination, session);
    } catch (const AppError &) {
        // Counted by the session; the closing message names it.
    }
}

QString closingWarningText(const std::vector<CopyFailure> &failures)
{
    QString text = QStringLiteral("Done, but %1 item(s) could not be copied:").arg(failures.size());
    const size_t shown = std::min(failures.size(), size_t(kClosingWarningLines));
    for (size_t i = 0; i < shown; ++i)
        text += QLatin1Char('\r') + failures[i].path + QStringLiteral(" (") + failures[i].reason
            + QLatin1Char(')');
    if (failures.size() > shown)
        text += QStringLiteral("\rand %1 more.").arg(failures.size() - shown);
    return text;
}

} // namespace halvorix
