#include "drives/BrowseFolder.h"

#include "core/UiService.h"

namespace halvorix {

const QString kPickFolderPrompt = QStringLiteral("Please select folder:");

QString PickFolder(FileDialogs &ui, QWidget *owner, const QString &prompt)
{
    return ui.pickFolder(owner, prompt);
}

} // namespace halvorix
