#include "platform/posix/engine/FileWriter.h"

#include "core/AppError.h"
#include "platform/posix/SystemErrors.h"
#include "platform/posix/engine/EngineRun.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace halvorix {

namespace {

const QString kNameTakenReason = QStringLiteral("An item of this copy already has that name there");

// The process's file-creation mask, read once without changing it; all bits when unknown.
mode_t creationMask()
{
    static const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        return static_cast<mode_t>(value);
                }
        return mode_t(07777);
    }();
    return mask;
}

// Files are created with the source's permissions; they only need setting again when the
// creation mask took some away or special bits are asked for.
bool modeNeedsSetting(const struct stat &st)
{
    return (st.st_mode & 07000) != 0 || (st.st_mode & creationMask() & 0777) != 0;
}

bool procFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

// Links a complete unnamed file under `name` in the folder; 0 or the error number. The direct way
// needs a privilege or a recent kernel; the way through /proc works everywhere /proc is.
int linkUnnamedFile(int fd, int folderFd, const char *name, CopySession &session)
{
    const bool tryDirect = !engineRunOf(session).refusals.directLink.load(std::memory_order_relaxed);
    if (tryDirect) {
        if (::linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0)
            return 0;
        const int err = errno;
        if (err != ENOENT && err != EPERM)
            return err; // refused for a reason of its own (the name exists, the disk is full)
    }
    const QByteArray handle = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, handle.constData(), folderFd, name, AT_SYMLINK_FOLLOW) != 0)
        return errno;
    if (tryDirect)
        engineRunOf(session).refusals.directLink.store(true, std::memory_order_relaxed); // not asked again
    return 0;
}

[[noreturn]] void throwNameTaken(const Target &to)
{
    throw AppError(kFileAlreadyExists, EEXIST, FailedAction::Naming, to.path().text(), kNameTakenReason);
}

} // namespace

RunNames::Source sourceIdentity(const struct stat &st)
{
    return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

bool isRefusedMetadataChange(int err)
{
    return err == EPERM || err == EOPNOTSUPP || err == ENOTSUP || err == EROFS || err == ENOSYS;
}

FileWriter::FileWriter(const Target &target, mode_t mode, CopySession &session)
    : to_(target), session_(session), state_(engineRunOf(session))
{
    const mode_t permissions = mode & 0777;
    if (session.options.unnamedFiles && procFdAvailable()) {
        out_ = FileHandle(::openat(to_.folder->fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, permissions));
        if (out_.valid())
            return;
        // Any refusal: the named way below tries again and reports what the system says.
    }
    temporary_ = state_.temporaries.next();
    out_ = FileHandle(::openat(
        to_.folder->fd(), temporary_.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, permissions));
    if (!out_.valid()) {
        const int err = errno;
        temporary_.clear();
        throwSystemError(err, FailedAction::Creating, to_.path().text());
    }
}

FileWriter::~FileWriter()
{
    out_.reset();
    if (!temporary_.isEmpty())
        ::unlinkat(to_.folder->fd(), temporary_.constData(), 0);
}

FileHandle FileWriter::openToReadBack() const
{
    if (!temporary_.isEmpty())
        return FileHandle(
            ::openat(to_.folder->fd(), temporary_.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    const QByteArray handle = "/proc/self/fd/" + QByteArray::number(out_.get());
    FileHandle in(::open(handle.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        in = FileHandle(::dup(out_.get())); // opened to read as well
    return in;
}

bool FileWriter::name(const RunNames::Source &source)
{
    const auto lock = state_.names.lock(); // the check and the naming are one step for all copiers
    if (temporary_.isEmpty() && !state_.names.gaveExactly(to_.folder->key, to_.name)) {
        // Unnamed: linked straight under its name when nothing answers to it, in any spelling
        // (nothing incomplete ever had a name); the link's refusal is the only case where the
        // folder must be asked what the name leads to.
        const int err = linkUnnamedFile(out_.get(), to_.folder->fd(), to_.name.constData(), session_);
        if (err == 0) {
            state_.names.record(to_.folder->key, to_.name, source, false);
            return true;
        }
        if (err != EEXIST)
            throwSystemError(err, FailedAction::Naming, to_.path().text());
    }
    if (const auto given = state_.names.givenAt(to_.folder->fd(), to_.folder->key, to_.name)) {
        if (!given->folder && given->source == source)
            return false; // the same file listed twice: its copy is already there
        throwNameTaken(to_);
    }
    if (temporary_.isEmpty()) {
        // Unnamed, over an older file: through a temporary name, as a rename replaces in one step.
        temporary_ = state_.temporaries.next();
        const int err = linkUnnamedFile(out_.get(), to_.folder->fd(), temporary_.constData(), session_);
        if (err != 0) {
            temporary_.clear();
            throwSystemError(err, FailedAction::Naming, to_.path().text());
        }
    }
    if (!temporary_.isEmpty()) {
        // Closed, and the close confirmed, before the rename replaces an older file: a card's driver
        // may report a failed write only at the close, and a failure after the rename would leave
        // neither the older file nor the new one.
        closeOrThrow();
        if (::renameat(to_.folder->fd(), temporary_.constData(), to_.folder->fd(), to_.name.constData())
            != 0) {
            const int err = errno;
            throwSystemError(err, FailedAction::Naming, to_.path().text());
        }
        temporary_.clear();
    }
    state_.names.record(to_.folder->key, to_.name, source, false);
    return true;
}

void FileWriter::setPermissions(const struct stat &source)
{
    if (modeNeedsSetting(source) && ::fchmod(out_.get(), source.st_mode & 07777) != 0) {
        const int err = errno;
        if (!isRefusedMetadataChange(err))
            throwSystemError(err, FailedAction::SettingPermissions, to_.path().text());
    }
}

void FileWriter::closeOrThrow()
{
    int err = out_.closeChecked();
    if (const int planted = state_.hooks.closeError; planted != 0)
        err = planted;
    if (err != 0)
        throwSystemError(err, FailedAction::Writing, to_.path().text());
}

bool FileWriter::commit(const struct stat &source)
{
    if (!name(sourceIdentity(source)))
        return false;
    // Times once the file has its name: some card drivers set the time anew when a file is renamed.
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    const bool open = out_.valid(); // linked straight under a free name; else renamed, closed
    if ((open ? ::futimens(out_.get(), times)
              : ::utimensat(to_.folder->fd(), to_.name.constData(), times, AT_SYMLINK_NOFOLLOW))
        != 0) {
        const int err = errno;
        if (!isRefusedMetadataChange(err))
            throwSystemError(err, FailedAction::SettingTimes, to_.path().text());
    }
    if (open) {
        try {
            closeOrThrow();
        } catch (const AppError &) {
            // The system could not confirm the data: no file under the name is better than a short
            // one, and the name replaced nothing (a link never takes a name that is there).
            ::unlinkat(to_.folder->fd(), to_.name.constData(), 0);
            throw;
        }
    }
    session_.progress.filesCopied.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void nameTemporary(
    const QByteArray &temporary, const Target &to, const RunNames::Source &source, CopySession &session)
{
    EngineRun &state = engineRunOf(session);
    const auto lock = state.names.lock();
    if (state.names.givenAt(to.folder->fd(), to.folder->key, to.name))
        throwNameTaken(to);
    if (::renameat(to.folder->fd(), temporary.constData(), to.folder->fd(), to.name.constData()) != 0) {
        const int err = errno;
        throwSystemError(err, FailedAction::Naming, to.path().text());
    }
    state.names.record(to.folder->key, to.name, source, false);
}

} // namespace halvorix
