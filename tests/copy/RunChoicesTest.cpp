// Start Copying checks the choices first: each missing one is named, and the results folder must be
// a full path or one in the home folder.
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
