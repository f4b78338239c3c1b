#pragma once

#include <QString>
#include <map>

class QWidget;

namespace halvorix {

class FileSystemService;

// The window skin: a Qt style sheet read from the skin file.
class SkinFramework {
public:
    static constexpr int kApplyToDialogs = 1; // apply-options bit: dialogs take the skin too

    // Reads the skin. Throws AppError when the file cannot be read.
    void LoadSkin(const QString &path, const QString &section);
    int ApplyOptions() const { return applyOptions_; }
    void SetApplyOptions(int options) { applyOptions_ = options; }
    // Boolean options by their member id. A style sheet has no switches of its own; they are kept
    // so a skin engine that has them can honour them.
    void SetOption(int memberId, bool on) { options_[memberId] = on; }
    bool Option(int memberId) const;
    // Adds the loaded sheet to the window's own and, with kApplyToDialogs, sets it on the whole
    // application.
    void ApplyWindow(QWidget *window) const;

    bool loaded() const { return loaded_; }
    const QString &styleSheet() const { return styleSheet_; }

private:
    QString styleSheet_;
    bool loaded_ = false;
    int applyOptions_ = 0;
    std::map<int, bool> options_;
};

// Steps 1 to 8 of the skin start-up: nothing happens unless the skin file exists in the
// application folder; then the window and its option buttons, check boxes, frames and labels take
// the button-face colour before the skin is loaded. A failure after the colours leaves them.
void SkinApply(FileSystemService &fs, const QString &appFolder, QWidget &window, SkinFramework &skin);

} // namespace halvorix
