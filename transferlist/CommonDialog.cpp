#include "transferlist/CommonDialog.h"

#include "platform/AppError.h"
#include "platform/UiService.h"

namespace halvorix {

QString combinedFileName(const QStringList &paths)
{
    if (paths.isEmpty())
        return {};
    if (paths.size() == 1)
        return paths.front();
    const QString &first = paths.front();
    const qsizetype slash = first.lastIndexOf(QLatin1Char('/'));
    QString folder = first.left(slash);
    if (folder.isEmpty())
        folder = QStringLiteral("/"); // the root keeps its separator
    QString combined = folder;
    for (const QString &path : paths) {
        combined += QChar(u'\0');
        combined += path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    }
    return combined;
}

void CommonDialog::ShowOpen(UiService &ui, QWidget *owner, qsizetype capacity)
{
    FileDialogRequest request;
    request.title = DialogTitle;
    request.filter = Filter;
    request.multiSelect = (Flags & kAllowMultiSelect) != 0;
    const QString combined = combinedFileName(ui.openFileNames(owner, request));
    if (combined.size() >= capacity)
        throw AppError(kFileNameBufferTooSmall,
            QStringLiteral("The selected file names do not fit in the dialog's buffer"));
    FileName = combined;
}

} // namespace halvorix
