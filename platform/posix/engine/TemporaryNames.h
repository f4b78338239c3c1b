#pragma once

#include <QByteArray>
#include <QSet>
#include <mutex>

namespace halvorix {

// The hidden names files are written under before they are complete, where a file system has no
// unnamed files (a FAT or exFAT card) or a file is replaced: ".halvorix-<process>-<number>.part".
// A run removes what its own copies leave behind; a card pulled in the middle of a copy, or a
// program ended by force, leaves one there, and the next run that writes into that folder removes
// it: the names carry the process, so a run can tell a live copy's file from a dead one's.
class TemporaryNames {
public:
    TemporaryNames(); // a run: names given from now on are this run's

    // A name no other file of this or any live process has.
    QByteArray next();

    // Removes this program's temporary files in the open folder that no live copy writes: those of
    // processes that have ended, and this process's own from earlier runs. Once per folder and run
    // (`folderKey` names it); failures are left for another run.
    void removeStale(int folderFd, const QByteArray &folderKey);

    // The process and number a temporary name carries; false for any other name.
    static bool parse(const QByteArray &name, qint64 *process, quint64 *number);

private:
    bool isStale(qint64 process, quint64 number) const;

    const quint64 firstOfRun_;
    std::mutex mutex_;
    QSet<QByteArray> swept_;
};

} // namespace halvorix
