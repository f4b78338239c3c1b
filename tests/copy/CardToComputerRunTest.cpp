// A card emptied onto the computer through the window: everything arrives, and what cannot be
// copied is named at the end.
#include "support/CopyRunFixture.h"

#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

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
