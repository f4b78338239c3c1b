#include "platform/posix/FolderListing.h"

#include "platform/posix/FileHandle.h"
#include "platform/posix/SystemErrors.h"

#include <cerrno>
#include <cstring>

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

FolderStream openFolder(const QString &folder)
{
    return FolderStream(encodePath(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
}

FolderListing readFolderListing(const QString &path)
{
    FolderListing listing;
    FolderStream dir = openFolder(path);
    if (!dir.valid()) {
        listing.openError = dir.openError();
        return listing;
    }
    while (const dirent *entry = dir.next()) {
        if (isDotOrDotDot(entry->d_name))
            continue;
        const auto length = static_cast<qsizetype>(std::strlen(entry->d_name));
        listing.entries.push_back({listing.names.size(), length, classifyEntry(dir.fd(), entry)});
        listing.names.append(entry->d_name, length);
    }
    listing.readError = errno;
    return listing;
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
