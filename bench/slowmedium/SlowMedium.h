// The simulated medium behind halvorix-slowfs: its pace in each direction, and the pause that
// holds every request like a card reader that stops answering.
#pragma once

#define FUSE_USE_VERSION 312
#include <fuse3/fuse_lowlevel.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

using Clock = std::chrono::steady_clock;

// Set from the signal handler: every wait below polls it, since a handler cannot notify.
inline std::atomic<bool> g_ending{false};
inline std::atomic<fuse_session *> g_session{nullptr};

// One direction of the medium (writes or reads): a serial channel that passes `rate` bytes per
// second. Each slice reserves the channel from when it is next free, so concurrent requests
// share the rate instead of each getting it.
struct Channel {
    std::uint64_t rate = 0; // bytes/s; 0: unthrottled
    Clock::time_point nextFree{};
    std::atomic<std::uint64_t> bytes{0};
};

class Medium {
public:
    int fd = -1;

    // Waits until the medium is running, then until the channel has passed `length` bytes.
    // Returns false when the daemon is ending. A pause that comes during the wait holds the slice
    // before it reaches the store.
    bool admit(Channel &channel, std::size_t length)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!waitWhilePaused(lock))
            return false;
        if (channel.rate == 0)
            return true;
        // A token bucket holding kBurst of the rate: the time a lone writer spends between two
        // requests is credited, so the medium passes its full rate and not a bit less.
        const auto start = std::max(Clock::now() - kBurst, channel.nextFree);
        const auto cost = std::chrono::nanoseconds(
            static_cast<std::int64_t>(static_cast<double>(length) * 1e9 / static_cast<double>(channel.rate)));
        const auto done = start + std::chrono::duration_cast<Clock::duration>(cost);
        channel.nextFree = done;
        while (Clock::now() < done) {
            if (g_ending)
                return false;
            changed_.wait_until(lock, std::min(done, Clock::now() + kPoll));
        }
        return waitWhilePaused(lock);
    }

    // The largest piece handed to the store at once: about 20 ms of the rate, so a pause takes
    // effect quickly and the bytes on the device grow smoothly even inside a large request.
    std::size_t sliceFor(const Channel &channel)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (channel.rate == 0)
            return kMaxSlice;
        return static_cast<std::size_t>(std::clamp<std::uint64_t>(channel.rate / 50, 4096, kMaxSlice));
    }

    bool holdUntilRunning()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return waitWhilePaused(lock);
    }

    void setPaused(bool paused)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            paused_ = paused;
        }
        changed_.notify_all();
    }

    void setRate(Channel &channel, std::uint64_t rate)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            channel.rate = rate;
            channel.nextFree = std::min(channel.nextFree, Clock::now());
        }
        changed_.notify_all();
    }

    std::string report()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return "written " + std::to_string(writes.bytes.load()) + "\nread "
            + std::to_string(reads.bytes.load()) + "\nstate " + (paused_ ? "paused" : "running") + "\nheld "
            + std::to_string(held_) + "\nrate " + std::to_string(writes.rate) + "\nread-rate "
            + std::to_string(reads.rate) + "\n";
    }

    Channel writes;
    Channel reads;

private:
    static constexpr std::size_t kMaxSlice = std::size_t{256} * 1024;
    static constexpr auto kPoll = std::chrono::milliseconds(100);
    static constexpr auto kBurst = std::chrono::milliseconds(50);

    bool waitWhilePaused(std::unique_lock<std::mutex> &lock)
    {
        if (paused_) {
            ++held_;
            while (paused_ && !g_ending)
                changed_.wait_for(lock, kPoll);
            --held_;
        }
        return !g_ending;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool paused_ = false;
    int held_ = 0;
};
