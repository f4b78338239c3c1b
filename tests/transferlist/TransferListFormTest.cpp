#include "core/AppError.h"
#include "core/StepRunner.h"
#include "support/TransferListFixture.h"
#include "transferlist/CommonDialog.h"

#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

// A desktop dialog's recent files or search results come from several folders: each row is the
// file chosen, never a file of the same name in the first one's folder. The dialog hands them over
// as the folder they share and the names below it, one separator apart also at the root.
TEST_F(TransferListForm, AddFilesOneSeveralFromSeveralFoldersBadAndCancelled)
{
    const QString a = src.write("a.txt"), b = src.write("b.txt");
    form->PushButton5_Click(); // cancelled
    EXPECT_EQ(form->transferList().count(), 0);
    ASSERT_EQ(f.ui.fileDialogs.size(), 1u);
    EXPECT_EQ(f.ui.fileDialogs[0].title, "Add File(s) - Hold Ctrl to select multiple files");
    EXPECT_EQ(f.ui.fileDialogs[0].filter, "All Files (*.*)|*.*|");
    EXPECT_TRUE(f.ui.fileDialogs[0].multiSelect);

    const QString x = src.write("one/x.txt"), y = src.write("two/deeper/y.txt"), z = src.write("one/z.txt");
    src.write("one/y.txt", "a different file of the same name");
    const QString root = src.write("r.txt");
    f.ui.fileDialogResults
        = {{a}, {a, src.path("bad") + QChar::ReplacementCharacter, b}, {a}, {x, y, z}, {y, root}};
    for (int i = 0; i < 5; ++i)
        form->PushButton5_Click(); // the third the same file again: a second row
    EXPECT_EQ(f.rowTexts(), QStringList({a, a, b, a, x, y, z, y, root}));
    EXPECT_EQ(f.rowMarkers(), QStringList(9, "Is File"));
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].rawText,
        src.path("bad") + QChar::ReplacementCharacter
            + "\r\rwas not added because it has bad characters in the filename.");
    EXPECT_EQ(f.ui.boxes[0].style, kStyleOk);
    EXPECT_EQ(f.ui.boxes[0].title, "Halvorix");
    EXPECT_EQ(combinedFileName({"/a", "/b"}), QString("/") + QChar(0) + "a" + QChar(0) + "b");
    EXPECT_EQ(combinedFileName({"/etc/hostname", "/usr/share/x"}),
        QString("/") + QChar(0) + "etc/hostname" + QChar(0) + "usr/share/x");
    EXPECT_EQ(combinedFileName({"/ab/x", "/a/y"}), QString("/") + QChar(0) + "ab/x" + QChar(0) + "a/y");
}

TEST_F(TransferListForm, TooManyFilesAddNothingThousandsFit)
{
    QStringList many;
    for (int i = 0; i < 5000; ++i)
        many << src.path(QString("photo_%1_with_a_longish_name.jpg").arg(i, 5, 10, QChar('0')));
    CommonDialog dialog;
    FakeUi ui;
    ui.fileDialogResults = {many};
    EXPECT_NO_THROW(dialog.ShowOpen(ui)); // thousands of names fit

    QStringList tooMany;
    for (int i = 0; i < 30000; ++i)
        tooMany << src.path(QString("a_rather_long_file_name_number_%1.jpg").arg(i, 6, 10, QChar('0')));
    f.ui.fileDialogResults = {tooMany};
    form->PushButton5_Click();
    EXPECT_EQ(form->transferList().count(), 0);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].rawText,
        "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
}

// Folder mode numbers its statements through 168: the row at 164, the pointer back at 168.
TEST_F(TransferListForm, AddFolderModeRowsAndAFailedRowReportedAt164)
{
    form->Option4->setChecked(true);
    f.ui.folderPicks = {"/", src.path("Photos"), "", src.path("Photos")};
    form->PushButton5_Click();
    form->PushButton5_Click();
    form->PushButton5_Click(); // cancelled
    EXPECT_EQ(f.rowTexts(), QStringList({"/", src.path("Photos/")}));
    EXPECT_EQ(f.rowMarkers(), QStringList(2, "Is Folder"));
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(f.ui.boxes.empty());
    const QMetaObject::Connection failing = QObject::connect(&form->transferList(),
        &QAbstractItemModel::rowsInserted, [] { throw AppError(kPathFileAccessError, "the list is full"); });
    form->PushButton5_Click();
    QObject::disconnect(failing);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_TRUE(
        f.ui.boxes[0].text.startsWith("the list is full\nin Tesmarin2016/11/03.Form1.PushButton5_Click "
                                      "at line 164"));
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(TransferListForm, AddAllFilesInFolderSkipsTildeNamesKeepsHiddenFilesAndAnEmptyOneAddsNothing)
{
    src.write("top.txt");
    src.write("~lock.txt");
    src.write(".hidden");
    src.write("sub/inner.txt");
    src.write("sub/~tmp");
    src.write("sub/deeper/last.txt");
    src.mkdir("empty");
    // The last ends with "/" as a root does.
    f.ui.folderPicks = {src.path("empty"), src.path(), src.path() + "/"};
    form->PushButton4_Click(); // an empty folder: nothing added, nothing shown
    EXPECT_EQ(form->transferList().count(), 0);
    form->PushButton4_Click();
    QStringList rows = relativeRows();
    rows.sort();
    EXPECT_EQ(rows, QStringList({"/.hidden", "/sub/deeper/last.txt", "/sub/inner.txt", "/top.txt"}));
    EXPECT_EQ(relativeRows().mid(0, 2).filter("sub").size(), 0); // the chosen folder's files come first
    form->PushButton4_Click();
    EXPECT_EQ(form->transferList().count(), 8); // twice the same folder: listed twice
    for (const QString &row : f.rowTexts())
        EXPECT_FALSE(row.contains("//")) << row.toStdString();
    EXPECT_EQ(f.rowMarkers(), QStringList(8, "Is File"));
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(f.ui.boxes.empty());
}

TEST_F(TransferListForm, AddAllFoldersInFolderRowsInWalkOrder)
{
    src.mkdir("a/a1");
    src.mkdir("b");
    form->Option4->setChecked(true);
    f.ui.folderPicks = {src.path(), src.path("b")};
    form->PushButton4_Click();
    const QStringList rows = relativeRows();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], "/");
    QStringList firstLevel = {rows[1], rows[2]}; // in the order the folder lists them
    firstLevel.sort();
    EXPECT_EQ(firstLevel, QStringList({"/a/", "/b/"}));
    EXPECT_EQ(rows[3], "/a/a1/");
    form->PushButton4_Click(); // a folder without sub-folders: exactly one row
    EXPECT_EQ(relativeRows().last(), "/b/");
    EXPECT_EQ(f.rowMarkers(), QStringList(5, "Is Folder"));
}

