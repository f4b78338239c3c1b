#include "platform/posix/FolderListing.h"

#include "platform/posix/FileHandle.h"
#include "platform/posix/SystemErrors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace halvorix {

namespace {

// How far the reading may run ahead of the walk: enough to keep it busy, little held.
constexpr qsizetype kFoldersAhead = 64;

} // namespace

EntryKind kindOf(const struct stat &st)
{
    return {S_ISDIR(st.st_mode), S_ISREG(st.st_mode)};
}

EntryKind classifyEntry(int dirFd, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_DIR:
        return {true, false};
    case DT_REG:
        return {false, true};
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat st { };
        if (::fstatat(dirFd, entry->d_name, &st, 0) != 0)
            return {};
        return kindOf(st);
    }
    default:
        return {}; // pipes, sockets, devices
    }
}

FolderListing readFolderListing(const QString &path)
{
    // The kernel's own listing call into a buffer on the stack: a folder stream would ask for the
    // folder's block size and take a buffer from the heap for every folder of a walk.
    FolderListing listing;
    const FileHandle folder(::open(encodePath(path.isEmpty() ? QStringLiteral(".") : path).constData(),
        O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        listing.openError = errno;
        return listing;
    }
    alignas(dirent) char buffer[32 << 10];
    for (;;) {
        const ssize_t read = ::getdents64(folder.get(), buffer, sizeof buffer);
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            listing.readError = read < 0 ? errno : 0;
            return listing;
        }
        for (ssize_t at = 0; at < read;) {
            const auto *entry = reinterpret_cast<const dirent *>(buffer + at);
            at += entry->d_reclen;
            if (isDotOrDotDot(entry->d_name))
                continue;
            const auto length = static_cast<qsizetype>(std::strlen(entry->d_name));
            listing.entries.push_back({listing.names.size(), length, classifyEntry(folder.get(), entry)});
            listing.names.append(entry->d_name, length);
        }
    }
}

void handOut(const FolderListing &listing, const QString &path,
    const std::function<void(const QString &name)> &onName, const FileSystemService::FileVisitor &onFile)
{
    if (listing.openError != 0)
        throwSystemError(listing.openError, FailedAction::Reading, path);
    QString fileName; // every file's name in turn, in the same room
    for (const FolderListing::Entry &entry : listing.entries) {
        const char *name = listing.names.constData() + entry.offset;
        const auto length = static_cast<size_t>(entry.length);
        if (entry.kind.folder) {
            onName(decodeName(name, length));
        } else if (onFile) {
            const bool roundTrips = decodeListedNameInto(name, length, fileName);
            onFile(fileName, entry.kind.regular && roundTrips);
        }
    }
    if (listing.readError != 0)
        throwSystemError(listing.readError, FailedAction::Reading, path);
}

FolderReadAhead::FolderReadAhead(const QStringList &folders)
    : folders_(folders), read_(static_cast<size_t>(folders.size()))
{
    thread_ = std::thread([this] { run(); });
}

FolderReadAhead::~FolderReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void FolderReadAhead::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (qsizetype at = 0; at < folders_.size(); ++at) {
        changed_.wait(lock, [&] { return stopping_ || at < wanted_ + kFoldersAhead; });
        if (stopping_)
            return;
        at = std::max(at, wanted_); // what the walk went past is not read
        if (at >= folders_.size())
            return;
        lock.unlock();
        FolderListing listing = readFolderListing(folders_[at]);
        lock.lock();
        if (at >= wanted_) // else passed while it was read
            read_[static_cast<size_t>(at)] = std::move(listing);
        changed_.notify_all();
    }
}

void FolderReadAhead::forEachSubFolder(const QString &path,
    const std::function<void(const QString &name)> &onName, const FileSystemService::FileVisitor &onFile)
{
    std::optional<FolderListing> listing;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const qsizetype at = folders_.indexOf(path, wanted_);
        if (at >= 0) {
            for (qsizetype passed = wanted_; passed < at; ++passed)
                read_[static_cast<size_t>(passed)].reset();
            wanted_ = at;
            changed_.notify_all();
            changed_.wait(lock, [&] { return read_[static_cast<size_t>(at)].has_value(); });
            listing = std::move(read_[static_cast<size_t>(at)]);
            read_[static_cast<size_t>(at)].reset();
            wanted_ = at + 1;
            changed_.notify_all();
        }
    }
    if (!listing)
        listing = readFolderListing(path); // not asked for in the order given
    handOut(*listing, path, onName, onFile);
}

} // namespace halvorix
