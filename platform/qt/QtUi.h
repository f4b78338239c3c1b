#pragma once

#include "platform/qt/DesktopUi.h"
#include "platform/qt/PacedEvents.h"

class QWidget;

namespace halvorix {

// The real user-interface service: Qt's message box and dialogs, QSettings in INI form at
// $XDG_CONFIG_HOME/<application>.conf, detached processes for the desktop's helpers. The file
// dialogs start in the home folder every time and leave no settings of their own.
class QtUi : public DesktopUi {
public:
    QtUi();

    // The window that owns the message boxes and dialogs (none: they stand alone).
    void setOwner(QWidget *owner) { owner_ = owner; }

    QStringList openFileNames(const FileDialogRequest &request) override;
    QString pickFolder(const QString &prompt) override;
    void yield() override;
    QString getSetting(const QString &appName, const QString &section, const QString &key,
        const QString &defaultValue) override;
    void saveSetting(
        const QString &appName, const QString &section, const QString &key, const QString &value) override;
    QCursor loadCursorFile(const QString &path) override;
    void runProgram(const QString &program, const QStringList &arguments) override;
    void shellOpen(const QString &folder) override;
    [[noreturn]] void endProgram() override;

    // The settings file for an application name, e.g. ~/.config/Brackwen.conf.
    static QString settingsFilePath(const QString &appName);
    // "All Files (*.*)|*.*|" in Qt's filter form; "*.*" becomes "*" so dotless names show.
    static QString toQtFilter(const QString &filter);

protected:
    int showMessageBox(const MessageBoxRequest &request) override;

private:
    QWidget *owner_ = nullptr;
    PacedEvents events_;
};

} // namespace halvorix
