#pragma once

#include "core/CopyService.h"

namespace halvorix {

// The copy engine of a POSIX system (see CopyService). Paths come in as text; inside, every name
// is the bytes the kernel gave.
class PosixCopyEngine : public CopyService {
public:
    void copyFile(const QString &source, const QString &destination, CopySession &session) override;
    void copyMatchingFiles(
        const QString &pattern, const QString &destinationFolder, CopySession &session) override;
    int copyMatchingFolders(
        const QString &pattern, const QString &destinationFolder, CopySession &session) override;
    void copyFolder(const QString &source, const QString &destinationFolder, CopySession &session) override;
    void measure(const QString &pattern, bool foldersToo, CopySession &session) override;
    void measureItem(const QString &path, CopySession &session) override;
    void flushDestinations(CopySession &session) override;
};

} // namespace halvorix
