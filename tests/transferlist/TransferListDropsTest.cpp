#include "support/Deadline.h"
#include "support/TransferListFixture.h"

#include <QMimeData>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;

namespace {

// Drag and drop onto the transfer list.
class TransferListDrops : public TransferListForm {
protected:
    struct Reception {
        bool entered = false, moved = false, dropped = false;
    };
    // Drags `data` onto the list and drops it there: what the list accepted.
    Reception offer(const QMimeData &data)
    {
        QWidget *target = form->ListView1->viewport();
        Reception took;
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        took.entered = enter.isAccepted();
        QDragMoveEvent move(QPoint(12, 12), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
        took.moved = move.isAccepted();
        QDropEvent drop(QPointF(12, 12), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        took.dropped = drop.isAccepted();
        return took;
    }
};

} // namespace

// A dropped dot folder is a folder, with or without its last separator.
TEST_F(TransferListDrops, DropOfAFileAndFoldersDotFoldersToo)
{
    const QString loose = src.write(".loose-hidden"); // hidden + archive, dropped itself: added
    src.write("dir/keep.txt");
    src.write("dir/~skip.txt");
    src.write("dir/.hiddenfile"); // exactly hidden + archive inside a dropped folder: left out
    src.write("dir/sub/deep.txt");
    src.mkdir("emptydir");
    src.write(".config/app/settings.ini");
    src.write(".thumbnails/t1.png");
    form->Option3->setChecked(true);
    form->ListView1_OLEDragDrop(
        {loose, src.path("dir"), src.path("emptydir"), src.path(".config"), src.path(".thumbnails/")});
    QStringList rows = relativeRows();
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "/.loose-hidden");
    rows.removeFirst();
    rows.sort();
    EXPECT_EQ(rows,
        QStringList(
            {"/.config/app/settings.ini", "/.thumbnails/t1.png", "/dir/keep.txt", "/dir/sub/deep.txt"}));
    EXPECT_EQ(f.rowMarkers(), QStringList(5, ""));
    form->Option4->setChecked(true);
    form->ListView1_OLEDragDrop({src.path("dir/")});
    EXPECT_EQ(form->transferList().count(), 7);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

// Memory that runs out in the middle of a huge drop loses that folder's rows, not the program.
TEST_F(TransferListDrops, ADropGoesOnPastAFailedAllocation)
{
    const QString before = src.write("before.txt"), after = src.write("after.txt");
    src.write("huge/sub/a.txt");
    f.fs.before = [&](const char *op, const QString &path) {
        if (QString(op) == "forEachSubFolder" && path.contains("/huge/sub"))
            throw std::bad_alloc();
    };
    EXPECT_NO_THROW(form->ListView1_OLEDragDrop({before, src.path("huge"), after}));
    EXPECT_EQ(f.rowTexts(), QStringList({before, after}));
}

// Only local files are taken from a drag: text, or addresses that are no local files, are refused.
TEST_F(TransferListDrops, ADragOfTextOrWebAddressesIsRefused)
{
    form->show();
    QMimeData text;
    text.setText("/not/a/file/list");
    EXPECT_FALSE(offer(text).entered);
    EXPECT_EQ(form->transferList().count(), 0);
    QMimeData web;
    web.setUrls({QUrl("https://example.org/a.jpg")});
    EXPECT_FALSE(form->ListView1_OLEDragOver(&web));
}

// While a copy runs (the pointer busy) the list is what is being copied: a drag onto it is
// refused, and what it carries is neither listed nor copied. Once the copy is over the same drop
// is taken.
TEST_F(TransferListDrops, ADropDuringACopyIsRefused)
{
    const QString big = src.write("big.bin", QByteArray(1 << 20, 'b'));
    const QString late = src.write("late.txt", "dropped during the copy");
    f.pickCardTarget();
    form->ListView1_OLEDragDrop({big});
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(late)});

    f.fs.chunkBytes = 64 << 10;
    std::atomic<int> chunks{0};
    std::atomic<bool> offered{false};
    Qt::CursorShape pointerMeanwhile = Qt::BlankCursor;
    Reception meanwhile;
    QStringList rowsMeanwhile;
    f.fs.beforeEachChunk = [&](CopySession &) {
        if (++chunks != 4)
            return;
        // On the window's thread, while the copy waits here.
        QMetaObject::invokeMethod(
            form,
            [&] {
                pointerMeanwhile = form->cursor().shape();
                meanwhile = offer(files);
                rowsMeanwhile = f.rowTexts();
                offered = true;
            },
            Qt::QueuedConnection);
        waitUntil([&] { return offered.load(); }, 10s, "the window's thread to answer during the copy");
    };
    form->show(); // drags reach a window on the screen
    form->PushButton1_Click();
    ASSERT_TRUE(offered) << "the window's thread did not answer during the copy";
    EXPECT_EQ(pointerMeanwhile, Qt::WaitCursor);
    EXPECT_FALSE(meanwhile.entered);
    EXPECT_FALSE(meanwhile.moved);
    EXPECT_FALSE(meanwhile.dropped);
    EXPECT_EQ(rowsMeanwhile, QStringList{big});
    EXPECT_EQ(f.ui.boxTexts(), QStringList{"Done."});
    EXPECT_EQ(f.rowTexts(), QStringList{big});
    EXPECT_EQ(TempTree::read(f.card.path("From_PC/big.bin")).size(), 1 << 20);
    EXPECT_FALSE(QFile::exists(f.card.path("From_PC/late.txt")));

    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    const Reception after = offer(files);
    EXPECT_TRUE(after.entered && after.moved && after.dropped);
    EXPECT_EQ(f.rowTexts(), QStringList({big, late}));
}
