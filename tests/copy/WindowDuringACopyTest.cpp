// The window while a copy runs: it paints and shows progress, refuses input, and a close ends the
// copy at once, leaving nothing half written.
#include "support/CopyRunFixture.h"
#include "support/Deadline.h"

#include <QMouseEvent>
#include <atomic>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;

TEST_F(CopyRun, WindowKeepsPaintingAndProgressMovesDuringTheCopy)
{
    pc.write("big.bin", QByteArray(4 << 20, 'b'));
    f.pickCardTarget();
    addRows({pc.path("big.bin")}, "Is File");
    f.fs.chunkBytes = 64 << 10;
    f.fs.aheadOfDevice = 256 << 10; // the bar counts what is on the device: let it move within the file
    std::atomic<int> chunks{0};
    std::atomic<bool> answered{false};
    int progressSeen = 0;
    const auto clickClearList = [&] {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent click(type, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(form->PushButton6, &click);
        }
    };
    f.fs.beforeEachChunk = [&](CopySession &) {
        if (++chunks != 32)
            return;
        // Half way: the window's thread must still handle events, and show progress.
        QMetaObject::invokeMethod(
            form,
            [&] {
                waitUntil([&] { return form->ProgressBar1->value() > 0; }, 5s,
                    "the bar to move during the copy", Meanwhile::HandleEvents);
                progressSeen = form->ProgressBar1->value();
                clickClearList(); // input is refused meanwhile: the click does nothing
                answered = true;
            },
            Qt::QueuedConnection);
        waitUntil([&] { return answered.load(); }, 10s, "the window's thread to answer during the copy");
    };
    form->show(); // clicks reach visible buttons only
    form->PushButton1_Click();
    // Half the data written and none read back yet: about a quarter of the whole work.
    EXPECT_GT(progressSeen, 150);
    EXPECT_LT(progressSeen, 500);
    EXPECT_EQ(texts(), QStringList{"Done."});
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(TempTree::read(fromPc() + "big.bin").size(), 4 << 20);
    EXPECT_EQ(form->transferList().count(), 1);
    clickClearList(); // once the copy is over, the same click clears the list
    EXPECT_EQ(form->transferList().count(), 0);
}

TEST_F(CopyRun, CloseDuringALongCopyLeavesNeitherAPartialNorATemporaryFile)
{
    pc.write("big.bin", QByteArray(2 << 20, 'n'));
    f.card.write("From_PC/big.bin", "the old copy");
    f.pickCardTarget();
    addRows({pc.path("big.bin")}, "Is File");
    f.fs.temporaryNames = true; // as on a FAT card: an unnamed file could not stay behind
    f.fs.chunkBytes = 64 << 10;
    std::atomic<int> chunks{0};
    f.fs.beforeEachChunk = [&](CopySession &session) {
        if (++chunks == 3)
            f.closeFrom(session);
    };
    f.expectStartEndedByTheClose(30s);
    EXPECT_TRUE(f.ui.programEnded);
    EXPECT_EQ(TempTree::read(fromPc() + "big.bin"), "the old copy");
    EXPECT_FALSE(hasTemporaryFiles(f.card.path())) << "a temporary file stayed on the card";
    EXPECT_TRUE(f.ui.boxes.empty()); // no "Done."
}