TEST_F(TransferListForm, ListingFailureIsReportedAndTheOtherFoldersStillAdd)
{
    src.write("ok/file.txt");
    src.write("broken/file.txt");
    f.fs.before = [&](const char *op, const QString &path) {
        // A folder that fails to read: the walk keeps it, its listing then fails too.
        if ((QString(op) == "list" || QString(op) == "forEachSubFolder") && path.contains("/broken/"))
            throw AppError(kDeviceIoError, "Input/output error: " + path);
    };
    f.ui.folderPicks = {src.path()};
    form->PushButton4_Click();
    EXPECT_EQ(relativeRows(), QStringList{"/ok/file.txt"});
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_TRUE(f.ui.boxes[0].text.contains("PushButton4_Click at line 116"));
}

// During a walk a double click is refused and Clear List carried out, and the walk's rows stay.
TEST_F(TransferListForm, DoubleClickRemovesTheSelectedRowAndClearListEmptiesTheListAlsoDuringAWalk)
{
    form->ListView1_DblClick(); // empty list: nothing
    form->ListView1_OLEDragDrop({"/one", "/two", "/three"});
    form->ListView1_DblClick(); // nothing selected
    EXPECT_EQ(form->transferList().count(), 3);
    select(1);
    form->ListView1_DblClick();
    EXPECT_EQ(f.rowTexts(), QStringList({"/one", "/three"}));
    form->PushButton6_Click();
    EXPECT_EQ(form->transferList().count(), 0);
    form->PushButton6_Click(); // empty: nothing, no message
    EXPECT_TRUE(f.ui.boxes.empty());

    src.write("a/file.txt");
    src.write("b/file.txt");
    form->ListView1_OLEDragDrop({"/earlier"});
    select(0);
    const int yieldsBefore = f.ui.yields;
    f.ui.onYield = [&] {
        if (f.ui.yields == yieldsBefore + 1) {
            form->ListView1_DblClick(); // busy: refused
            EXPECT_EQ(form->transferList().count(), 1);
            form->PushButton6_Click(); // carried out
        }
    };
    f.ui.folderPicks = {src.path()};
    form->PushButton4_Click();
    QStringList rows = relativeRows();
    rows.sort();
    EXPECT_EQ(rows, QStringList({"/a/file.txt", "/b/file.txt"}));
}

TEST_F(TransferListForm, CloseDuringAWalkEndsTheProgramAtOnce)
{
    src.mkdir("a/b/c");
    f.ui.onYield = [&] {
        if (f.ui.yields == 2)
            form->close();
    };
    f.ui.folderPicks = {src.path()};
    EXPECT_THROW(form->PushButton4_Click(), ProgramEnded);
    EXPECT_TRUE(f.ui.programEnded);
    EXPECT_EQ(f.ui.yields, 2);
    EXPECT_EQ(form->transferList().count(), 0);
}

// Without a Samples folder nothing is added, but the question comes all the same.
TEST_F(TransferListForm, SampleFilesAddedAndTheirFolderOffered)
{
    form->PushButton3_Click(); // no Samples folder yet: the user answers No
    EXPECT_EQ(form->transferList().count(), 0);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].title, "Halvorix");
    EXPECT_TRUE(f.ui.shellOpened.empty());
    f.ui.boxes.clear();
    f.appFolder.write("Samples/one.txt");
    f.appFolder.write("Samples/.hidden.txt");
    f.appFolder.mkdir("Samples/sub");
    f.ui.boxAnswers = {kAnswerYes, kAnswerNo};
    form->PushButton3_Click();
    QStringList rows = f.rowTexts();
    rows.sort();
    EXPECT_EQ(
        rows, QStringList({f.appFolder.path("Samples/.hidden.txt"), f.appFolder.path("Samples/one.txt")}));
    EXPECT_EQ(f.rowMarkers(), QStringList(2, ""));
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].style, kStyleYesNo);
    EXPECT_TRUE(f.ui.boxes[0].text.startsWith("Would you like this software to open the folder"));
    EXPECT_EQ(f.ui.shellOpened, std::vector<QString>{f.appFolder.path("Samples/")});
    form->PushButton3_Click(); // No: rows stay, nothing opened; pressing twice lists twice
    EXPECT_EQ(form->transferList().count(), 4);
    EXPECT_EQ(f.ui.shellOpened.size(), 1u);
}
