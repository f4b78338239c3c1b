// What a copy does with items it cannot copy: each is named with its reason, the rest is copied,
// and the step fails once; the closing warning lists them.
#include "copy/ClosingWarning.h"
#include "core/AppError.h"
#include "platform/posix/Machine.h"
#include "support/Deadline.h"
#include "support/EngineFixture.h"
#include "support/RealMedia.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::Property;
using ::testing::Throws;

using CopyFailures = EngineTest;

namespace {

// A small tmpfs, for a full or read-only destination. Needs root; skipped elsewhere.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const QString &at, const char *options) : at_(at)
    {
        mounted_ = ::mount("tmpfs", at.toUtf8().constData(), "tmpfs", 0, options) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted_)
            ::umount2(at_.toUtf8().constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool remountReadOnly()
    {
        return ::mount("tmpfs", at_.toUtf8().constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0;
    }

private:
    QString at_;
    bool mounted_ = false;
};

} // namespace

TEST_P(CopyFailures, RealUnreadableFileAsAnUnprivilegedUser)
{
    ::chmod(card.path().toUtf8().constData(), 0755);
    ::chmod(card.path("IMG_0001.JPG").toUtf8().constData(), 0000);
    ::chmod(card.path(".hidden.dat").toUtf8().constData(), 0644);
    ::chmod(results.path().toUtf8().constData(), 0777);
    if (::geteuid() != 0)
        HALVORIX_SKIP_WITHOUT("needs root to drop to an unprivileged user");
    const int status = runInChild(true, 60s, "the unprivileged copy to end", [&] {
        Machine real("/");
        CopySession s;
        takeWay(s, GetParam());
        try {
            real.copyMatchingFiles(card.path("*.*"), results.path() + "/", s);
            return 3; // must fail once
        } catch (const AppError &) {
        }
        const bool ok = s.failures().size() == 1 && s.failures()[0].reason == "Permission denied"
            && QFile::exists(results.path(".hidden.dat")) && !QFile::exists(results.path("IMG_0001.JPG"));
        return ok ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

// A file whose copy cannot be confirmed is a failed item and leaves the file it would have
// replaced as it was: a close that reports an error (as a FUSE card's may), and a source that
// another program cut short while it was copied (its copy would be neither the old file nor the
// new one). A file that grows meanwhile is copied as it was when opened.
TEST_P(CopyFailures, AnUnconfirmedOrShrunkenCopyLeavesTheReplacedFileIntact)
{
    results.write("IMG_0001.JPG", "the previous copy");
    results.write("DCIM/100CANON/IMG_0002.JPG", "the previous copy");
    EngineRun &run = engineRunOf(session);
    run.hooks.closeError = EIO;
    EXPECT_THROW(fs.copyMatchingFiles(card.path("IMG_0001.JPG"), into(), session), AppError);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "the previous copy");
    run.hooks.closeError = 0;

    session.options.chunkBytes = 16 << 10;
    const QString cut = card.path("DCIM/100CANON/IMG_0002.JPG"), grown = card.path("IMG_0001.JPG");
    std::atomic<int> chunks{0};
    std::function<void()> meanwhile = [&] { QFile(cut).resize(20000); }; // while its second chunk goes
    run.hooks.beforeChunk = [&] {
        if (++chunks == 2)
            meanwhile();
    };
    session.options.filesInFlight = 1;
    EXPECT_THROW(fs.copyMatchingFiles(cut, into() + "DCIM/100CANON/", session), AppError);
    EXPECT_EQ(TempTree::read(results.path("DCIM/100CANON/IMG_0002.JPG")), "the previous copy");
    ASSERT_EQ(session.failures().size(), 2u);
    EXPECT_EQ(session.failures()[0].reason,
        "could not write " + results.path("IMG_0001.JPG") + ": Input/output error");
    EXPECT_EQ(session.failures()[1].reason, "The file changed while it was being copied (it became shorter)");
    chunks = 0;
    meanwhile = [&] {
        QFile file(grown);
        ASSERT_TRUE(file.open(QIODevice::Append) && file.write("more") == 4);
    };
    fs.copyMatchingFiles(grown, into(), session);
    fs.flushDestinations(session);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), QByteArray(300000, 'x'));
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

// A full destination is "Disk full" (61), and it is the destination that is named, not the card.
TEST_P(CopyFailures, AFullDestinationLeavesTheReplacedFileIntactAndIsNamedAsTheDestination)
{
    SmallFileSystem small(results.path(), "size=256k");
    if (!small.mounted())
        HALVORIX_SKIP_WITHOUT("mounting a small tmpfs needs root");
    results.write("IMG_0001.JPG", "the previous copy");
    session.options.filesInFlight = 1; // one after the other: the small file never meets the big one's part
    EXPECT_THAT([&] { fs.copyMatchingFiles(card.path("*.*"), into(), session); },
        Throws<AppError>(AllOf(Property(&AppError::code, kDiskFull),
            Property(&AppError::description, "Disk full: " + results.path("IMG_0001.JPG")))));
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "the previous copy");
    EXPECT_EQ(TempTree::read(results.path(".hidden.dat")), "secret");
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, card.path("IMG_0001.JPG"));
    EXPECT_EQ(
        session.failures()[0].reason, "could not write " + results.path("IMG_0001.JPG") + ": Disk full");
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

TEST_P(CopyFailures, AReadOnlyDestinationFailsEveryItemClearly)
{
    SmallFileSystem small(results.path(), "size=1m");
    if (!small.mounted() || !small.remountReadOnly())
        HALVORIX_SKIP_WITHOUT("mounting a read-only tmpfs needs root");
    EXPECT_THROW(fs.copyMatchingFiles(card.path("*.*"), into(), session), AppError);
    EXPECT_THROW(fs.copyMatchingFolders(card.path("*"), into(), session), AppError);
    ASSERT_EQ(session.failures().size(), 4u); // two files, two folders
    for (const CopyFailure &failure : session.failures()) {
        EXPECT_TRUE(failure.reason.startsWith("could not create " + results.path("")));
        EXPECT_TRUE(failure.reason.endsWith(": Read-only file system"));
    }
}

TEST_P(CopyFailures, NothingMatchingIsNoFolderButAFailureForFiles)
{
    TempTree empty;
    EXPECT_EQ(fs.copyMatchingFolders(empty.path("*"), results.path() + "/", session), 0);
    EXPECT_THROW(fs.copyMatchingFiles(empty.path("*.*"), results.path() + "/", session), AppError);
    EXPECT_TRUE(session.failures().empty());
}

TEST_P(CopyFailures, SingleFileCopyFailsForMissingSourcesAndRecordsThem)
{
    EXPECT_THROW(fs.copyFile(card.path("gone.jpg"), results.path("gone.jpg"), session), AppError);
    CopyFileIgnoringErrors(fs, card.path("also-gone.jpg"), results.path("x"), session);
    ASSERT_EQ(session.failures().size(), 2u);
    EXPECT_EQ(session.failures()[1].reason, "No such file or directory");
    fs.copyFile(card.path("IMG_0001.JPG"), results.path("copy.jpg"), session);
    fs.flushDestinations(session); // files are named once on the medium
    EXPECT_EQ(QFileInfo(results.path("copy.jpg")).lastModified(), kCardTime);
    EXPECT_THROW(fs.copyFile(card.path("IMG_0001.JPG"), card.path("IMG_0001.JPG"), session), AppError);
    EXPECT_EQ(TempTree::read(card.path("IMG_0001.JPG")), QByteArray(300000, 'x'));
}

HALVORIX_EVERY_WRITE_WAY(CopyFailures);

TEST(ClosingWarning, ListsTwentyThenCountsTheRest)
{
    std::vector<CopyFailure> failures;
    for (int i = 1; i <= 23; ++i)
        failures.push_back({QString("/card/f%1").arg(i), "Permission denied"});
    const QString text = closingWarningText(failures);
    const QStringList lines = text.split('\r');
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[0], "Done, but 23 item(s) could not be copied:");
    EXPECT_EQ(lines[1], "/card/f1 (Permission denied)");
    EXPECT_EQ(lines[20], "/card/f20 (Permission denied)");
    EXPECT_EQ(lines[21], "and 3 more.");
    EXPECT_EQ(closingWarningText({{"/a", "gone"}}), "Done, but 1 item(s) could not be copied:\r/a (gone)");
}
