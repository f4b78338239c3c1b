// The transfer list's rows copied to the card through the window: each row exactly, and what cannot
// be copied is named at the end.
#include "support/CopyRunFixture.h"

#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

TEST_F(CopyRun, AFromPcFolderThatCannotBeMadeIsReportedOnceAndBlamedForEveryRow)
{
    pc.write("a.txt", "a");
    f.pickCardTarget();
    const QString notMade = f.card.path("gone/From_PC/");
    form->Text3->setText(notMade);
    addRows({pc.path("a.txt")}, "Is File");
    addRows({pc.path("folder/")}, "Is Folder");
    form->PushButton1_Click();
    EXPECT_TRUE(reportedAt(160));
    EXPECT_FALSE(reportedAt(178));
    const QString because = " (could not create " + notMade + ": No such file or directory)";
    EXPECT_EQ(texts().last(),
        "Done, but 2 item(s) could not be copied:\n" + pc.path("a.txt") + because + "\n" + pc.path("folder/")
            + because);
    EXPECT_FALSE(QFile::exists(notMade));
}

TEST_F(CopyRun, ComputerToCardCopiesRowsExactly)
{
    TempTree::setModified(pc.write("Work/Photos/a.jpg", "A"), kOld);
    pc.write("Work/Photos/sub/b.jpg", "B");
    pc.write("Work/Photos 2019/c.jpg", "C"); // a sibling whose name starts the same
    pc.write("Work/Other/d.jpg", "D");
    pc.write("one/same.txt", "from one");
    pc.write("two/same.txt", "from two");
    TempTree::setModified(pc.write("dropped.txt", "E"), kOld);
    f.pickCardTarget();
    addRows({pc.path("Work/Photos/"), pc.path("Work/Other")}, "Is Folder");
    addRows({pc.path("one/same.txt"), pc.path("two/same.txt")}, "Is File");
    addRows({pc.path("dropped.txt")}, "");
    f.card.write("From_PC/dropped.txt", "an older copy");
    form->PushButton1_Click();
    // Two rows of one name: the earlier copy stays, the later row is named as not copied.
    EXPECT_EQ(texts(),
        QStringList{"Done, but 1 item(s) could not be copied:\n" + pc.path("two/same.txt")
            + " (could not name " + fromPc()
            + "same.txt: An item of this copy already has that name there)"});
    EXPECT_EQ(TempTree::read(fromPc() + "Photos/a.jpg"), "A");
    EXPECT_EQ(QFileInfo(fromPc() + "Photos/a.jpg").lastModified(), kOld);
    EXPECT_EQ(TempTree::read(fromPc() + "Photos/sub/b.jpg"), "B");
    EXPECT_EQ(TempTree::read(fromPc() + "Other/d.jpg"), "D");
    EXPECT_FALSE(QFile::exists(fromPc() + "Photos 2019"));
    EXPECT_EQ(TempTree::read(fromPc() + "same.txt"), "from one");
    EXPECT_EQ(TempTree::read(fromPc() + "dropped.txt"), "E");
    EXPECT_EQ(form->transferList().count(), 5); // the list stays
    EXPECT_EQ(TempTree::read(pc.path("Work/Photos/a.jpg")), "A");
}

TEST_F(CopyRun, SubFolderRowsLandAgainDirectlyInTheDestination)
{
    pc.write("top/mid/x.txt", "x");
    f.pickCardTarget();
    addRows({pc.path("top/"), pc.path("top/mid/")}, "Is Folder");
    form->PushButton1_Click();
    EXPECT_TRUE(QFile::exists(fromPc() + "top/mid/x.txt"));
    EXPECT_TRUE(QFile::exists(fromPc() + "mid/x.txt"));
    EXPECT_EQ(texts(), QStringList{"Done."});
}

TEST_F(CopyRun, VanishedRowsAreCountedAndNamed)
{
    f.pickCardTarget();
    addRows({pc.path("gone.txt")}, "Is File");
    addRows({pc.path("gone-folder/")}, "Is Folder");
    pc.write("here.txt", "here");
    addRows({pc.path("here.txt")}, "Is File");
    form->PushButton1_Click();
    // The folder row reports at its copy (176 only sets the destination); the file row is quiet.
    EXPECT_TRUE(reportedAt(178));
    EXPECT_FALSE(reportedAt(176));
    EXPECT_EQ(f.ui.boxes.size(), 2u);
    const QString closing = texts().last();
    EXPECT_TRUE(closing.startsWith("Done, but 2 item(s) could not be copied:\n"));
    EXPECT_TRUE(closing.contains(pc.path("gone.txt") + " (No such file or directory)"));
    EXPECT_TRUE(closing.contains(pc.path("gone-folder")));
    EXPECT_EQ(TempTree::read(fromPc() + "here.txt"), "here");
}

TEST_F(CopyRun, AFileThatVanishesDuringTheRunIsCountedAndTheRestCopied)
{
    pc.write("album/1.jpg", "one");
    pc.write("album/2.jpg", "two");
    pc.write("album/3.jpg", "three");
    f.pickCardTarget();
    addRows({pc.path("album/")}, "Is Folder");
    QString vanished;
    f.fs.beforeEachFile = [&](const QString &source) {
        if (vanished.isEmpty()) { // while the first file is copied, another one is deleted
            for (const char *name : {"1.jpg", "2.jpg", "3.jpg"})
                if (!source.endsWith(name) && vanished.isEmpty() && QFile::remove(pc.path("album/") + name))
                    vanished = pc.path("album/") + name;
        }
    };
    form->PushButton1_Click();
    ASSERT_FALSE(vanished.isEmpty());
    EXPECT_TRUE(reportedAt(178));
    EXPECT_EQ(texts().last(),
        "Done, but 1 item(s) could not be copied:\n" + vanished + " (No such file or directory)");
    QDir copied(fromPc() + "album");
    EXPECT_EQ(copied.entryList(QDir::Files).size(), 2);
}
