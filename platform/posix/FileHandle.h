#pragma once

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace halvorix {

// An open file descriptor, closed when it goes. With FolderStream, the one way the program holds
// descriptors.
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

// An open folder read entry by entry, closed when it goes. Opened from a path, or from a folder's
// FileHandle, whose descriptor it then owns. It reads with the kernel's own listing call into a
// buffer of its own: a C library folder stream would also ask for the folder's block size and take
// a buffer from the heap for every folder a walk or a copy reads.
class FolderStream {
public:
    explicit FolderStream(const char *path)
        : folder_(::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC)), openError_(folder_.valid() ? 0 : errno)
    {
    }
    explicit FolderStream(FileHandle folder)
        : folder_(std::move(folder)), openError_(folder_.valid() ? 0 : EBADF)
    {
    }
    FolderStream(const FolderStream &) = delete;
    FolderStream &operator=(const FolderStream &) = delete;

    bool valid() const { return folder_.valid(); }
    int fd() const { return folder_.get(); }
    // Why it could not be opened (the error number), 0 when it is open.
    int openError() const { return openError_; }
    // The next entry, "." and ".." included; null at the end (errno 0) or when the read failed
    // (errno tells why).
    const dirent *next()
    {
        while (at_ >= filled_) {
            const ssize_t read = ::getdents64(folder_.get(), buffer_, sizeof buffer_);
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0) {
                if (read == 0)
                    errno = 0;
                return nullptr;
            }
            filled_ = read;
            at_ = 0;
        }
        const auto *entry = reinterpret_cast<const dirent *>(buffer_ + at_);
        at_ += entry->d_reclen;
        return entry;
    }

private:
    FileHandle folder_;
    int openError_;
    ssize_t filled_ = 0, at_ = 0;
    alignas(dirent) char buffer_[32 << 10];
};

} // namespace halvorix
