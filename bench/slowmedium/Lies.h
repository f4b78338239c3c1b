// What the simulated medium lies about, the way bad cards and sticks do: a capacity larger than
// what it stores (writes past the real size land on earlier blocks), writes stored with a bit
// flipped, reads that fail a few times or for a while before they succeed, and bad blocks whose reads always
// fail. Every offset here is one of the image, as the loop device asks for it.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

class Lies {
public:
    // A run of a request's bytes that lies in one piece of the store.
    struct Piece {
        off_t at; // where the bytes really are in the store
        std::size_t length;
    };

    // Where the image's bytes at `offset` really lie, and how many of the next `length` lie there
    // in one run: a request that crosses the real capacity (or wraps around past it again) is
    // split into several pieces.
    Piece place(off_t offset, std::size_t length) const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto start = static_cast<std::uint64_t>(offset);
        if (real_ == 0)
            return {offset, length};
        if (start < real_)
            return {offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, real_ - start))};
        const std::uint64_t span = real_ - keep_;
        const std::uint64_t into = (start - real_) % span;
        return {static_cast<off_t>(keep_ + into),
            static_cast<std::size_t>(std::min<std::uint64_t>(length, span - into))};
    }

    // Counts a write request; true when it is the one to be stored with a bit flipped.
    bool flipsWrite(off_t offset, std::size_t length)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (flipEvery_ == 0 || length < flipMinLength_ || static_cast<std::uint64_t>(offset) < flipFrom_)
            return false;
        if (++flipCandidates_ % flipEvery_ != 0)
            return false;
        ++flipped_;
        return true;
    }

    // Counts a read request against the armed failure points it covers; true when it is to fail.
    // Each covered point with failures left gives up one; a bad block never runs out.
    bool failsRead(off_t offset, std::size_t length)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto start = static_cast<std::uint64_t>(offset);
        bool fails = false;
        for (auto it = failPoints_.begin(); it != failPoints_.end();) {
            if (it->offset < start || it->offset - start >= length) {
                ++it;
                continue;
            }
            if (it->forMs > 0) { // a loose contact: fails for a while from its first failure
                const auto now = std::chrono::steady_clock::now();
                if (it->since == std::chrono::steady_clock::time_point{})
                    it->since = now;
                if (now - it->since >= std::chrono::milliseconds(it->forMs)) {
                    it = failPoints_.erase(it);
                    continue;
                }
                fails = true;
                ++it;
                continue;
            }
            fails = true;
            if (it->left > 0 && --it->left == 0) {
                it = failPoints_.erase(it);
                continue;
            }
            ++it;
        }
        readFailures_ += fails ? 1 : 0;
        return fails;
    }

    // Takes a control command about the lies. Returns 0 when done, -EINVAL when malformed, and 1
    // when the command is none of these.
    int command(std::string_view text)
    {
        std::vector<std::string_view> words;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find(' ', at), text.size());
            if (end > at)
                words.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        if (words.empty())
            return 1;
        const std::lock_guard<std::mutex> lock(mutex_);
        std::uint64_t a = 0, b = 0, c = 0;
        if (words[0] == "capacity") {
            if (words.size() != 3 || !number(words[1], a) || !number(words[2], b) || (a != 0 && b >= a))
                return -EINVAL;
            real_ = a;
            keep_ = a == 0 ? 0 : b;
        } else if (words[0] == "flip") {
            if (words.size() != 4 || !number(words[1], a) || !number(words[2], b) || !number(words[3], c))
                return -EINVAL;
            flipEvery_ = a;
            flipMinLength_ = b;
            flipFrom_ = c;
            flipCandidates_ = 0;
        } else if (words[0] == "fail-read") {
            if (words.size() == 2 && words[1] == "clear")
                failPoints_.clear();
            else if (words.size() == 3 && number(words[1], a) && words[2] == "-1")
                failPoints_.push_back({a, -1});
            else if (words.size() == 3 && number(words[1], a) && number(words[2], b) && b > 0 && b < 1u << 30)
                failPoints_.push_back({a, static_cast<int>(b)});
            else
                return -EINVAL;
        } else if (words[0] == "fail-read-for") {
            if (words.size() != 3 || !number(words[1], a) || !number(words[2], b) || b == 0 || b > 3600000)
                return -EINVAL;
            failPoints_.push_back({a, 0, static_cast<std::int64_t>(b)});
        } else {
            return 1;
        }
        return 0;
    }

    // The lies' lines of the control file's report.
    std::string report() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::string text = "capacity " + std::to_string(real_) + ' ' + std::to_string(keep_) + "\nflip "
            + std::to_string(flipEvery_) + ' ' + std::to_string(flipMinLength_) + ' '
            + std::to_string(flipFrom_) + "\nflipped " + std::to_string(flipped_) + "\nread-failures "
            + std::to_string(readFailures_) + '\n';
        for (const FailPoint &point : failPoints_)
            text += "fail-read " + std::to_string(point.offset) + ' ' + std::to_string(point.left) + '\n';
        return text;
    }

    // Parses "N" fully; false on anything else.
    static bool number(std::string_view text, std::uint64_t &value)
    {
        if (text.empty() || text.size() > 19)
            return false;
        std::uint64_t v = 0;
        for (const char c : text) {
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        value = v;
        return true;
    }

private:
    struct FailPoint {
        std::uint64_t offset;
        int left; // failures still to serve; -1: always (a bad block)
        std::int64_t forMs = 0; // instead, fails this long from the first read that covers it
        std::chrono::steady_clock::time_point since{};
    };

    mutable std::mutex mutex_;
    std::uint64_t real_ = 0; // 0: the whole image is real
    std::uint64_t keep_ = 0;
    std::uint64_t flipEvery_ = 0; // 0: no write is flipped
    std::uint64_t flipMinLength_ = 0;
    std::uint64_t flipFrom_ = 0;
    std::uint64_t flipCandidates_ = 0;
    std::uint64_t flipped_ = 0;
    std::uint64_t readFailures_ = 0;
    std::vector<FailPoint> failPoints_;
};
