#include "platform/posix/engine/DestinationFolder.h"

#include "platform/posix/engine/EngineRun.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace halvorix {

namespace {

constexpr long kFuseMagic = 0x65735546;

dev_t deviceOf(int fd)
{
    struct stat st { };
    return ::fstat(fd, &st) == 0 ? st.st_dev : 0;
}

} // namespace

bool syncsWholeFiles(int folderFd)
{
    struct statfs fs { };
    return ::fstatfs(folderFd, &fs) == 0 && fs.f_type == kFuseMagic;
}

DestinationFolder::DestinationFolder(FileHandle handle, NativePath folderPath)
    : path(std::move(folderPath)),
      key(path.withoutTrailingSeparator().bytes()),
      syncsWholeFiles(halvorix::syncsWholeFiles(handle.get())),
      device(deviceOf(handle.get())),
      handle_(std::move(handle))
{
}

SharedDestination openDestination(const NativePath &path, CopySession &session, int &error)
{
    FileHandle fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        error = errno;
        return nullptr;
    }
    error = 0;
    auto folder = std::make_shared<const DestinationFolder>(std::move(fd), path);
    engineRunOf(session).temporaries.removeStale(folder->fd(), folder->key);
    return folder;
}

} // namespace halvorix
