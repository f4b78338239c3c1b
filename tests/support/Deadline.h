#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace halvorix::test {

// Every wait in a test has a deadline: a program that never gets there fails the test, naming
// what it waited for, instead of hanging the run.
//
//     ASSERT_TRUE(waitUntil([&] { return session.isAbandoned(); }, 10s, "the close to reach the copy"));

enum class Meanwhile { Sleep, HandleEvents };

// Waits until `done` holds, looking every millisecond. When `deadline` passes first, the test
// fails (from whichever thread waited) and false is returned. On the window's thread, HandleEvents
// runs its queued calls, timers and paints meanwhile.
inline bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds deadline,
    const std::string &what, Meanwhile meanwhile = Meanwhile::Sleep)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            ADD_FAILURE() << "gave up after " << deadline.count() << " ms waiting for " << what;
            return false;
        }
        if (meanwhile == Meanwhile::HandleEvents)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits for the forked child `pid` to end and returns its wait status. When `deadline` passes
// first, the child is killed and the test fails naming `what`.
inline int waitForChild(pid_t pid, std::chrono::milliseconds deadline, const std::string &what)
{
    int status = 0;
    // Ended once waitpid names the child, or fails: nothing more to wait for then.
    if (!waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, deadline, what)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0); // a killed child ends at once
    }
    return status;
}

// Runs `body` in a forked copy of the test program, as the unprivileged user nobody when
// `asNobody`; the copy ends with what `body` returns (2: it could not become nobody). Returns its
// wait status, as waitForChild does.
inline int runInChild(bool asNobody, std::chrono::milliseconds deadline, const std::string &what,
    const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(body());
    }
    EXPECT_GE(child, 0) << "could not start a child for " << what;
    return child < 0 ? -1 : waitForChild(child, deadline, what);
}

// A deadline on a call that blocks (a copy run through the window, a join): when the object still
// lives once `deadline` has passed, the test fails naming `what` and the test program ends there,
// since the call would never return.
//
//     { const Watchdog watchdog(60s, "the run to end after the close"); form->PushButton1_Click(); }
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds deadline, std::string what)
        : thread_([deadline, what = std::move(what), dismissed = dismissed_.get_future()] {
              if (dismissed.wait_for(deadline) == std::future_status::ready)
                  return;
              ADD_FAILURE() << "gave up after " << deadline.count() << " ms waiting for " << what;
              std::fflush(stdout);
              std::_Exit(EXIT_FAILURE);
          })
    {
    }
    ~Watchdog()
    {
        dismissed_.set_value();
        thread_.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    std::promise<void> dismissed_;
    std::thread thread_; // last: started once the promise exists
};

} // namespace halvorix::test
