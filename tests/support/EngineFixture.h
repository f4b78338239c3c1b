#pragma once

#include "core/CopySession.h"
#include "platform/posix/Machine.h"
#include "platform/posix/engine/EngineRun.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QDirIterator>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace halvorix::test {

// The copy engine as the copy steps call it: a card's tree in a temporary folder, copied each way
// a file can be written, into a results folder.

inline const QDateTime kCardTime = QDateTime(QDate(2019, 6, 1), QTime(12, 30, 15), Qt::UTC);

// Every file, folder and link below `root` (links are not entered), relative, with its content (a
// folder: "<folder>") and its modification time (seconds).
inline std::map<QString, std::pair<QByteArray, qint64>> snapshot(const QString &root)
{
    std::map<QString, std::pair<QByteArray, qint64>> entries;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        entries[entry.filePath().mid(root.size())]
            = {entry.isDir() ? "<folder>" : TempTree::read(entry.filePath()),
                entry.lastModified().toSecsSinceEpoch()};
    }
    return entries;
}

// Every engine test runs each way a file can be written: unnamed then linked by its handle,
// unnamed then linked through /proc (where the direct way is refused), and under a hidden
// temporary name then renamed (as on a FAT card); and, the card's way, with each kernel call that
// moves data forced.
enum class WriteWay { UnnamedLinkedDirectly, UnnamedLinkedThroughProc, TemporaryName };

struct Way {
    WriteWay write;
    DataCall call;
    const char *name;
    friend void PrintTo(const Way &way, std::ostream *out) { *out << way.name; } // names the test too
};

inline void takeWay(CopySession &session, const Way &way)
{
    session.options.unnamedFiles = way.write != WriteWay::TemporaryName;
    engineRunOf(session).refusals.directLink = way.write == WriteWay::UnnamedLinkedThroughProc;
    session.options.dataCall = way.call;
}

inline auto everyWay()
{
    return ::testing::Values(
        Way{WriteWay::UnnamedLinkedDirectly, DataCall::Automatic, "UnnamedLinkedDirectly"},
        Way{WriteWay::UnnamedLinkedThroughProc, DataCall::Automatic, "UnnamedLinkedThroughProc"},
        Way{WriteWay::TemporaryName, DataCall::Automatic, "TemporaryNameRenamed"},
        Way{WriteWay::TemporaryName, DataCall::RangeCopy, "CopyFileRangeForced"},
        Way{WriteWay::TemporaryName, DataCall::Sendfile, "SendfileForced"},
        Way{WriteWay::TemporaryName, DataCall::ReadWrite, "ReadWriteForced"});
}

// A card holding files at its root (one hidden, one empty), a camera folder and an empty folder,
// all with an old time, an empty results folder, and an empty computer folder.
class EngineTest : public ::testing::TestWithParam<Way> {
protected:
    TempTree card, results, pc;
    Machine fs{"/"};
    CopySession session;

    void SetUp() override
    {
        takeWay(session, GetParam());
        TempTree::setModified(card.write("IMG_0001.JPG", QByteArray(300000, 'x')), kCardTime);
        TempTree::setModified(card.write(".hidden.dat", "secret"), kCardTime);
        TempTree::setModified(card.write("DCIM/100CANON/IMG_0002.JPG", QByteArray(70000, 'y')), kCardTime);
        TempTree::setModified(card.write("DCIM/100CANON/IMG_0003.JPG", ""), kCardTime);
        card.mkdir("MISC/empty");
    }
    QString into() const { return results.path() + "/"; }
};

} // namespace halvorix::test

// Runs the suite's tests each way a file can be written.
#define HALVORIX_EVERY_WRITE_WAY(Suite)                                                                      \
    INSTANTIATE_TEST_SUITE_P(Ways, Suite, ::halvorix::test::everyWay(), ::testing::PrintToStringParamName())
