#pragma once

#include <QString>
#include <QStringList>

namespace halvorix {

class FileDialogs;

// The file-open dialog as Add File(s) drives it: properties set, ShowOpen, FileName read back.
// FileName comes back in the classic combined form: one file as its full path; several as the
// folder, NUL, name, NUL, name... in the dialog's order; "" when the user cancelled. Files from
// several folders give the folder they all lie in and, for names, their paths below it.
class CommonDialog {
public:
    // How many characters the combined result may hold: 1 Mi characters, room for tens of
    // thousands of names in one folder. A larger selection fails with code 20476.
    static constexpr qsizetype kFileNameCapacity = 1 << 20;

    QString FileName;
    int Flags = 0;
    QString DialogTitle;
    QString Filter;

    // Shows the dialog, modal to the program's window. Throws AppError 20476 when the selection
    // does not fit.
    void ShowOpen(FileDialogs &ui, qsizetype capacity = kFileNameCapacity);

    static constexpr int kAllowMultiSelect = 0x200;
};

// Builds the combined form from the full paths a dialog gives: folder + "/" + part i is always
// the i-th file's own path, and the size counts against the capacity.
QString combinedFileName(const QStringList &paths);

} // namespace halvorix
