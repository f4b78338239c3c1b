#pragma once

#include <QString>

namespace halvorix {

class FileDialogs;

// The modal folder-selection dialog, owned by the program's window, folders only. Returns the
// chosen folder's full path, or "" when the user cancels. Traps nothing: a failure reaches the
// caller.
QString PickFolder(FileDialogs &ui, const QString &prompt);

extern const QString kPickFolderPrompt; // "Please select folder:"

} // namespace halvorix
