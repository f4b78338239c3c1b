#pragma once

#include "core/CopySession.h"
#include "core/UiService.h"

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QWidget;

namespace halvorix {

// Runs the copying part of a run off the user-interface thread. Meanwhile the window keeps
// painting and shows progress, user input to it is refused, message boxes that the work asks
// for are shown on the user-interface thread (the work waits for the answer), and a close
// request can abandon the work at once.
class CopyJob : public QObject {
    Q_OBJECT
public:
    // `toCard`: the work copies to a card (else from one); `verify`: every copy is read back.
    CopyJob(MessageUi &ui, QWidget *window, bool toCard, bool verify);
    ~CopyJob() override;

    CopySession session;

    // Message boxes for the work: shown on the user-interface thread.
    MessageUi &workUi() { return *workUi_; }

    // Runs `work` on a worker thread and returns when it is done, calling `onProgress` on this
    // thread a few times a second. Throws CopyAbandoned when the job was abandoned.
    void run(const std::function<void()> &work, const std::function<void()> &onProgress);

    // Abandons the work (from a close request). Returns at once: the work stops at its next step,
    // removing its temporary file, unless a device holds it in the kernel.
    void abandon();
    // Waits up to `limit` for the work to stop; false when it has not.
    bool waitForWork(std::chrono::milliseconds limit);

    // Worker side: shows a box on the user-interface thread and waits for the answer.
    int showBoxOnUiThread(const QString &text, int style, const QString &title);

private:
    void showPendingBoxes();

    MessageUi &ui_;
    QWidget *window_;
    std::unique_ptr<MessageUi> workUi_;
    std::thread worker_;
    std::mutex doneMutex_;
    std::condition_variable doneChanged_;
    bool workDone_ = true;
    std::mutex mutex_;
    std::condition_variable answered_;
    struct PendingBox {
        QString text;
        int style;
        QString title;
        int answer = -1;
    };
    std::deque<PendingBox *> pending_;
};

} // namespace halvorix
