#pragma once

#include "core/AppError.h"
#include "platform/posix/Machine.h"
#include "platform/posix/SystemErrors.h"
#include "platform/posix/engine/EngineRun.h"

#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <optional>

namespace halvorix::test {

// The real file system with failures injected where a test says, and drives from a script.
// Root can read anything, so tests that need "permission denied" ask for it here.
class FaultyFileSystem : public Machine {
public:
    // Called before a listing ("list", "forEachSubFolder") of a path; throw to make it fail.
    std::function<void(const char *operation, const QString &path)> before;
    std::optional<std::vector<DriveInfo>> drives;
    std::optional<AppError> driveFailureAfterListed; // thrown after the scripted drives

    static void denyIf(bool condition, const QString &path)
    {
        if (condition)
            throw systemError(EACCES, FailedAction::Reading, path);
    }

    std::vector<ListedName> list(const QString &pattern, int mask) override
    {
        hook("list", pattern);
        return Machine::list(pattern, mask);
    }
    void forEachSubFolder(const QString &path, const std::function<void(const QString &)> &onName,
        const FileVisitor &onFile = {}) override
    {
        hook("forEachSubFolder", path);
        Machine::forEachSubFolder(path, onName, onFile);
    }
    std::unique_ptr<FolderReader> readFolders(const QStringList &folders) override
    {
        if (before) // each folder read when asked, through the hook
            return FileSystemService::readFolders(folders);
        return Machine::readFolders(folders);
    }
    // Installed on every copy session: fail single files, act between chunks.
    std::function<void(const QString &source)> beforeEachFile;
    std::function<void(CopySession &)> beforeEachChunk;
    std::function<void(CopySession &)> beforeReadingBack; // a card's copies, after the last write
    qint64 chunkBytes = 0;
    qint64 aheadOfDevice = 0;
    unsigned filesInFlight = 0; // 1 copies each file in the walk's own thread
    bool temporaryNames = false; // files written under temporary names, as on a FAT card
    // Called before a row is measured (the run's byte count).
    std::function<void(CopySession &)> beforeMeasure;

    void measureItem(const QString &path, CopySession &session) override
    {
        if (beforeMeasure)
            beforeMeasure(session);
        Machine::measureItem(path, session);
    }

    void copyFile(const QString &source, const QString &destination, CopySession &session) override
    {
        instrument(session);
        Machine::copyFile(source, destination, session);
    }
    void copyMatchingFiles(
        const QString &pattern, const QString &destinationFolder, CopySession &session) override
    {
        instrument(session);
        Machine::copyMatchingFiles(pattern, destinationFolder, session);
    }
    int copyMatchingFolders(
        const QString &pattern, const QString &destinationFolder, CopySession &session) override
    {
        instrument(session);
        return Machine::copyMatchingFolders(pattern, destinationFolder, session);
    }
    void copyFolder(const QString &source, const QString &destinationFolder, CopySession &session) override
    {
        instrument(session);
        Machine::copyFolder(source, destinationFolder, session);
    }
    std::atomic<int> flushes{0};
    void flushDestinations(CopySession &session) override
    {
        ++flushes;
        Machine::flushDestinations(session);
    }
    void forEachDrive(const std::function<void(const DriveInfo &)> &onDrive) override
    {
        if (!drives)
            return Machine::forEachDrive(onDrive);
        for (const DriveInfo &drive : *drives)
            onDrive(drive);
        if (driveFailureAfterListed)
            throw *driveFailureAfterListed;
    }
    // Scripted drives have no mount behind them to lose: they stay.
    bool driveStillMounted(const DriveInfo &drive) override
    {
        return drives || Machine::driveStillMounted(drive);
    }

private:
    void instrument(CopySession &session)
    {
        if (beforeEachFile)
            engineRunOf(session).hooks.beforeFile = beforeEachFile;
        if (beforeEachChunk)
            engineRunOf(session).hooks.beforeChunk = [this, &session] { beforeEachChunk(session); };
        if (beforeReadingBack)
            engineRunOf(session).hooks.beforeReadingBack = [this, &session] { beforeReadingBack(session); };
        if (chunkBytes > 0)
            session.options.chunkBytes = chunkBytes;
        if (aheadOfDevice > 0)
            session.options.aheadOfDevice = aheadOfDevice;
        if (filesInFlight > 0)
            session.options.filesInFlight = filesInFlight;
        if (temporaryNames)
            session.options.unnamedFiles = false;
    }
    void hook(const char *operation, const QString &path)
    {
        if (before) {
            const std::lock_guard<std::mutex> lock(mutex_); // copies call in from the worker
            before(operation, path);
        }
    }
    std::mutex mutex_;
};

} // namespace halvorix::test
