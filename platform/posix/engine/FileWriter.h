#pragma once

#include "core/CopySession.h"
#include "platform/posix/FileHandle.h"
#include "platform/posix/engine/DestinationFolder.h"
#include "platform/posix/engine/RunNames.h"

#include <sys/stat.h>

namespace halvorix {

class EngineRun;

// Where one file goes: a name in an open destination folder.
struct Target {
    SharedDestination folder;
    QByteArray name;
    NativePath path() const { return folder->path / name; }
};

// Writes one file so that no incomplete file ever carries its name: it is written unnamed in its
// destination folder (where the file system allows it) or under a hidden temporary name, and named
// only when complete. A file that is given up vanishes (an unnamed one by itself, a temporary one
// is removed), and the file it would have replaced stays as it was.
class FileWriter {
public:
    // Creates the file, with the permissions `mode`. Throws AppError.
    FileWriter(const Target &target, mode_t mode, CopySession &session);
    ~FileWriter();
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    int fd() const { return out_.get(); }
    // The file opened anew to be read back: a handle of its own, as a FAT card's driver reads
    // zeros through the handle that wrote a small file. Invalid when it cannot be opened.
    FileHandle openToReadBack() const;

    const Target &target() const { return to_; }

    // The data is written: gives the file the source's permissions. Throws AppError.
    void setPermissions(const struct stat &source);
    // The data is on the medium: gives the file its name and the source's times, and closes it. A
    // name this run already gave another item is never replaced: that throws AppError. Returns
    // false, and does nothing, when the name holds this run's copy of the very same source.
    bool commit(const struct stat &source);

private:
    bool name(const RunNames::Source &source);
    void closeOrThrow(); // throws AppError when the close reports an error

    const Target to_;
    CopySession &session_;
    EngineRun &state_;
    FileHandle out_;
    QByteArray temporary_; // empty while the file is unnamed, and once it has its name
};

// Gives the complete file written under `temporary` in the target's folder the target's name, as
// FileWriter does (a link is written so). Throws AppError; the temporary file is the caller's.
void nameTemporary(
    const QByteArray &temporary, const Target &to, const RunNames::Source &source, CopySession &session);

// The source's identity, for RunNames.
RunNames::Source sourceIdentity(const struct stat &st);

// Whether a time or permission change failed only because the medium refuses it: then the data
// is copied all the same, as cp does.
bool isRefusedMetadataChange(int err);

} // namespace halvorix
