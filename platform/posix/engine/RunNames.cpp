#include "platform/posix/engine/RunNames.h"

#include "platform/posix/SystemErrors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace halvorix {

QString RunNames::folded(const QByteArray &name)
{
    return QString::fromUtf8(name).toCaseFolded();
}

std::optional<RunNames::Given> RunNames::givenAt(
    int folderFd, const QByteArray &folderKey, const QByteArray &name)
{
    const auto found = folders_.find(folderKey);
    if (found == folders_.end())
        return std::nullopt; // this run gave nothing there
    Folder &folder = found.value();
    if (const auto exact = folder.given.constFind(name); exact != folder.given.cend())
        return exact.value();

    struct stat st { };
    if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt; // free
    // Something answers to the name. Is it one of ours under another spelling?
    if (!folder.foldedBuilt) {
        for (auto it = folder.given.cbegin(); it != folder.given.cend(); ++it)
            folder.folded.insert(folded(it.key()), it.key());
        folder.foldedBuilt = true;
    }
    const auto alike = folder.folded.constFind(folded(name));
    if (alike == folder.folded.cend())
        return std::nullopt; // there before the run
    // Where case counts, both spellings stand side by side in the folder.
    if (!folder.listing) {
        std::vector<FolderEntry> entries;
        readFolderEntries(folderFd, entries);
        folder.listing.emplace();
        for (const FolderEntry &entry : entries)
            folder.listing->insert(entry.name);
    }
    if (folder.listing->contains(name))
        return std::nullopt;
    return folder.given.value(alike.value());
}

bool RunNames::gaveExactly(const QByteArray &folderKey, const QByteArray &name) const
{
    const auto found = folders_.constFind(folderKey);
    return found != folders_.cend() && found->given.contains(name);
}

void RunNames::record(const QByteArray &folderKey, const QByteArray &name, Source source, bool folder)
{
    Folder &entry = folders_[folderKey];
    entry.given.insert(name, Given{name, source, folder});
    if (entry.foldedBuilt)
        entry.folded.insert(folded(name), name);
}

} // namespace halvorix
