#include "transferlist/FolderWalk.h"
#include "core/AppError.h"
#include "core/PathText.h"
#include "support/Deadline.h"
#include "support/FakeUi.h"
#include "support/FaultyFileSystem.h"
#include "support/TempTree.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;

namespace {

void makeSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.toUtf8().constData(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
}

void makeRawFolder(const TempTree &tree, const QByteArray &relativeName)
{
    ASSERT_EQ(::mkdir((tree.path().toUtf8() + "/" + relativeName).constData(), 0755), 0);
}

} // namespace

TEST(FixRootSeparator, CollapsesDoubledSeparators)
{
    EXPECT_EQ(FixRootSeparator("//photo.jpg"), "/photo.jpg");
    EXPECT_EQ(FixRootSeparator("/media/CARD//DCIM//a.jpg"), "/media/CARD/DCIM/a.jpg");
    EXPECT_EQ(FixRootSeparator("/plain/path"), "/plain/path");
    EXPECT_EQ(lastPathPiece("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(lastPathPiece("name"), "name");
}

TEST(NameHasBadChars, ControlCharactersAndUndecodableNames)
{
    for (const QString &name : {QString("Photos 2019"), QString("what?"), QString("Ærø"), QString()})
        EXPECT_FALSE(NameHasBadChars(name)) << name.toStdString(); // "?" is an ordinary Linux name
    for (const QString &name :
        {QString("tab\there"), QString("x") + QChar(0x85), QString("bad") + QChar::ReplacementCharacter})
        EXPECT_TRUE(NameHasBadChars(name)) << name.toStdString();
}

class FolderWalk : public ::testing::Test {
protected:
    TempTree tree;
    FaultyFileSystem fs;
    FakeUi ui;

    QStringList walk(const QString &seed)
    {
        FolderCollection folders{seed};
        CollectSubFolders(fs, ui, folders, true);
        for (QString &folder : folders)
            folder.remove(0, tree.path().size());
        return folders;
    }
    QStringList sortedWalk(const QString &seed)
    {
        QStringList found = walk(seed);
        found.sort();
        return found;
    }
};

// Unusable names (undecodable, control characters) are left out with their subtrees.
TEST_F(FolderWalk, BreadthFirstWithHiddenTildeAndQuestionMarkFoldersKeptAndUnusableNamesLeftOut)
{
    tree.mkdir("a/a1/a11");
    tree.mkdir("b/b1");
    tree.mkdir(".hidden/inner");
    tree.mkdir("~temp");
    tree.mkdir("what?");
    makeRawFolder(tree, "bad\xff");
    makeRawFolder(tree, "bad\xff/below");
    makeRawFolder(tree, "ctl\x01");
    const QStringList result = walk(tree.path() + "/");
    ASSERT_EQ(result.first(), "/");
    auto depth = [](const QString &p) { return p.count('/') - 1; };
    for (qsizetype i = 1; i < result.size(); ++i)
        EXPECT_LE(depth(result[i - 1]), depth(result[i])) << "not breadth-first at " << i;
    QStringList sorted = result;
    sorted.sort();
    EXPECT_EQ(sorted,
        QStringList({"/", "/.hidden/", "/.hidden/inner/", "/a/", "/a/a1/", "/a/a1/a11/", "/b/", "/b/b1/",
            "/what?/", "/~temp/"}));
    EXPECT_GE(ui.yields, 10);
}

TEST_F(FolderWalk, OnlyALinkBackUpTheTreeStopsTheWalk)
{
    tree.mkdir("photos/2019");
    ASSERT_TRUE(QFile::link(tree.path(), tree.path("photos/2019/up"))); // back to the top
    ASSERT_TRUE(QFile::link(tree.path("photos"), tree.path("photos/2019/parent"))); // one level up
    ASSERT_TRUE(QFile::link(tree.path("elsewhere"), tree.path("shortcut"))); // dangling: no folder
    tree.mkdir("target/inside");
    ASSERT_TRUE(QFile::link(tree.path("target"), tree.path("photos/linked"))); // a sibling, twice
    EXPECT_EQ(sortedWalk(tree.path() + "/"),
        QStringList({"/", "/photos/", "/photos/2019/", "/photos/linked/", "/photos/linked/inside/",
            "/target/", "/target/inside/"}));
}

TEST_F(FolderWalk, ALinkOutOfTheTreeThatLeadsBackIntoItStopsWhereItComesRound)
{
    // The seed is below the folder a link leads to: the walk climbs out once, then meets the seed
    // again below it and stops there.
    tree.mkdir("seed/own");
    tree.mkdir("other");
    ASSERT_TRUE(QFile::link(tree.path(), tree.path("seed/out")));
    EXPECT_EQ(sortedWalk(tree.path("seed/")),
        QStringList({"/seed/", "/seed/out/", "/seed/out/other/", "/seed/own/"}));
}

TEST_F(FolderWalk, PipesAndSocketsNeverHangTheWalkOrTheListing)
{
    tree.mkdir("sub");
    ASSERT_EQ(::mkfifo(tree.path("sub/pipe").toUtf8().constData(), 0600), 0);
    makeSocket(tree.path("sub/sock"));
    tree.write("sub/file.txt");
    EXPECT_EQ(walk(tree.path() + "/"), QStringList({"/", "/sub/"}));
    EXPECT_EQ(ListFolderFiles(fs, tree.path("sub"), "*.*"), QStringList{"file.txt"});
}

// A denied folder goes with its sub-folders, its siblings stay; a denied seed goes itself.
TEST_F(FolderWalk, DeniedFoldersAreRemovedWithTheirSubtreesSiblingsStay)
{
    tree.mkdir("open/inner");
    tree.mkdir("closed1/inner");
    tree.mkdir("closed2/inner");
    tree.mkdir("open2");
    fs.before = [&](const char *op, const QString &path) {
        FaultyFileSystem::denyIf(QString(op) == "forEachSubFolder" && path.contains("/closed"), path);
    };
    EXPECT_EQ(sortedWalk(tree.path() + "/"), QStringList({"/", "/open/", "/open/inner/", "/open2/"}));
    fs.before = [&](const char *op, const QString &path) {
        FaultyFileSystem::denyIf(QString(op) == "forEachSubFolder", path);
    };
    EXPECT_EQ(walk(tree.path() + "/"), QStringList()) << "the seed denied";
}

TEST_F(FolderWalk, AFolderDeletedDuringTheWalkEndsItWithAFailure)
{
    tree.mkdir("a/gone");
    tree.mkdir("b");
    // Yields 1 to 3: the seed, then its two sub-folders as they are met. Then "a" goes.
    ui.onYield = [&] {
        if (ui.yields == 3)
            QDir(tree.path("a")).removeRecursively();
    };
    FolderCollection folders{tree.path() + "/"};
    EXPECT_THROW(CollectSubFolders(fs, ui, folders, true), AppError);
}

TEST_F(FolderWalk, RealPermissionDenialAsAnUnprivilegedUser)
{
    tree.mkdir("readable/inner");
    tree.mkdir("locked/inner");
    ::chmod(tree.path().toUtf8().constData(), 0755);
    ::chmod(tree.path("readable").toUtf8().constData(), 0755);
    ::chmod(tree.path("readable/inner").toUtf8().constData(), 0755);
    ::chmod(tree.path("locked").toUtf8().constData(), 0700);
    if (::geteuid() != 0 && ::access(tree.path("locked/inner").toUtf8().constData(), F_OK) == 0)
        GTEST_SKIP() << "needs root (to drop to nobody) or an ordinary user";
    const int status = runInChild(::geteuid() == 0, 30s, "the walk as an ordinary user", [&] {
        Machine real("/");
        FakeUi quiet;
        FolderCollection folders{tree.path() + "/"};
        CollectSubFolders(real, quiet, folders, true);
        folders.sort();
        const QStringList expected
            = {tree.path() + "/", tree.path() + "/readable/", tree.path() + "/readable/inner/"};
        return folders == expected ? 0 : 1;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the denied folder was not left out as expected";
}

// Hidden files in and folders out: the sample files' test (TransferListFormTest).
TEST(ListFolderFiles, EmptyGivesNothingAndEveryFileOfAFullFolderIsListed)
{
    TempTree tree;
    FaultyFileSystem fs;
    tree.mkdir("empty");
    EXPECT_TRUE(ListFolderFiles(fs, tree.path("empty"), "*.*").isEmpty());
    for (int i = 0; i < 150; ++i)
        tree.write(QString("many/%1.dat").arg(i));
    EXPECT_EQ(ListFolderFiles(fs, tree.path("many"), "*.*").size(), 150);
}
