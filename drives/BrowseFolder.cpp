#include "drives/BrowseFolder.h"

#include "core/UiService.h"

namespace halvorix {

const QString kPickFolderPrompt = QStringLiteral("Please select folder:");

QString PickFolder(FileDialogs &ui, const QString &prompt)
{
    return ui.pickFolder(prompt);
}

} // namespace halvorix
