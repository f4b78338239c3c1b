#pragma once

#include <QString>
#include <QStringList>

namespace halvorix {

enum MessageBoxStyle : int { kStyleOk = 0, kStyleYesNo = 4, kStyleWarning = 48 };
enum MessageBoxAnswer : int { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

// A message box as the user sees it: title resolved, carriage returns turned into line breaks.
struct MessageBoxRequest {
    QString rawText; // exactly as the program passed it
    QString text; // as shown
    int style = kStyleOk;
    QString title;
};

// What the file-open dialog is asked to show.
struct FileDialogRequest {
    QString title;
    QString filter; // "All Files (*.*)|*.*|" form
    bool multiSelect = true;
};

// Message boxes, and the end of the program. The step runner and the error report need no more,
// so a copy's worker thread serves them by handing each box to the window's thread.
class MessageUi {
public:
    virtual ~MessageUi() = default;

    // Shows a box; an empty title shows the application title. Lone carriage returns and
    // carriage return + line feed both break lines. Returns kAnswerYes, kAnswerNo or kAnswerOk.
    int msgBox(const QString &text, int style, const QString &title = QString());

    void setApplicationTitle(const QString &title) { applicationTitle_ = title; }
    const QString &applicationTitle() const { return applicationTitle_; }

    // Ends the program at once: the close request is never refused.
    virtual void endProgram() = 0;

protected:
    virtual int showMessageBox(const MessageBoxRequest &request) = 0;

private:
    QString applicationTitle_;
};

// The desktop's file and folder choosers, each modal to the program's window (which window that
// is, is the desktop service's own business).
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Full paths of the chosen files, in the order the dialog gives them; empty on cancel.
    virtual QStringList openFileNames(const FileDialogRequest &request) = 0;
    // The chosen folder's full path (a root keeps its "/"), or "" on cancel.
    virtual QString pickFolder(const QString &prompt) = 0;
};

// Long work on the window's thread (a folder walk) lets the window answer now and then.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles pending window events and returns. A close request handled here ends the program.
    virtual void yield() = 0;
};

// The per-user settings store, and the other programs the desktop starts for us.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // The per-user settings store, written to disk as soon as a value changes.
    virtual QString getSetting(
        const QString &appName, const QString &section, const QString &key, const QString &defaultValue)
        = 0;
    virtual void saveSetting(
        const QString &appName, const QString &section, const QString &key, const QString &value)
        = 0;
    // Starts a program with an argument list (never through a shell) and does not wait for it.
    virtual void runProgram(const QString &program, const QStringList &arguments) = 0;
    // Opens a folder in the desktop's file browser; the outcome is not reported.
    virtual void shellOpen(const QString &folder) = 0;
};

// Everything the program asks of the user and the desktop. The real implementation uses Qt's
// dialogs; tests script the answers and record what the user was shown. Each piece of the
// program takes only the part it uses.
class UiService : public MessageUi, public FileDialogs, public EventPump, public DesktopServices { };

// Turns lone carriage returns and CR LF pairs into line feeds.
QString normalizeLineBreaks(const QString &text);

} // namespace halvorix
