// Media that lie (bench/slowmedium): a counterfeit card that stores less than it claims, a card
// that flips bits, a reader that fails a read and then works, a bad block. Every copy is read back
// from the device: "Done." only when all matched, each file that did not survive is named, and no
// name is left over a copy that differs from its original.
#include "support/CardImage.h"
#include "support/Deadline.h"
#include "support/FormFixture.h"
#include "support/RealMedia.h"
#include "support/SlowMedium.h"

#include <atomic>
#include <gtest/gtest.h>
#include <map>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;

namespace {

class LyingCard : public SlowCard {
protected:
    FormFixture f;
    Form1 *form = nullptr;
    std::map<QString, QByteArray> sources; // relative to the album folder

    // A card of 64 MiB (as it claims) with the file system `fsType`, shown as the window's card.
    void start(const QString &fsType)
    {
        startMedium(0, fsType);
        if (HasFatalFailure() || IsSkipped())
            return;
        f.fs.drives->at(0).root = medium.card() + "/";
        // The card drivers of the tests read their device through a cache of their own, which the
        // kernel's card drivers do not: the read-back must see the device.
        f.fs.beforeReadingBack = [this](CopySession &) { ASSERT_EQ(medium.dropDeviceCache(), ""); };
        form = &f.load();
    }

    // `count` files of `size` bytes in pc/album, listed as one folder row for the card.
    void listAlbum(int count, qsizetype size)
    {
        for (int i = 0; i < count; ++i) {
            const QString name = QString("IMG_%1.JPG").arg(i, 4, 10, QChar('0'));
            sources[name] = uniqueBytes(quint32(i + 1), size);
            pc.write("album/" + name, sources[name]);
        }
        f.pickCardTarget();
        form->transferList().append({pc.path("album/"), "Is Folder"});
    }

    QString closing() const { return f.ui.boxTexts().join("|"); }

    // After the run, as the card holds it once mounted again: the files named in the closing
    // warning are not on the card under their names, every other file is there and whole.
    // Returns how many were named.
    int expectNamedGoneAndTheRestWhole()
    {
        EXPECT_EQ(medium.remount(), "");
        const QString text = closing();
        int named = 0;
        for (const auto &[name, data] : sources) {
            const QString copy = medium.card() + "/From_PC/album/" + name;
            if (text.contains(pc.path("album/" + name) + " (")) {
                ++named;
                EXPECT_FALSE(QFile::exists(copy)) << name.toStdString() << ": a bad copy kept its name";
            } else {
                EXPECT_EQ(TempTree::read(copy), data) << name.toStdString() << " differs but was not named";
            }
        }
        EXPECT_FALSE(hasTemporaryFiles(medium.card()));
        return named;
    }
};

} // namespace

// A card that claims 64 MiB but stores 24: the later files wrap onto the earlier ones. The run
// never says "Done.", names every file that did not survive, and only those.
TEST_F(LyingCard, ACounterfeitCardNeverEndsInDoneAndNamesEveryLostFile)
{
    start("exfat");
    if (HasFatalFailure() || IsSkipped())
        return;
    ASSERT_TRUE(medium.setCapacity(24 << 20, 4 << 20)); // its own structures stay in the first 4 MiB
    listAlbum(10, 4 << 20);
    form->PushButton1_Click();
    EXPECT_FALSE(closing().contains("Done.")) << closing().toStdString();
    EXPECT_TRUE(closing().contains("smaller than it claims")) << closing().toStdString();
    const int named = expectNamedGoneAndTheRestWhole();
    EXPECT_GT(named, 0);
    EXPECT_LT(named, 10) << "files past the wrap survive, and must not be named";
}

// A FAT card that flips a bit in some of what it stores: those copies are named and removed.
TEST_F(LyingCard, CopiesTheCardStoredWronglyAreNamedAndRemoved)
{
    start("vfat");
    if (HasFatalFailure() || IsSkipped())
        return;
    ASSERT_TRUE(medium.flipWrites(3, 128 << 10, 4 << 20)); // data, not the file system's tables
    listAlbum(6, 1 << 20);
    form->PushButton1_Click();
    EXPECT_GT(medium.stats().flipped, 0);
    EXPECT_TRUE(closing().contains("differs from the original")) << closing().toStdString();
    EXPECT_GT(expectNamedGoneAndTheRestWhole(), 0);
}

// A computer's disk that flips bits in what it stores while the first half of a large file is
// written: the copy is read back as it is written, from the disk, and named as differing.
TEST_F(LyingCard, ACopyTheDiskStoredWronglyIsNamedWhenItWasReadBackWhileWritten)
{
    startMedium(0, "ext4");
    if (HasFatalFailure() || IsSkipped())
        return;
    f.fs.drives->at(1).root = medium.card() + "/";
    f.fs.aheadOfDevice = 4 << 20; // read back 1 MiB behind the writing
    form = &f.load();
    const QByteArray data = uniqueBytes(21, 12 << 20);
    f.card.write("DCIM/clip.mov", data);
    ASSERT_TRUE(medium.flipWrites(2, 128 << 10, 0));
    int chunks = 0;
    f.fs.beforeEachChunk = [&](CopySession &) { // 6 MiB written: the tail reaches the disk whole
        if (++chunks == 48) {
            ASSERT_TRUE(medium.flipWrites(0, 0, 0));
        }
    };
    f.pickCardToComputer();
    const QString results = form->Text1->text();
    form->PushButton1_Click();
    EXPECT_GT(medium.stats().flipped, 0);
    EXPECT_TRUE(closing().contains(f.card.path("DCIM/clip.mov") + " (could not verify " + results
        + "DCIM/clip.mov: The copy differs from the original: the disk may be failing)"))
        << closing().toStdString();
    EXPECT_FALSE(QFile::exists(results + "DCIM/clip.mov"));
    EXPECT_FALSE(hasTemporaryFiles(medium.card()));
}

