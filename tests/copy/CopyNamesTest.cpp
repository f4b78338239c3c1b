// The names a copy gives: one copy never replaces what it wrote itself, a folder row is that very
// folder whatever its name holds, and temporary names of ended copies go with the next run.
#include "platform/posix/Machine.h"
#include "platform/posix/engine/TemporaryNames.h"
#include "support/Deadline.h"
#include "support/EngineFixture.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;

using CopyNames = EngineTest;

// Two items with one name in one copy: the earlier stays and the later one is a failure named with
// its reason. What was there before the run is still replaced, and the same file listed twice is
// simply there.
TEST_P(CopyNames, OneCopyNeverReplacesWhatItWroteItself)
{
    pc.write("100CANON/IMG_0001.JPG", "first camera");
    pc.write("101CANON/IMG_0001.JPG", "second camera");
    pc.write("102CANON/img_0001.jpg", "third camera");
    results.write("IMG_0001.JPG", "left by an earlier run");
    session.options.followLinks = true;
    for (const char *row : {"100CANON/IMG_0001.JPG", "101CANON/IMG_0001.JPG", "102CANON/img_0001.jpg",
             "100CANON/IMG_0001.JPG"}) {
        fs.copyFile(pc.path(row), results.path(QString(row).section('/', 1)), session);
    }
    fs.flushDestinations(session); // files are named once on the medium
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "first camera");
    EXPECT_EQ(TempTree::read(results.path("img_0001.jpg")), "third camera"); // case counts here
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, pc.path("101CANON/IMG_0001.JPG"));
    EXPECT_EQ(session.failures()[0].reason,
        "could not name " + results.path("IMG_0001.JPG")
            + ": An item of this copy already has that name there");
    EXPECT_EQ(session.progress.filesCopied.load(), 2);
    EXPECT_FALSE(hasTemporaryFiles(results.path()));

    CopySession again; // a later run replaces what this one wrote
    takeWay(again, GetParam());
    fs.copyFile(pc.path("101CANON/IMG_0001.JPG"), results.path("IMG_0001.JPG"), again);
    fs.flushDestinations(again);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "second camera");
}

// The same holds inside folder trees: a sub-folder row lands beside its parent's copy, and two
// folders of one name merge, but none of their files replaces another.
TEST_P(CopyNames, FolderTreesOfOneNameMergeWithoutReplacingEachOther)
{
    pc.write("a/Trip/day1.jpg", "a1");
    pc.write("a/Trip/notes.txt", "from a");
    pc.write("b/Trip/day2.jpg", "b2");
    pc.write("b/Trip/notes.txt", "from b");
    session.options.followLinks = true;
    fs.copyFolder(pc.path("a/Trip"), into(), session);
    fs.copyFolder(pc.path("b/Trip/"), into(), session);
    fs.flushDestinations(session); // files are named once on the medium
    EXPECT_EQ(TempTree::read(results.path("Trip/day1.jpg")), "a1");
    EXPECT_EQ(TempTree::read(results.path("Trip/day2.jpg")), "b2");
    EXPECT_EQ(TempTree::read(results.path("Trip/notes.txt")), "from a");
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, pc.path("b/Trip/notes.txt"));
}

// No name character is ever a pattern: a row for "Why?" is that folder, not "Whys" too, and a
// folder named "*" is not every folder beside it.
TEST_P(CopyNames, FolderRowsAreExactWhateverCharactersTheirNamesHold)
{
    pc.write("Why?/a.txt", "question");
    pc.write("Whys/b.txt", "plural");
    pc.write("*/c.txt", "star");
    pc.write("other/d.txt", "other");
    session.options.followLinks = true;
    fs.copyFolder(pc.path("Why?/"), into(), session);
    fs.copyFolder(pc.path("*"), into(), session);
    fs.flushDestinations(session);
    EXPECT_EQ(QDir(results.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList{"*", "Why?"}));
    EXPECT_EQ(TempTree::read(results.path("Why?/a.txt")), "question");
    EXPECT_EQ(TempTree::read(results.path("*/c.txt")), "star");
    fs.measureItem(pc.path("Why?"), session);
    EXPECT_EQ(
        session.progress.bytesTotal.load(), 2 * 8); // "question", not "plural" as well; written and read back
    EXPECT_THROW(fs.copyFolder(pc.path("Wh*"), into(), session), AppError);
    EXPECT_EQ(session.failures().back().reason, "No such file or directory");
}

// A copy ended by force, or a card pulled in the middle of one, leaves its temporary file behind:
// the next run that writes into that folder removes it, and only what no live copy writes.
TEST_P(CopyNames, TemporaryFilesOfEndedCopiesAreRemovedByTheNextRun)
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(ended, 0);
    waitForChild(ended, 10s, "a child that ends at once");
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const pid_t live = ::fork(); // another copy of this program, still at work
    if (live == 0) {
        ::close(gate[1]);
        pollfd gateClosed{gate[0], POLLIN, 0}; // or a minute gone: never outlives a failed test long
        while (::poll(&gateClosed, 1, 60000) < 0 && errno == EINTR) { }
        ::_exit(0);
    }
    ::close(gate[0]);
    TemporaryNames earlier; // an earlier run of this very process
    const QString ownEarlier = QString::fromUtf8(earlier.next());
    const QString endedName = QString(".halvorix-%1-7.part").arg(ended);
    const QString liveName = QString(".halvorix-%1-7.part").arg(live);
    for (const QString &name : {ownEarlier, endedName, liveName, QString(".halvorix-notes.txt")}) {
        results.write(name, "leftover");
        results.write("DCIM/100CANON/" + name, "leftover");
    }
    CopySession later;
    takeWay(later, GetParam());
    fs.copyMatchingFiles(card.path("*.*"), into(), later);
    fs.copyMatchingFolders(card.path("*"), into(), later);
    ::close(gate[1]);
    waitForChild(live, 10s, "the other copy to end once let go");
    for (const QString &folder : {QString(), QString("DCIM/100CANON/")}) {
        EXPECT_FALSE(QFile::exists(results.path(folder + ownEarlier)));
        EXPECT_FALSE(QFile::exists(results.path(folder + endedName)));
        EXPECT_TRUE(QFile::exists(results.path(folder + liveName)));
        EXPECT_TRUE(QFile::exists(results.path(folder + ".halvorix-notes.txt"))); // not one of ours
    }
    EXPECT_TRUE(later.failures().empty());
}

HALVORIX_EVERY_WRITE_WAY(CopyNames);
