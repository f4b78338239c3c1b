// Start Copying through the window: the choices checked first (each missing one named, the
// results folder a full path or one in the home folder); a card emptied onto the computer, or the
// transfer list's rows copied to the card, each row exactly; what cannot be copied named at the end.
#include "support/CopyRunFixture.h"
#include "support/FakeSystem.h"

#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

// Each choice missing is named in a warning, in the order of the window, and the focus goes to the
// list it names ("Could not copy." leaves it where it was); nothing is made meanwhile.
TEST_F(CopyRun, EachMissingChoiceIsNamedAndTheFocusGoesToItsList)
{
    form->show();
    form->activateWindow();
    auto pressStartFrom = [&](QWidget *focused) {
        focused->setFocus();
        form->PushButton1_Click();
        return form->focusWidget();
    };
    EXPECT_EQ(pressStartFrom(form->Text1), form->Combo1);
    EXPECT_EQ(texts(), QStringList{"You must select USB Flash Drive."});
    form->Combo1->setCurrentIndex(0);
    EXPECT_EQ(pressStartFrom(form->Text1), form->Combo2);
    EXPECT_EQ(texts().last(), "You must select Hard Drive.");
    form->Combo2->setCurrentIndex(0);
    form->Text1->setText("   ");
    EXPECT_EQ(pressStartFrom(form->PushButton2), form->PushButton2);
    EXPECT_EQ(texts().last(), "Could not copy.");
    EXPECT_FALSE(QFile::exists(results()));

    form->Option2->setChecked(true);
    EXPECT_EQ(pressStartFrom(form->Text3), form->Combo3);
    EXPECT_EQ(texts().last(), "You must select USB Flash Drive.");
    form->Combo3->setCurrentIndex(0);
    form->Text3->setText("  ");
    EXPECT_EQ(pressStartFrom(form->ListView1), form->ListView1);
    EXPECT_EQ(texts().last(), "Could not copy.");
    ASSERT_EQ(f.ui.boxes.size(), 5u);
    for (const auto &box : f.ui.boxes)
        EXPECT_EQ(box.style, kStyleWarning);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

// "~/" is the home folder; a relative results folder is refused before anything is made, never
// made below wherever the program was started from.
TEST_F(CopyRun, ResultsFolderTypedFromTheHomeFolderOrRelative)
{
    TempTree home, startedIn;
    const ScopedHome homeFolder(home.path());
    const struct Restore {
        QString current = QDir::currentPath();
        ~Restore() { QDir::setCurrent(current); }
    } restore;
    ASSERT_TRUE(QDir::setCurrent(startedIn.path()));
    f.pickCardToComputer();

    form->Text1->setText("~/HXBackup/");
    form->PushButton1_Click();
    EXPECT_EQ(texts(), QStringList{"Done."});
    EXPECT_EQ(TempTree::read(home.path("HXBackup/IMG_0001.JPG")), "first photo");
    EXPECT_EQ(TempTree::read(home.path("HXBackup/DCIM/100/IMG_0002.JPG")), "second photo");

    form->Text1->setText("HXBackup/");
    form->PushButton1_Click();
    ASSERT_EQ(f.ui.boxes.size(), 2u);
    EXPECT_EQ(f.ui.boxes[1].style, kStyleWarning);
    EXPECT_NE(f.ui.boxes[1].title, "Application Error");
    EXPECT_TRUE(texts().last().startsWith("Could not copy to \"HXBackup/\": the results folder must be"));
    EXPECT_TRUE(QDir(startedIn.path()).isEmpty()) << "made below the working folder";
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

// The card's From_PC folder is made before the list is looked at, empty or not.
TEST_F(CopyRun, ComputerToCardWithAnEmptyListSaysSo)
{
    f.pickCardTarget();
    form->PushButton1_Click();
    EXPECT_EQ(texts(), QStringList{"No files added."});
    EXPECT_TRUE(QFileInfo(fromPc()).isDir());
    EXPECT_EQ(form->ProgressBar1->value(), 0);
}

TEST_F(CopyRun, CardToComputerCopiesEverythingAndSaysDone)
{
    TempTree::setModified(f.card.write(".hidden", "h"), kOld);
    int flushesBeforeDone = -1;
    f.ui.onBox = [&](const MessageBoxRequest &box) {
        if (box.text == "Done.")
            flushesBeforeDone = f.fs.flushes;
    };
    f.pickCardToComputer();
    ASSERT_EQ(form->Text1->text(), results());
    form->PushButton1_Click();
    EXPECT_EQ(texts(), QStringList{"Done."});
    EXPECT_EQ(f.ui.boxes[0].style, kStyleOk);
    EXPECT_EQ(TempTree::read(results() + "IMG_0001.JPG"), "first photo");
    EXPECT_EQ(TempTree::read(results() + "DCIM/100/IMG_0002.JPG"), "second photo");
    EXPECT_EQ(QFileInfo(results() + "DCIM/100/IMG_0002.JPG").lastModified(), kOld);
    EXPECT_EQ(TempTree::read(results() + ".hidden"), "h");
    EXPECT_EQ(flushesBeforeDone, 1); // on the medium before "Done." is said
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    form->PushButton1_Click(); // again: existing files are replaced, still "Done."
    EXPECT_EQ(texts().last(), "Done.");
}

TEST_F(CopyRun, CardWithoutFoldersIsNoFailureAndHiddenFilesAloneAreStillCopied)
{
    TempTree onlyHidden;
    onlyHidden.write(".nomedia", "");
    f.fs.drives->at(0).root = onlyHidden.path() + "/";
    form = &f.load();
    f.pickCardToComputer();
    form->PushButton1_Click();
    EXPECT_EQ(f.ui.boxTexts(), QStringList{"Done."});
    EXPECT_TRUE(QFileInfo(f.disk.path("CARD")).isDir());
    EXPECT_TRUE(QFile::exists(f.disk.path("CARD/.nomedia"))); // not left behind under "Done."
}

// A results folder that cannot be made is reported once, at its line; every item of the card is
// then named as not copied for that reason, never as a card file that is "not found".
TEST_F(CopyRun, AResultsFolderThatCannotBeMadeIsReportedOnceAndBlamedForEveryItem)
{
    f.pickCardToComputer();
    const QString notMade = f.disk.path("no/such/parent/");
    form->Text1->setText(notMade);
    form->PushButton1_Click();
    EXPECT_TRUE(reportedAt(122));
    EXPECT_FALSE(reportedAt(126));
    EXPECT_FALSE(reportedAt(136));
    ASSERT_EQ(f.ui.boxes.size(), 2u);
    EXPECT_TRUE(f.ui.boxes[0].text.startsWith("No such file or directory: " + notMade));
    EXPECT_FALSE(f.ui.boxes[0].text.contains("Please email")); // the short form
    const QString because = " (could not create " + notMade + ": No such file or directory)";
    QStringList lines = texts().last().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.takeFirst(), "Done, but 2 item(s) could not be copied:");
    lines.sort(); // in the card's own order
    EXPECT_EQ(lines, (QStringList{f.card.path("DCIM") + because, f.card.path("IMG_0001.JPG") + because}));
    EXPECT_EQ(f.ui.boxes.back().style, kStyleWarning);
}

// A failing card on top of that: its root cannot be listed either. That is reported at its line
// too, the card is named whole, and the window stays (and closes as ever).
TEST_F(CopyRun, AResultsFolderThatCannotBeMadeOnACardThatCannotBeListedLeavesTheWindowUp)
{
    f.pickCardToComputer();
    form->Text1->setText(f.disk.path("no/such/parent/"));
    const QString cardRoot = f.card.path() + "/";
    f.fs.before = [&](const char *op, const QString &pattern) {
        if (QString(op) == "list" && pattern == cardRoot + "*")
            throw systemError(EIO, FailedAction::Reading, cardRoot);
    };
    ASSERT_NO_THROW(form->PushButton1_Click());
    EXPECT_TRUE(reportedAt(122));
    EXPECT_TRUE(reportedAt(124));
    EXPECT_TRUE(texts().last().startsWith(
        "Done, but 1 item(s) could not be copied:\n" + cardRoot + " (could not create"))
        << texts().last().toStdString();
    form->close(); // asks no copy to stop: the run is over
    EXPECT_TRUE(f.ui.programEnded);
}

TEST_F(CopyRun, UnreadableFileOnTheCardIsReportedOnceAndNamedAtTheEnd)
{
    f.card.write("DCIM/100/IMG_0003.JPG", "third");
    f.fs.beforeEachFile = [](const QString &source) {
        if (source.endsWith("IMG_0003.JPG"))
            throw systemError(EACCES, FailedAction::Reading, source);
    };
    f.pickCardToComputer();
    form->PushButton1_Click();
    ASSERT_EQ(f.ui.boxes.size(), 2u);
    EXPECT_TRUE(reportedAt(136));
    EXPECT_EQ(texts().last(),
        "Done, but 1 item(s) could not be copied:\n" + f.card.path("DCIM/100/IMG_0003.JPG")
            + " (Permission denied)");
    EXPECT_EQ(TempTree::read(results() + "DCIM/100/IMG_0002.JPG"), "second photo");
}

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
    // A sub-folder row lands again directly in the destination.
    addRows({pc.path("Work/Photos/"), pc.path("Work/Other"), pc.path("Work/Photos/sub/")}, "Is Folder");
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
    EXPECT_EQ(TempTree::read(fromPc() + "sub/b.jpg"), "B");
    EXPECT_EQ(TempTree::read(fromPc() + "Other/d.jpg"), "D");
    EXPECT_FALSE(QFile::exists(fromPc() + "Photos 2019"));
    EXPECT_EQ(TempTree::read(fromPc() + "same.txt"), "from one");
    EXPECT_EQ(TempTree::read(fromPc() + "dropped.txt"), "E");
    EXPECT_EQ(form->transferList().count(), 6); // the list stays
    EXPECT_EQ(TempTree::read(pc.path("Work/Photos/a.jpg")), "A");
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
