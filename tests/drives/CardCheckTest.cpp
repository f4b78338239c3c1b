// The card is still the card: Start Copying writes nothing, in either direction, unless the chosen
// card's root is still the mount point of the drive that was listed.
#include "support/FakeSystem.h"
#include "support/RealMedia.h"

#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace halvorix;
using namespace halvorix::test;

namespace {

// A fixed drive and a card at mnt/sdcard (a mount folder that stays when the card goes, as one
// named in fstab does), and a file on the computer to copy to the card.
class CardCheck : public ::testing::Test {
protected:
    FakeSystem sys;
    TempTree pc;
    std::unique_ptr<SysrootForm> w;

    void SetUp() override
    {
        sys.disk("sda", "8:0", "0");
        sys.mount("8:0", "disk", "ext4", "/dev/sda");
        sys.disk("sdb", "8:16", "1");
        sys.partition("sdb", "sdb1", "8:17");
        sys.label("CARD", "sdb1");
        sys.uuid("1A2B-3C4D", "sdb1");
        sys.mount("8:17", "sdcard", "vfat", "/dev/sdb1");
        sys.root.write("mnt/sdcard/DCIM/IMG_0001.JPG", "photo");
        pc.write("report.txt", "report");
        w = std::make_unique<SysrootForm>(sys.root.path());
        ASSERT_EQ(w->form.Combo1->count(), 1);
    }

    QString card() const { return sys.mountPoint("sdcard"); }
    QString results() const { return sys.mountPoint("disk") + "/CARD"; }

    void startCardToComputer()
    {
        w->form.Option1->setChecked(true);
        w->pickCardToComputer(0, 0);
        ASSERT_EQ(w->form.Text1->text(), results() + "/");
        w->form.PushButton1_Click();
    }
    void startComputerToCard()
    {
        w->form.Option2->setChecked(true);
        w->form.Combo3->setCurrentIndex(0);
        w->form.transferList().append({pc.path("report.txt"), "Is File"});
        w->form.PushButton1_Click();
    }
    // One warning naming the card (then cleared); nothing created on either side; the window at rest.
    void expectToldAndNothingWritten()
    {
        ASSERT_EQ(w->ui.boxes.size(), 1u) << w->ui.boxTexts().join('\n').toStdString();
        EXPECT_EQ(w->ui.boxes[0].style, kStyleWarning);
        EXPECT_TRUE(w->ui.boxes[0].text.contains("CARD (" + card() + ")"))
            << w->ui.boxes[0].text.toStdString();
        EXPECT_FALSE(QFileInfo::exists(results()));
        EXPECT_FALSE(QFileInfo::exists(card() + "/From_PC"));
        EXPECT_EQ(w->form.cursor().shape(), Qt::ArrowCursor);
        EXPECT_EQ(w->form.ProgressBar1->value(), 0);
        w->ui.boxes.clear();
    }
};

} // namespace

TEST_F(CardCheck, AnotherCardInTheSameSlotReceivesNothing)
{
    // Same slot, same /dev/sdb1, another file system.
    sys.removeUuid("1A2B-3C4D");
    sys.uuid("5E6F-7A8B", "sdb1");
    startComputerToCard();
    expectToldAndNothingWritten();
    startCardToComputer();
    expectToldAndNothingWritten();
}

TEST_F(CardCheck, AnotherDeviceMountedOnTheCardsFolderReceivesNothing)
{
    sys.unmount("sdcard");
    sys.disk("sdc", "8:32", "1");
    sys.partition("sdc", "sdc1", "8:33");
    sys.uuid("1A2B-3C4D", "sdc1"); // even with the same serial number
    sys.mount("8:33", "sdcard", "vfat", "/dev/sdc1");
    startComputerToCard();
    expectToldAndNothingWritten();
}

// A real mount: the folder is a card's root while the tmpfs is mounted there, and a plain folder
// on the computer's own disk once it is unmounted, though the mount table that discovery read
// still names it.
TEST(CardCheckReal, AFolderWhoseMountIsGoneReceivesNothing)
{
    if (::geteuid() != 0)
        HALVORIX_SKIP_WITHOUT("mounting a tmpfs needs root");
    FakeSystem sys;
    TempTree pc;
    pc.write("report.txt", "report");
    const QString point = sys.root.mkdir("mnt/card");
    struct stat folder { };
    ASSERT_EQ(::stat(sys.root.path("mnt").toUtf8().constData(), &folder), 0);
    // The number the table gives the card must not be the one the bare folder has.
    const QString majorMinor = folder.st_dev == ::makedev(8, 17) ? "8:33" : "8:17";
    sys.disk("sdb", "8:16", "1");
    sys.partition("sdb", "sdb1", majorMinor);
    sys.mount(majorMinor, "card", "vfat", "/dev/sdb1");
    sys.disk("sda", "8:0", "0");
    sys.mount("8:0", "disk", "ext4", "/dev/sda");
    if (::mount("tmpfs", point.toUtf8().constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m") != 0)
        HALVORIX_SKIP_WITHOUT(std::string("cannot mount a tmpfs here: ") + std::strerror(errno));
    struct Unmount {
        QByteArray path;
        bool mounted = true;
        void now()
        {
            if (std::exchange(mounted, false)) {
                EXPECT_EQ(::umount2(path.constData(), MNT_DETACH), 0) << std::strerror(errno);
            }
        }
        ~Unmount() { now(); }
    } unmount{point.toUtf8()};

    SysrootForm w(sys.root.path());
    ASSERT_EQ(w.form.Combo3->count(), 1);
    w.form.Option2->setChecked(true);
    w.form.Combo3->setCurrentIndex(0);
    w.form.transferList().append({pc.path("report.txt"), "Is File"});
    w.form.PushButton1_Click(); // mounted: the copy lands on it
    EXPECT_EQ(w.ui.boxTexts(), QStringList{"Done."});
    EXPECT_EQ(TempTree::read(point + "/From_PC/report.txt"), "report");

    unmount.now();
    ASSERT_FALSE(QFileInfo::exists(point + "/From_PC"));
    w.form.PushButton1_Click();
    EXPECT_FALSE(QFileInfo::exists(point + "/From_PC"));
    ASSERT_EQ(w.ui.boxes.size(), 2u);
    EXPECT_EQ(w.ui.boxes[1].style, kStyleWarning);

    w.form.Option1->setChecked(true);
    w.pickCardToComputer(0, 0);
    const QString results = w.form.Text1->text();
    w.form.PushButton1_Click();
    EXPECT_FALSE(QFileInfo::exists(results));
    ASSERT_EQ(w.ui.boxes.size(), 3u);
    EXPECT_EQ(w.ui.boxes[2].style, kStyleWarning);
    EXPECT_EQ(QDir(point).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}
