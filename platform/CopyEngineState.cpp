#include "platform/CopyEngineState.h"

#include "platform/CopySession.h"

#include <fcntl.h>

namespace halvorix {

CopyEngineState &engineStateOf(CopySession &session)
{
    return session.engineState([] { return std::make_shared<CopyEngineState>(); });
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
