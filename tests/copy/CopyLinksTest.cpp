// Links in a copied tree: from a card (followLinks false) a link is copied as a link and never
// followed, even one put in a file's place after the folder was listed; to a card (followLinks
// true) a link is followed, each folder entered once. Either way a copy never walks into what it
// writes.
#include "core/AppError.h"
#include "platform/posix/Machine.h"
#include "platform/posix/engine/EngineRun.h"
#include "support/EngineFixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace halvorix;
using namespace halvorix::test;

using CopyLinks = EngineTest;

TEST_P(CopyLinks, AResultsFolderOnTheCardIsNeverCopiedIntoItself)
{
    const QString inside = card.mkdir("Results") + "/";
    EXPECT_THROW(fs.copyMatchingFolders(card.path("*"), inside, session), AppError);
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, card.path("Results"));
    EXPECT_TRUE(session.failures()[0].reason.startsWith("Cannot copy a folder into itself"));
    EXPECT_TRUE(QFile::exists(card.path("Results/DCIM/100CANON/IMG_0002.JPG")));
    EXPECT_FALSE(QFile::exists(card.path("Results/Results")));
}

TEST_P(CopyLinks, FromACardLinksStayLinksAndLeadNowhere)
{
    TempTree outside;
    outside.write("private/secret.txt");
    ASSERT_TRUE(QFile::link(outside.path("private"), card.path("DCIM/away")));
    ASSERT_TRUE(QFile::link(card.path("DCIM"), card.path("DCIM/100CANON/loop")));
    session.options.followLinks = false;
    fs.copyMatchingFolders(card.path("*"), results.path() + "/", session);
    EXPECT_TRUE(QFileInfo(results.path("DCIM/away")).isSymLink());
    EXPECT_EQ(QFileInfo(results.path("DCIM/away")).symLinkTarget(), outside.path("private"));
    EXPECT_TRUE(QFileInfo(results.path("DCIM/100CANON/loop")).isSymLink());
    EXPECT_TRUE(session.failures().empty());
}

TEST_P(CopyLinks, ToACardLinksAreFollowedOnceAndPipesFail)
{
    TempTree source, target;
    source.write("album/photo.jpg", "pixels");
    source.write("shared/doc.txt", "words");
    ASSERT_TRUE(QFile::link(source.path("shared"), source.path("album/shared-link")));
    ASSERT_TRUE(QFile::link(source.path("album"), source.path("album/loop")));
    ASSERT_EQ(::mkfifo(source.path("album/pipe").toUtf8().constData(), 0600), 0);
    session.options.followLinks = true;
    EXPECT_THROW(fs.copyMatchingFolders(source.path("album"), target.path() + "/", session), AppError);
    EXPECT_EQ(TempTree::read(target.path("album/photo.jpg")), "pixels");
    EXPECT_EQ(TempTree::read(target.path("album/shared-link/doc.txt")), "words");
    EXPECT_FALSE(QFileInfo(target.path("album/shared-link")).isSymLink());
    EXPECT_FALSE(QFile::exists(target.path("album/loop/loop")));
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, source.path("album/pipe"));
}

// A file of the card replaced by a link to a file elsewhere after its folder was listed, just
// before it is opened: what the link leads to never arrives, in a folder or at the card's root.
TEST_P(CopyLinks, FromACardALinkSwappedInForAFileIsNeverFollowed)
{
    TempTree outside;
    const QString secret = outside.write("secret.txt", "not from the card");
    const QStringList swapped{card.path("DCIM/100CANON/IMG_0002.JPG"), card.path("IMG_0001.JPG")};
    engineRunOf(session).hooks.beforeFile = [&](const QString &source) {
        if (swapped.contains(source)) {
            ASSERT_TRUE(QFile::remove(source));
            ASSERT_TRUE(QFile::link(secret, source));
        }
    };
    session.options.followLinks = false;
    EXPECT_THROW(fs.copyMatchingFiles(card.path("*.*"), into(), session), AppError);
    EXPECT_THROW(fs.copyMatchingFolders(card.path("*"), into(), session), AppError);
    fs.flushDestinations(session);
    for (const QString &name : {QString("DCIM/100CANON/IMG_0002.JPG"), QString("IMG_0001.JPG")}) {
        const QFileInfo copy(results.path(name));
        EXPECT_TRUE(!copy.exists() || copy.isSymLink()) << name.toStdString() << " arrived as a file";
    }
    EXPECT_EQ(TempTree::read(results.path(".hidden.dat")), "secret"); // the rest is copied
    EXPECT_EQ(TempTree::read(results.path("DCIM/100CANON/IMG_0003.JPG")), "");
    ASSERT_EQ(session.failures().size(), 2u);
    EXPECT_EQ(session.failures()[0].path, card.path("IMG_0001.JPG"));
    EXPECT_EQ(session.failures()[1].path, card.path("DCIM/100CANON/IMG_0002.JPG"));
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

// A listed folder holding links to where its copy goes (the destination, and the folder the copy
// makes there) is copied once, the links left out; and a destination reached through a link that
// leads into the folder itself is refused, as a destination inside it is.
TEST_P(CopyLinks, ToACardTheCopyNeverReachesItsOwnDestinationThroughALink)
{
    TempTree target;
    pc.write("album/photo.jpg", "pixels");
    ASSERT_TRUE(QFile::link(target.path(), pc.path("album/to-destination")));
    ASSERT_TRUE(QFile::link(target.path("album"), pc.path("album/to-its-copy"))); // made by the copy
    session.options.followLinks = true;
    EXPECT_NO_THROW(fs.copyFolder(pc.path("album"), target.path() + "/", session));
    fs.flushDestinations(session);
    QStringList copied; // links are not entered
    for (const auto &[entry, content] : snapshot(target.path()))
        copied << entry;
    EXPECT_EQ(copied, (QStringList{"/album", "/album/photo.jpg"}));
    EXPECT_TRUE(session.failures().empty());

    pc.mkdir("album/out");
    ASSERT_TRUE(QFile::link(pc.path("album/out"), target.path("shortcut")));
    EXPECT_THROW(fs.copyFolder(pc.path("album"), target.path("shortcut/"), session), AppError);
    EXPECT_TRUE(snapshot(pc.path("album/out")).empty());
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_TRUE(session.failures()[0].reason.startsWith("Cannot copy a folder into itself"));
}

HALVORIX_EVERY_WRITE_WAY(CopyLinks);
