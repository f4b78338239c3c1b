// What arrives when a card's tree is copied: every file, hidden ones too, with its content,
// permissions and times, every folder with its time, whatever bytes the names hold.
#include "platform/posix/Machine.h"
#include "platform/posix/engine/EngineRun.h"
#include "support/EngineFixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace halvorix;
using namespace halvorix::test;

using CardTreeCopy = EngineTest;

// Files are created with their permissions when the creation mask allows it and set again
// otherwise; either way they arrive exactly, and the count of files done is right.
TEST_P(CardTreeCopy, CardTreeArrivesExactlyWithTimesAndPermissionsAndTheSourceNeverChanges)
{
    const std::vector<std::pair<QString, mode_t>> modes
        = {{"private.txt", 0600}, {"shared.txt", 0666}, {"tool.sh", 0755}, {"DCIM/odd.txt", 0471}};
    for (const auto &[name, mode] : modes)
        ::chmod(card.write(name, "x").toUtf8().constData(), mode);
    // Each folder a time of its own, set last (a file made in a folder changes the folder's time).
    int hours = 0;
    for (const char *folder : {"DCIM/100CANON", "DCIM", "MISC/empty", "MISC"})
        TempTree::setModified(card.path(folder), kCardTime.addSecs(3600 * ++hours));
    const auto before = snapshot(card.path());
    fs.measure(card.path("*"), true, session);
    EXPECT_EQ(session.progress.bytesTotal.load(), 2 * (300000 + 6 + 70000 + 4)); // written, then read back
    fs.copyMatchingFiles(card.path("*.*"), results.path() + "/", session);
    EXPECT_EQ(fs.copyMatchingFolders(card.path("*"), results.path() + "/", session), 2);
    fs.flushDestinations(session);
    EXPECT_EQ(snapshot(results.path()), before);
    EXPECT_EQ(snapshot(card.path()), before);
    for (const auto &[name, mode] : modes) {
        struct stat st { };
        ASSERT_EQ(::stat(results.path(name).toUtf8().constData(), &st), 0) << name.toStdString();
        EXPECT_EQ(st.st_mode & 07777, mode) << name.toStdString();
    }
    EXPECT_EQ(session.progress.filesCopied.load(), 5 + 3);
    EXPECT_EQ(session.progress.bytesDone.load(), session.progress.bytesTotal.load());
    EXPECT_TRUE(session.failures().empty());
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
    if (GetParam().write == WriteWay::UnnamedLinkedDirectly && ::geteuid() == 0) {
        EXPECT_FALSE(
            engineRunOf(session).refusals.directLink.load()); // a privileged process may link directly
    }
}

// Some file systems' fast calls report the end too early: a copy that stopped there would be
// short under its final name. read() must confirm the end.
TEST_P(CardTreeCopy, AFastCallThatStopsEarlyIsNeverTakenForTheEnd)
{
    session.options.chunkBytes = 64 << 10;
    engineRunOf(session).hooks.fastCallEndsAt = 100000;
    fs.copyMatchingFiles(card.path("*.*"), into(), session);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), QByteArray(300000, 'x'));
    EXPECT_EQ(session.progress.bytesDone.load(), 2 * (300000 + 6)); // written, then read back
    EXPECT_TRUE(session.failures().empty());
}

namespace {
QByteArray bytesPath(const QString &folder, const QByteArray &relative)
{
    return folder.toUtf8() + '/' + relative;
}
bool writeBytesFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
    ::close(fd);
    return ok;
}
QByteArray readBytesFile(const QByteArray &path)
{
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<missing>";
    return file.readAll();
}
} // namespace

// Latin-1 names from an old camera are not UTF-8: they are copied under the very same bytes, both
// from a card and to one, never re-encoded into names that do not exist.
TEST_P(CardTreeCopy, NamesThatAreNotUtf8ArriveByteForByte)
{
    const QByteArray folder = "caf\xe9";
    const QByteArray file = "bad\xff.jpg";
    ASSERT_EQ(::mkdir(bytesPath(card.path(), folder).constData(), 0755), 0);
    ASSERT_TRUE(writeBytesFile(bytesPath(card.path(), file), "latin root"));
    ASSERT_TRUE(writeBytesFile(bytesPath(card.path(), folder + "/photo\xe9.jpg"), "latin inside"));
    fs.measure(card.path("*"), true, session);
    fs.copyMatchingFiles(card.path("*.*"), into(), session);
    fs.copyMatchingFolders(card.path("*"), into(), session);
    EXPECT_TRUE(session.failures().empty());
    EXPECT_EQ(readBytesFile(bytesPath(results.path(), file)), "latin root");
    EXPECT_EQ(readBytesFile(bytesPath(results.path(), folder + "/photo\xe9.jpg")), "latin inside");
    EXPECT_EQ(session.progress.bytesTotal.load(), session.progress.bytesDone.load());

    TempTree target; // and the other way, a listed folder holding such names
    CopySession toCard;
    takeWay(toCard, GetParam());
    toCard.options.followLinks = true;
    fs.copyFolder(card.path("DCIM"), target.path() + "/", toCard);
    fs.flushDestinations(toCard);
    ASSERT_TRUE(writeBytesFile(bytesPath(card.path(), "DCIM/" + file), "inside DCIM"));
    fs.copyFolder(card.path("DCIM"), target.path() + "/", toCard);
    fs.flushDestinations(toCard);
    EXPECT_EQ(readBytesFile(bytesPath(target.path(), "DCIM/" + file)), "inside DCIM");
    EXPECT_TRUE(toCard.failures().empty());
}

HALVORIX_EVERY_WRITE_WAY(CardTreeCopy);
