// Whole machines as met in the field: each lists exactly the drives a person at it would expect,
// and a card copies onto a hard drive there.
#include "support/FakeSystem.h"

#include <QLineEdit>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

namespace {

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// Starts the window on the machine, checks the item texts of its card lists (Combo1, Combo3) and
// hard drive list (Combo2), then copies card `card` to hard drive `disk` and returns the results
// folder the window proposed: the drives' entries show in it.
QString expectListedAndCopied(
    const FakeMachine &machine, const QStringList &cards, const QStringList &disks, int card, int disk)
{
    const ScopedHome home(machine.home());
    SysrootForm w(machine.root());
    EXPECT_TRUE(w.ui.boxes.empty()) << w.ui.boxTexts().join('\n').toStdString();
    EXPECT_EQ(itemTexts(w.form.Combo1), cards);
    EXPECT_EQ(itemTexts(w.form.Combo3), cards);
    EXPECT_EQ(itemTexts(w.form.Combo2), disks);
    if (card >= w.form.Combo1->count() || disk >= w.form.Combo2->count())
        return QString();

    w.pickCardToComputer(card, disk);
    const QString results = w.form.Text1->text();
    w.form.PushButton1_Click();
    EXPECT_EQ(w.ui.boxTexts(), QStringList{"Done."});
    EXPECT_EQ(TempTree::read(results + "notes.txt"), "card notes\n");
    EXPECT_EQ(TempTree::read(results + "MISC/AUTPRINT.MRK"), "print order\n");
    return results;
}

} // namespace

TEST(Machines, DebianOnLvmInsideLuksWithAPlainAndAnEncryptedStick)
{
    FakeMachine m("debian-luks");
    const QString stick = m.path("media/alice/KINGSTON"), secret = m.path("media/alice/SECRET");
    // The encrypted stick is a device-mapper device: its own removable flag reads 0, its disk's 1.
    EXPECT_EQ(expectListedAndCopied(m, {"KINGSTON (" + stick + ")", "SECRET (" + secret + ")"},
                  {"Local Disk (" + m.home() + ")"}, 0, 0),
        m.home() + "/KINGSTON/");
}

TEST(Machines, FedoraOnBtrfsSubvolumesIsOneHardDrive)
{
    FakeMachine m("fedora-btrfs");
    const QString stick = m.path("run/media/alice/SANDISK");
    // "/" and "/home" are subvolumes of one file system, each with an anonymous device number.
    EXPECT_EQ(expectListedAndCopied(m, {"SANDISK (" + stick + ")"}, {"fedora (" + m.home() + ")"}, 0, 0),
        m.home() + "/SANDISK/");
}

TEST(Machines, LaptopWithFuseMountedNtfsDiskAndExfatCard)
{
    FakeMachine m("laptop-fuse");
    const QString sd = m.path("media/alice/EOS_DIGITAL"), ntfs = m.path("media/alice/Elements");
    // Both go through FUSE (fuseblk): anonymous numbers, found through their sources. The SD card
    // sits in a PCI reader (mmcblk, type SD); the USB disk has no removable bit; the snap is none.
    EXPECT_EQ(expectListedAndCopied(m, {"EOS_DIGITAL (" + sd + ")"},
                  {"Local Disk (" + m.home() + ")", "Elements (" + ntfs + ")"}, 0, 1),
        ntfs + "/EOS_DIGITAL/");
}

TEST(Machines, RaspberryPiNeverOffersItsOwnSystemCardAsACard)
{
    FakeMachine m("raspberry-pi");
    const QString stick = m.path("media/pi/PHOTOS");
    // The SD card in the board's slot holds "/": all of it is a fixed drive, and its boot
    // partition (/boot/firmware) is no drive at all.
    EXPECT_EQ(expectListedAndCopied(m, {"PHOTOS (" + stick + ")"},
                  {"rootfs (" + m.home() + ")", "data (" + m.path("srv/data") + ")"}, 0, 1),
        m.path("srv/data") + "/PHOTOS/");
}