// From a card whose reader fails some reads: a read that fails for a moment and then works is
// tried again until the copy is whole and verified; a bad block fails its file alone, which is
// named and leaves nothing behind, and the rest is copied.
TEST_F(LyingCard, AFlakyReadIsTriedAgainAndABadBlockFailsOnlyItsFile)
{
    start("exfat");
    if (HasFatalFailure() || IsSkipped())
        return;
    const QString dcim = medium.card() + "/DCIM/";
    sources = {{"flaky.jpg", uniqueBytes(11, 2 << 20)}, {"bad.jpg", uniqueBytes(12, 2 << 20)},
        {"fine.jpg", uniqueBytes(13, 1 << 20)}};
    QDir().mkpath(dcim);
    for (const auto &[name, data] : sources) {
        QFile file(dcim + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    }
    ASSERT_EQ(medium.remount(), ""); // the card as the reader sees it, nothing cached
    const qint64 flaky = medium.offsetInImage(sources["flaky.jpg"].mid(1 << 20, 4096));
    const qint64 bad = medium.offsetInImage(sources["bad.jpg"].mid(1 << 20, 4096));
    ASSERT_GE(flaky, 0);
    ASSERT_GE(bad, 0);
    // A contact lost for a quarter second: longer than the kernel's own tries of a read take,
    // shorter than the program's.
    ASSERT_TRUE(medium.failReadsFor(flaky, 250));
    ASSERT_TRUE(medium.failReads(bad, SlowMedium::kAlways));
    f.pickCardToComputer();
    const QString results = form->Text1->text();
    form->PushButton1_Click();
    const QStringList boxes = f.ui.boxTexts();
    ASSERT_EQ(boxes.size(), 2) << closing().toStdString(); // the step's report, then the warning
    EXPECT_TRUE(boxes[1].startsWith("Done, but 1 item(s) could not be copied:\n")) << boxes[1].toStdString();
    EXPECT_TRUE(boxes[1].contains(dcim + "bad.jpg (The card could not be read")) << boxes[1].toStdString();
    EXPECT_EQ(filesBelow(results), (QStringList{"DCIM/fine.jpg", "DCIM/flaky.jpg"}));
    EXPECT_EQ(TempTree::read(results + "DCIM/flaky.jpg"), sources["flaky.jpg"]);
    EXPECT_EQ(TempTree::read(results + "DCIM/fine.jpg"), sources["fine.jpg"]);
}

// A close while the copies are read back ends the program at once (the read-back of the card
// alone would take half a minute) and leaves no temporary file.
TEST_F(LyingCard, ACloseDuringTheReadBackEndsAtOnce)
{
    start("exfat");
    if (HasFatalFailure() || IsSkipped())
        return;
    listAlbum(4, 4 << 20);
    f.fs.beforeReadingBack = [this](CopySession &session) {
        ASSERT_EQ(medium.dropDeviceCache(), "");
        ASSERT_TRUE(medium.setReadRate(512 << 10));
        f.closeFrom(session);
    };
    f.expectStartEndedByTheClose(20s);
    EXPECT_TRUE(f.ui.boxes.empty()) << closing().toStdString();
    EXPECT_TRUE(medium.setReadRate(0));
    EXPECT_FALSE(hasTemporaryFiles(medium.card()));
}

// A close in the middle of a copy to a card: when the program ends, no temporary file is left on
// the card (those of files written but not yet named are removed as well).
TEST(ClosingACopyToACard, LeavesNoTemporaryFileWhenTheProgramEnds)
{
    CardImage card(CardImage::Kind::ExFat);
    if (!card.ready())
        HALVORIX_SKIP_WITHOUT(card.whyNot().toStdString());
    TempTree pc;
    for (int i = 0; i < 6; ++i)
        pc.write(QString("album/%1.jpg").arg(i), uniqueBytes(quint32(i + 1), 1 << 20));
    FormFixture f;
    f.loadCopyingToCard(card.path(), pc.path("album/"));
    f.fs.filesInFlight = 1;
    f.fs.aheadOfDevice = 64 << 20; // the complete files wait to be named in one batch
    std::atomic<int> files{0};
    f.fs.beforeEachChunk = [&](CopySession &session) { // a chunk a file: the fifth file's first
        if (++files == 5)
            f.closeFrom(session);
    };
    bool temporaryAtTheEnd = true;
    f.ui.onEndProgram = [&] { temporaryAtTheEnd = hasTemporaryFiles(card.path()); };
    f.expectStartEndedByTheClose(60s);
    EXPECT_FALSE(temporaryAtTheEnd) << "temporary files were on the card as the program ended";
}
