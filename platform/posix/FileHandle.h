#pragma once

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

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
// FileHandle, whose descriptor it then owns (and closes even when it cannot read it).
class FolderStream {
public:
    explicit FolderStream(const char *path) : dir_(::opendir(path)), openError_(dir_ ? 0 : errno) { }
    explicit FolderStream(FileHandle folder) : dir_(::fdopendir(folder.get())), openError_(dir_ ? 0 : errno)
    {
        if (dir_)
            folder.release(); // closedir closes it
    }
    ~FolderStream()
    {
        if (dir_)
            ::closedir(dir_);
    }
    FolderStream(const FolderStream &) = delete;
    FolderStream &operator=(const FolderStream &) = delete;

    bool valid() const { return dir_ != nullptr; }
    int fd() const { return ::dirfd(dir_); }
    // Why it could not be opened (the error number), 0 when it is open.
    int openError() const { return openError_; }
    // The next entry; null at the end (errno 0) or when the read failed (errno tells why).
    const dirent *next()
    {
        errno = 0;
        return ::readdir(dir_);
    }

private:
    DIR *dir_;
    int openError_;
};

} // namespace halvorix
