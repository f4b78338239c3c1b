#include "platform/posix/engine/TemporaryNames.h"

#include "platform/posix/SystemErrors.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace halvorix {

namespace {

const QByteArray kPrefix = ".halvorix-";
const QByteArray kSuffix = ".part";

std::atomic<quint64> &counter()
{
    static std::atomic<quint64> next{0};
    return next;
}

// Whether a process of this program runs under that number. A number the system has since
// given to another program does not count: after a restart, a card's old temporary files would
// otherwise stay for as long as that program runs.
bool isLiveCopier(qint64 process)
{
    if (process <= 0)
        return false;
    if (::kill(static_cast<pid_t>(process), 0) != 0 && errno != EPERM)
        return false; // no such process
    QFile name(QStringLiteral("/proc/%1/comm").arg(process));
    if (!name.open(QIODevice::ReadOnly))
        return true; // cannot tell: leave it
    return name.readAll().startsWith("halvorix");
}

} // namespace

TemporaryNames::TemporaryNames() : firstOfRun_(counter().load()) { }

QByteArray TemporaryNames::next()
{
    return kPrefix + QByteArray::number(::getpid()) + '-' + QByteArray::number(counter()++) + kSuffix;
}

bool TemporaryNames::parse(const QByteArray &name, qint64 *process, quint64 *number)
{
    if (!name.startsWith(kPrefix) || !name.endsWith(kSuffix))
        return false;
    const QByteArray middle = name.mid(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    const qsizetype dash = middle.indexOf('-');
    if (dash <= 0)
        return false;
    bool processOk = false, numberOk = false;
    *process = middle.left(dash).toLongLong(&processOk);
    *number = middle.mid(dash + 1).toULongLong(&numberOk);
    return processOk && numberOk;
}

bool TemporaryNames::isStale(qint64 process, quint64 number) const
{
    if (process == ::getpid())
        return number < firstOfRun_; // an earlier run of this process has ended
    return !isLiveCopier(process);
}

void TemporaryNames::removeStale(int folderFd, const QByteArray &folderKey)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (swept_.contains(folderKey))
            return;
        swept_.insert(folderKey);
    }
    std::vector<FolderEntry> entries;
    readFolderEntries(folderFd, entries);
    for (const FolderEntry &entry : entries) {
        qint64 process = 0;
        quint64 number = 0;
        if (entry.type != DT_DIR && parse(entry.name, &process, &number) && isStale(process, number))
            ::unlinkat(folderFd, entry.name.constData(), 0);
    }
}

} // namespace halvorix
