// The copy on real card file systems: exFAT and FAT32 images mounted through FUSE, as a camera
// card or a stick is on a desktop without the kernel's drivers. What a tmpfs never shows shows
// here: names that differ only in case are one file, no unnamed files, times to two seconds, owners
// fixed by the mount, drivers that set a file's time anew when it is renamed.
#include "core/AppError.h"
#include "platform/posix/Machine.h"
#include "platform/posix/engine/EngineRun.h"
#include "platform/posix/engine/TemporaryNames.h"
#include "support/CardImage.h"
#include "support/Deadline.h"
#include "support/FormFixture.h"
#include "support/RealMedia.h"
#include "support/TempTree.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;

namespace {

const QDateTime kOld = QDateTime(QDate(2019, 6, 1), QTime(12, 30, 16), Qt::UTC);

class CardMedia : public ::testing::TestWithParam<CardImage::Kind> {
protected:
    std::unique_ptr<CardImage> card;
    TempTree pc;
    Machine fs{"/"};
    CopySession session;

    void SetUp() override
    {
        mount();
        if (!card->ready())
            HALVORIX_SKIP_WITHOUT(card->whyNot().toStdString());
    }
    void mount(const QString &options = QString())
    {
        card.reset();
        card = std::make_unique<CardImage>(GetParam(), options);
    }
    QString fromPc() const { return card->path("From_PC/"); }
};

} // namespace

// Three cameras' photos of one name, one of them in small letters: "Add All File(s) In Folder" on
// the camera backup, then Start Copying to the card. The card keeps the first row's photo, and the
// window names the other two, never a plain "Done."; a later run replaces what an earlier one left.
TEST_P(CardMedia, TheWindowNamesThePhotosThatCouldNotGoToTheCard)
{
    FormFixture f;
    f.fs.drives->at(0).root = card->path() + "/";
    f.card.write("unused", "");
    f.card.write("backup/100CANON/IMG_0001.JPG", "first camera");
    f.card.write("backup/101CANON/IMG_0001.JPG", "second camera");
    f.card.write("backup/102CANON/img_0001.jpg", "third camera");
    Form1 &form = f.load();
    f.pickCardTarget();
    f.ui.folderPicks.push_back(f.card.path("backup"));
    form.PushButton4_Click();
    ASSERT_EQ(form.transferList().count(), 3);
    form.PushButton1_Click();
    ASSERT_FALSE(f.ui.boxTexts().isEmpty());
    const QString closing = f.ui.boxTexts().last();
    EXPECT_TRUE(closing.startsWith("Done, but 2 item(s) could not be copied:\n")) << closing.toStdString();
    // The walk lists the folders in the file system's order: the first row's photo is the one kept.
    const std::vector<TransferItem> rows = form.transferList().items();
    const QStringList onCard = filesBelow(fromPc());
    ASSERT_EQ(onCard.size(), 1);
    EXPECT_EQ(onCard[0].toLower(), "img_0001.jpg");
    EXPECT_EQ(TempTree::read(fromPc() + onCard[0]), TempTree::read(rows[0].Text));
    EXPECT_FALSE(closing.contains(rows[0].Text));
    EXPECT_TRUE(closing.contains(rows[1].Text + " (could not name "));
    EXPECT_TRUE(closing.contains(rows[2].Text + " (could not name "));
    EXPECT_FALSE(hasTemporaryFiles(card->path()));

    QFile first(rows[0].Text);
    ASSERT_TRUE(first.open(QIODevice::WriteOnly) && first.write("edited") == 6);
    first.close();
    form.PushButton1_Click();
    EXPECT_EQ(TempTree::read(fromPc() + onCard[0]), "edited");
    EXPECT_TRUE(f.ui.boxTexts().last().startsWith("Done, but 2 item(s) could not be copied:\n"));
}

// Names that differ only in case inside one copied folder are one name on the card: one of each
// pair arrives, whole, and the other is named, whichever the folder listed first.
TEST_P(CardMedia, NamesThatDifferOnlyInCaseInsideAFolderAreNamedNotLost)
{
    pc.write("Trip/Photo.jpg", "upper");
    pc.write("Trip/photo.jpg", "lower");
    pc.write("Trip/Notes/a.txt", "upper notes");
    pc.write("Trip/notes/a.txt", "lower notes");
    pc.write("Trip/notes/b.txt", "only in lower");
    session.options.followLinks = true;
    fs.copyFolder(pc.path("Trip"), card->path() + "/", session);
    fs.flushDestinations(session); // files are named, and found taken, once on the card
    const std::vector<CopyFailure> failures = session.failures();
    ASSERT_EQ(failures.size(), 2u);
    QStringList failed;
    for (const CopyFailure &failure : failures) {
        failed << failure.path.mid(pc.path("Trip/").size());
        EXPECT_TRUE(failure.reason.endsWith(": An item of this copy already has that name there"));
    }
    failed.sort();
    // The photo that arrived is the one not named as failed, and it is whole.
    const bool upperPhotoFailed = failed.contains("Photo.jpg");
    EXPECT_TRUE(upperPhotoFailed != failed.contains("photo.jpg"));
    EXPECT_EQ(TempTree::read(card->path("Trip/photo.jpg")), upperPhotoFailed ? "lower" : "upper");
    const bool upperNotesFailed = failed.contains("Notes/a.txt");
    EXPECT_TRUE(upperNotesFailed != failed.contains("notes/a.txt"));
    EXPECT_EQ(
        TempTree::read(card->path("Trip/notes/a.txt")), upperNotesFailed ? "lower notes" : "upper notes");
    EXPECT_EQ(TempTree::read(card->path("Trip/notes/b.txt")), "only in lower"); // the folders merge
}

