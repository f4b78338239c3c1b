#include "platform/posix/engine/EngineRun.h"

#include "core/CopySession.h"
#include "platform/posix/engine/Committer.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace halvorix {

EngineRun::EngineRun(CopySession &session) : committer_(std::make_unique<Committer>(session, readBackLater))
{
}

EngineRun::~EngineRun() = default;

void EngineRun::keepFolderTimes(FolderTimes &&times)
{
    const std::lock_guard<std::mutex> lock(folderTimesMutex_);
    folderTimes_.insert(
        folderTimes_.end(), std::make_move_iterator(times.begin()), std::make_move_iterator(times.end()));
    times.clear();
}

void EngineRun::settle()
{
    committer_->drain();
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

EngineRun &engineRunOf(CopySession &session)
{
    return session.engineRun([&session] { return std::make_shared<EngineRun>(session); });
}

} // namespace halvorix
