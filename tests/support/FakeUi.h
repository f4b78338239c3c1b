#pragma once

#include "core/StepRunner.h"
#include "core/UiService.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace halvorix::test {

// Thrown by the scripted user's endProgram to unwind a handler, where the real program ends at once.
// Deliberately not a std::exception: no step runner may take it for a failure.
struct ProgramEnded { };

// A scripted user: answers boxes and dialogs from queues, records everything it was shown. As the
// desktop it stands for, it is only ever called on the window's thread (the application object's):
// a call from any other thread fails the test. `Ui` is what the code under test asks for: the
// program's logic asks UiService, the window DesktopUi (support/FakeDesktopUi.h).
template <typename Ui> class ScriptedUi : public Ui {
public:
    std::vector<MessageBoxRequest> boxes;
    std::deque<int> boxAnswers; // kAnswerYes / kAnswerNo; default: Ok / No
    std::deque<QStringList> fileDialogResults; // default: cancel
    std::vector<FileDialogRequest> fileDialogs;
    std::deque<QString> folderPicks; // default: cancel ("")
    std::vector<QString> folderPrompts;
    std::map<QString, QString> settings; // "app/section/key" -> value
    std::vector<std::pair<QString, QStringList>> programsRun;
    std::vector<QString> shellOpened;
    int yields = 0;
    std::function<void()> onYield; // what the user does while a walk yields
    std::function<void()> onEndProgram;
    std::function<void(const MessageBoxRequest &)> onBox;
    bool programEnded = false;
    std::function<void()> beforeSaveSetting; // throw here to make saving the setting fail

    QStringList openFileNames(const FileDialogRequest &request) override
    {
        onWindowThread("openFileNames");
        fileDialogs.push_back(request);
        return takeNext(fileDialogResults, QStringList());
    }
    QString pickFolder(const QString &prompt) override
    {
        onWindowThread("pickFolder");
        folderPrompts.push_back(prompt);
        return takeNext(folderPicks, QString());
    }
    void yield() override
    {
        onWindowThread("yield");
        ++yields;
        if (onYield)
            onYield();
        // The real program ends inside the close request; the fake unwinds the handler instead.
        if (programEnded)
            throw ProgramEnded{};
    }
    QString getSetting(const QString &a, const QString &s, const QString &k, const QString &d) override
    {
        onWindowThread("getSetting");
        const auto it = settings.find(a + '/' + s + '/' + k);
        return it == settings.end() ? d : it->second;
    }
    void saveSetting(const QString &a, const QString &s, const QString &k, const QString &v) override
    {
        onWindowThread("saveSetting");
        if (beforeSaveSetting)
            beforeSaveSetting();
        settings[a + '/' + s + '/' + k] = v;
    }
    void runProgram(const QString &program, const QStringList &arguments) override
    {
        onWindowThread("runProgram");
        programsRun.emplace_back(program, arguments);
    }
    void shellOpen(const QString &folder) override
    {
        onWindowThread("shellOpen");
        shellOpened.push_back(folder);
    }
    void endProgram() override
    {
        onWindowThread("endProgram");
        if (onEndProgram)
            onEndProgram(); // what the real program would leave behind as it ends, seen here
        programEnded = true;
    }

    QString setting(const QString &key) const
    {
        const auto it = settings.find("Brackwen/Halvorix/" + key);
        return it == settings.end() ? QString() : it->second;
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const auto &box : boxes)
            texts << box.text;
        return texts;
    }

protected:
    static void onWindowThread(const char *call)
    {
        const QCoreApplication *app = QCoreApplication::instance();
        if (app && QThread::currentThread() != app->thread())
            ADD_FAILURE() << "FakeUi::" << call << " was called off the window's thread";
    }

    // The next scripted answer, or what the user gives when the script has run out.
    template <typename T> static T takeNext(std::deque<T> &script, T whenNone)
    {
        if (script.empty())
            return whenNone;
        T next = std::move(script.front());
        script.pop_front();
        return next;
    }

    int showMessageBox(const MessageBoxRequest &request) override
    {
        onWindowThread("msgBox");
        boxes.push_back(request);
        if (onBox)
            onBox(request);
        return request.style == kStyleYesNo ? takeNext(boxAnswers, int(kAnswerNo)) : kAnswerOk;
    }
};

// The user as the program's logic sees it: no pictures, so no Qt Gui.
using FakeUi = ScriptedUi<UiService>;

} // namespace halvorix::test
