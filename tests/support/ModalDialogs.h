#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace halvorix::test {

// Calls `act` with the next modal dialog of type Dialog once it is shown by a call that blocks in
// its own event loop (a message box, a file dialog), then closes that dialog if `act` left it
// open. Gives up after `deadlineMs`; `seen` tells whether the dialog appeared at all.
template <typename Dialog>
void whenModalOpens(std::function<void(Dialog *)> act, bool &seen, int deadlineMs = 10000)
{
    seen = false;
    auto *poll = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, clock, act, &seen, deadlineMs] {
        QPointer<Dialog> dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            seen = true;
            act(dialog);
            if (dialog && dialog->isVisible())
                dialog->reject();
        } else if (clock->elapsed() > deadlineMs) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

} // namespace halvorix::test
