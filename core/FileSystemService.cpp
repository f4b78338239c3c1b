#include "core/FileSystemService.h"

namespace halvorix {

namespace {

// Reads each folder when it is asked for.
class ReadWhenAsked : public FileSystemService::FolderReader {
public:
    explicit ReadWhenAsked(FileSystemService &fs) : fs_(fs) { }
    void forEachSubFolder(const QString &path, const std::function<void(const QString &name)> &onName,
        const FileSystemService::FileVisitor &onFile) override
    {
        fs_.forEachSubFolder(path, onName, onFile);
    }

private:
    FileSystemService &fs_;
};

} // namespace

std::unique_ptr<FileSystemService::FolderReader> FileSystemService::readFolders(const QStringList &)
{
    return std::make_unique<ReadWhenAsked>(*this);
}

} // namespace halvorix
