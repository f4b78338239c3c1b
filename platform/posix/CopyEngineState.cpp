#include "platform/posix/CopyEngineState.h"

#include "platform/posix/Committer.h"
#include "core/CopySession.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace halvorix {

CopyEngineState::CopyEngineState(CopySession &session) : committer(std::make_unique<Committer>(session)) { }

CopyEngineState::~CopyEngineState() = default;

void CopyEngineState::keepFolderTimes(FolderTimes &&times)
{
    const std::lock_guard<std::mutex> lock(folderTimesMutex_);
    folderTimes_.insert(folderTimes_.end(), std::make_move_iterator(times.begin()),
        std::make_move_iterator(times.end()));
    times.clear();
}

void CopyEngineState::settle()
{
    committer->drain();
    FolderTimes times;
    {
        const std::lock_guard<std::mutex> lock(folderTimesMutex_);
        times.swap(folderTimes_);
    }
    for (const auto &[path, st] : times) {
        const struct timespec kept[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, path.constData(), kept, 0); // best effort, as for files
    }
}

namespace {
dev_t deviceOf(int fd)
{
    struct stat st { };
    return ::fstat(fd, &st) == 0 ? st.st_dev : 0;
}
} // namespace

CopyEngineState &engineStateOf(CopySession &session)
{
    return session.engineState([&session] { return std::make_shared<CopyEngineState>(session); });
}

DestinationFolder::DestinationFolder(FileHandle handle, NativePath folderPath)
    : path(std::move(folderPath)), key(path.withoutTrailingSeparator().bytes()),
      syncsWholeFiles(halvorix::syncsWholeFiles(handle.get())), device(deviceOf(handle.get())),
      handle_(std::move(handle))
{
}

SharedDestination openDestination(const NativePath &path, CopySession &session)
{
    FileHandle fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return nullptr;
    auto folder = std::make_shared<const DestinationFolder>(std::move(fd), path);
    engineStateOf(session).temporaries.removeStale(folder->fd(), folder->key);
    return folder;
}

} // namespace halvorix