// Times are kept on the card, to its grain, although the driver sets them anew at a rename, and
// they stay after the card is unmounted and mounted again; a copied folder keeps its time too.
TEST_P(CardMedia, FilesAndFoldersKeepTheirTimesOnTheCard)
{
    TempTree::setModified(pc.write("DCIM/100CANON/IMG_0002.JPG", QByteArray(200000, 'p')), kOld);
    TempTree::setModified(pc.write("single.txt", "one"), kOld);
    TempTree::setModified(pc.path("DCIM/100CANON"), kOld);
    TempTree::setModified(pc.path("DCIM"), kOld);
    session.options.followLinks = true;
    fs.copyFolder(pc.path("DCIM"), card->path() + "/", session);
    fs.copyFile(pc.path("single.txt"), card->path("single.txt"), session);
    fs.flushDestinations(session);
    card->unmount();
    ASSERT_TRUE(card->mount()) << card->whyNot().toStdString();
    for (const char *name : {"DCIM/100CANON/IMG_0002.JPG", "single.txt", "DCIM/100CANON", "DCIM"}) {
        const qint64 kept = QFileInfo(card->path(name)).lastModified().toSecsSinceEpoch();
        EXPECT_LE(std::abs(kept - kOld.toSecsSinceEpoch()), card->timeGrainSeconds()) << name;
    }
    EXPECT_TRUE(session.failures().empty());
}

// A card the user may write but does not own (mounted by root for everybody, as an fstab line
// gives): the card refuses times and permissions from anyone but its owner, and the files are
// copied all the same, as cp copies them.
TEST_P(CardMedia, ACardTheUserMayWriteButDoesNotOwnTakesTheFiles)
{
    if (GetParam() == CardImage::Kind::ExFat) {
        mount("umask=000"); // root's, open to all
        ASSERT_TRUE(card->ready()) << card->whyNot().toStdString();
    }
    TempTree::setModified(pc.write("photos/a.jpg", "a photo"), kOld);
    ::chmod(pc.path().toUtf8().constData(), 0755);
    ::chmod(pc.path("photos").toUtf8().constData(), 0755);
    ::chmod(pc.path("photos/a.jpg").toUtf8().constData(), 0644);
    const int status = runInChild(true, 60s, "the unprivileged copy to end", [&] {
        Machine real("/");
        CopySession s;
        s.options.followLinks = true;
        try {
            real.copyFolder(pc.path("photos"), card->path() + "/", s);
            real.flushDestinations(s);
        } catch (const AppError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description()));
            return 3;
        }
        return s.failures().empty() ? 0 : 4;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TempTree::read(card->path("photos/a.jpg")), "a photo");
}

// A copy ended in the middle of a file (a card pulled out, a program ended by force) leaves its
// temporary file on the card; the next run into that folder leaves none.
TEST_P(CardMedia, NoTemporaryFileOutlivesTheNextRun)
{
    pc.write("DCIM/IMG_0003.JPG", QByteArray(600000, 'q'));
    pc.write("DCIM/IMG_0004.JPG", "small");
    const QString target = card->path() + "/";
    // A child copies until it is killed in the middle of the big file.
    const int status = runInChild(false, 60s, "the copy to be killed in the middle of a file", [&] {
        Machine real("/");
        CopySession s;
        s.options.followLinks = true;
        s.options.filesInFlight = 1;
        s.options.chunkBytes = 64 << 10;
        int chunks = 0;
        engineRunOf(s).hooks.beforeChunk = [&] {
            if (++chunks == 4)
                ::kill(::getpid(), SIGKILL);
        };
        real.copyFolder(pc.path("DCIM"), target, s);
        return 0;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    TemporaryNames earlier; // and one this process left in an earlier run, the card then pulled
    const QString ownLeftover = card->path("DCIM/" + QString::fromUtf8(earlier.next()));
    TempTree::read(ownLeftover);
    QFile(ownLeftover).open(QIODevice::WriteOnly);
    ASSERT_EQ(filesBelow(card->path()).filter(".halvorix-").size(), 2);

    session.options.followLinks = true;
    fs.copyFolder(pc.path("DCIM"), target, session);
    fs.flushDestinations(session);
    EXPECT_EQ(filesBelow(card->path()), (QStringList{"DCIM/IMG_0003.JPG", "DCIM/IMG_0004.JPG"}));
    EXPECT_EQ(TempTree::read(card->path("DCIM/IMG_0003.JPG")).size(), 600000);
    EXPECT_TRUE(session.failures().empty());
}

INSTANTIATE_TEST_SUITE_P(FileSystems, CardMedia,
    ::testing::Values(CardImage::Kind::ExFat, CardImage::Kind::Fat32),
    [](const ::testing::TestParamInfo<CardImage::Kind> &param) {
        return param.param == CardImage::Kind::ExFat ? "ExFat" : "Fat32";
    });
