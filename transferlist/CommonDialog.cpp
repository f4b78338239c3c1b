#include "transferlist/CommonDialog.h"

#include "core/AppError.h"
#include "core/PathText.h"
#include "core/UiService.h"

namespace halvorix {

namespace {

// The folder every path lies in, with its trailing "/".
QString commonFolder(const QStringList &paths)
{
    QString folder = paths.front().left(paths.front().lastIndexOf(QLatin1Char('/')) + 1);
    for (const QString &path : paths) {
        while (!folder.isEmpty() && !path.startsWith(folder))
            folder.truncate(folder.lastIndexOf(QLatin1Char('/'), -2) + 1);
    }
    return folder;
}

} // namespace

QString combinedFileName(const QStringList &paths)
{
    if (paths.isEmpty())
        return {};
    if (paths.size() == 1)
        return paths.front();
    // A desktop dialog can return files from several folders (its recent files, a search, names
    // typed with their folders). Part 0 is then the folder they all lie in and each later part
    // the file's path below it, so part 0, "/" and a part is still each file's own full path.
    const QString folder = commonFolder(paths);
    QString combined = withoutTrailingSeparators(folder); // the root keeps its "/"
    for (const QString &path : paths) {
        combined += QChar(u'\0');
        combined += path.mid(folder.size());
    }
    return combined;
}

void CommonDialog::ShowOpen(FileDialogs &ui, qsizetype capacity)
{
    FileDialogRequest request;
    request.title = DialogTitle;
    request.filter = Filter;
    request.multiSelect = (Flags & kAllowMultiSelect) != 0;
    const QString combined = combinedFileName(ui.openFileNames(request));
    if (combined.size() >= capacity)
        throw AppError(kFileNameBufferTooSmall,
            QStringLiteral("The selected file names do not fit in the dialog's buffer"));
    FileName = combined;
}

} // namespace halvorix
