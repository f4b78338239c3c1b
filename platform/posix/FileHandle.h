#pragma once

#include <cerrno>
#include <unistd.h>

namespace halvorix {

// An open file descriptor, closed when it goes. The one way the program holds descriptors.
class FileHandle {
public:
    explicit FileHandle(int fd = -1) : fd_(fd) { }
    ~FileHandle() { reset(); }
    FileHandle(FileHandle &&other) noexcept : fd_(other.release()) { }
    FileHandle &operator=(FileHandle &&other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes without asking how it went (for a file given up anyway).
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes and tells how it went: 0, or the error number. Some file systems report a failed
    // write only here.
    int closeChecked()
    {
        const int rc = ::close(release());
        return rc == 0 ? 0 : errno;
    }

private:
    int fd_;
};

} // namespace halvorix
