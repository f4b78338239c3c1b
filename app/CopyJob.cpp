#include "app/CopyJob.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <exception>

namespace halvorix {

namespace {

// Eats user input aimed at the window while the copy runs. Paint and close still get through,
// and so does input to the message boxes the copy shows (they are windows of their own).
class InputBlocker : public QObject {
public:
    explicit InputBlocker(QWidget *window) : window_(window) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto *widget = qobject_cast<QWidget *>(watched);
            return widget && (widget == window_ || window_->isAncestorOf(widget));
        }
        default:
            return false;
        }
    }

private:
    QWidget *window_;
};

// The work's message boxes: each is shown on the user-interface thread while the work waits.
class WorkUi : public MessageUi {
public:
    WorkUi(MessageUi &target, CopyJob &job) : target_(target), job_(job)
    {
        setApplicationTitle(target.applicationTitle());
    }
    void endProgram() override { target_.endProgram(); }

protected:
    int showMessageBox(const MessageBoxRequest &request) override
    {
        return job_.showBoxOnUiThread(request.rawText, request.style, request.title);
    }

private:
    MessageUi &target_;
    CopyJob &job_;
};

} // namespace

CopyJob::CopyJob(MessageUi &ui, QWidget *window, bool toCard, bool verify)
    : ui_(ui), window_(window), workUi_(std::make_unique<WorkUi>(ui, *this))
{
    // A card cannot hold links: on the way there, what they lead to is copied. From a card, links
    // are never followed.
    session.options.followLinks = toCard;
    session.options.toCard = toCard;
    session.options.verify = verify;
}

CopyJob::~CopyJob()
{
    abandon();
    if (worker_.joinable())
        worker_.join();
}

void CopyJob::run(const std::function<void()> &work, const std::function<void()> &onProgress)
{
    QEventLoop loop;
    InputBlocker blocker(window_);
    QTimer progressTimer;
    progressTimer.setInterval(100); // a few updates a second are enough for a bar
    QObject::connect(&progressTimer, &QTimer::timeout, &loop, [&] { onProgress(); });
    progressTimer.start();

    std::exception_ptr failure;
    {
        const std::lock_guard<std::mutex> lock(doneMutex_);
        workDone_ = false;
    }
    worker_ = std::thread([&, this] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // The engine's threads end here, before the work counts as done: after a close request,
        // what it had not yet named goes with its temporary files before the program ends.
        session.endEngineRun();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        {
            const std::lock_guard<std::mutex> lock(doneMutex_);
            workDone_ = true;
        }
        doneChanged_.notify_all();
    });
    loop.exec();
    if (worker_.joinable())
        worker_.join();
    onProgress();
    if (session.isAbandoned())
        throw CopyAbandoned{};
    if (failure)
        std::rethrow_exception(failure);
}

void CopyJob::abandon()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        session.abandon();
    }
    answered_.notify_all(); // a work waiting for a box must not wait any longer
}

bool CopyJob::waitForWork(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(doneMutex_);
    return doneChanged_.wait_for(lock, limit, [this] { return workDone_; });
}

int CopyJob::showBoxOnUiThread(const QString &text, int style, const QString &title)
{
    PendingBox box{text, style, title};
    std::unique_lock<std::mutex> lock(mutex_);
    if (session.isAbandoned())
        throw CopyAbandoned{};
    pending_.push_back(&box);
    QMetaObject::invokeMethod(this, &CopyJob::showPendingBoxes, Qt::QueuedConnection);
    answered_.wait(lock, [&] { return box.answer >= 0 || session.isAbandoned(); });
    if (box.answer < 0) {
        pending_.erase(std::remove(pending_.begin(), pending_.end(), &box), pending_.end());
        throw CopyAbandoned{};
    }
    return box.answer;
}

void CopyJob::showPendingBoxes()
{
    for (;;) {
        PendingBox *box = nullptr;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (pending_.empty() || session.isAbandoned())
                return;
            box = pending_.front();
        }
        const int answer = ui_.msgBox(box->text, box->style, box->title);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!pending_.empty() && pending_.front() == box) {
                pending_.pop_front();
                box->answer = answer;
            }
        }
        answered_.notify_all();
    }
}

} // namespace halvorix
