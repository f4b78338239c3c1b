#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace halvorix {

// A few threads that run tasks in the order given, so a copy can have several files in flight
// while the folder walk goes on. Tasks must not throw. The queue is bounded: submit() waits while
// it is full, so a huge tree never queues up in memory. Waking a thread costs more than copying a
// small file, so nobody is woken who need not be: a full queue lets its submitter go on only once
// it has half emptied, and a worker is only woken while one is idle.
class WorkerPool {
public:
    WorkerPool(unsigned threads, size_t maxQueued) : maxQueued_(maxQueued)
    {
        for (unsigned i = 0; i < threads; ++i)
            threads_.emplace_back([this] { work(); });
    }

    ~WorkerPool()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        taskReady_.notify_all();
        for (std::thread &thread : threads_)
            thread.join(); // runs what is queued first
    }

    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void submit(std::function<void()> task)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (queue_.size() >= maxQueued_) {
            ++submittersWaiting_;
            spaceFree_.wait(lock, [&] { return queue_.size() <= maxQueued_ / 2; });
            --submittersWaiting_;
        }
        queue_.push_back(std::move(task));
        const bool wake = idle_ > 0;
        lock.unlock();
        if (wake)
            taskReady_.notify_one();
    }

    // Returns once every task submitted so far has finished.
    void drain()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        allDone_.wait(lock, [&] { return queue_.empty() && running_ == 0; });
    }

private:
    void work()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (queue_.empty()) {
                ++idle_;
                taskReady_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
                --idle_;
            }
            if (queue_.empty())
                return; // stopping, nothing left
            std::function<void()> task = std::move(queue_.front());
            queue_.pop_front();
            ++running_;
            const bool wakeSubmitter = submittersWaiting_ > 0 && queue_.size() <= maxQueued_ / 2;
            lock.unlock();
            if (wakeSubmitter)
                spaceFree_.notify_one();
            task();
            lock.lock();
            if (--running_ == 0 && queue_.empty())
                allDone_.notify_all();
        }
    }

    const size_t maxQueued_;
    std::mutex mutex_;
    std::condition_variable taskReady_, spaceFree_, allDone_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> threads_;
    unsigned running_ = 0;
    unsigned idle_ = 0;
    unsigned submittersWaiting_ = 0;
    bool stopping_ = false;
};

} // namespace halvorix
