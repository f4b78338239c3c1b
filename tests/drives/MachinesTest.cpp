// The drives as a person at a machine sees them: whole machines as met in the field each list
// exactly the drives expected, and a card copies onto a hard drive there; and a card's label becomes
// a folder name only once it can no longer point anywhere: the results folder stays inside the
// chosen hard drive, never hidden, whatever a stranger's card calls itself.
#include "drives/SafeName.h"
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

// Cards whose labels come to one folder name (four here come to "Removable Disk") are each
// offered under their own root.
TEST(HostileLabels, ListedAsTheyAreButFoldersStayInsideTheHardDrive)
{
    struct Case {
        QString escaped; // the by-label link as udev writes it
        QString shown; // the label in the list item
        QString folder; // the folder the results go to, below the hard drive's root
    };
    const std::vector<Case> cases = {
        {"a\\x2f..\\x2f.ssh", "a/../.ssh", "a...ssh"},
        {"DCIM\\x2f..\\x2f..\\x2f..\\x2ftmp", "DCIM/../../../tmp", "DCIM......tmp"},
        {"\\x2e\\x2e", "..", "Removable Disk"},
        {"\\x2e", ".", "Removable Disk"},
        {".ssh", ".ssh", "ssh"}, // its link is a hidden name, read all the same
        {"..\\x2f..", "../..", "Removable Disk"},
        {"\\x20.config", " .config", "config"},
        {"A\\x0aB\\x09C\\x7f", "ABC", "ABC"},
        {"\\xc2\\x85NEL\\xc2\\x9f", "NEL", "NEL"}, // C1 controls U+0085 and U+009F
        {"\\x01\\x1b", "Removable Disk", "Removable Disk"},
        {"Urlaub\\x20\\xc3\\xa9t\\xc3\\xa9", "Urlaub été", "Urlaub été"},
    };
    FakeSystem sys;
    sys.disk("sda", "8:0", "0");
    sys.mount("8:0", "disk", "ext4", "/dev/sda");
    for (size_t i = 0; i < cases.size(); ++i) {
        const QString disk = QString("sd%1").arg(QChar('b' + int(i)));
        const QString majorMinor = QString("8:%1").arg(16 * (i + 1));
        sys.disk(disk, majorMinor, "1");
        sys.label(cases[i].escaped, disk);
        sys.mount(majorMinor, QString("card%1").arg(i), "vfat", "/dev/" + disk);
    }
    SysrootForm w(sys.root.path());
    ASSERT_EQ(w.form.Combo1->count(), int(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].escaped.toStdString());
        const QString mount = sys.mountPoint(QString("card%1").arg(i));
        EXPECT_EQ(w.form.Combo1->itemText(int(i)), cases[i].shown + " (" + mount + ")");
        w.pickCardToComputer(int(i), 0);
        EXPECT_EQ(w.form.Text1->text(), sys.mountPoint("disk") + "/" + cases[i].folder + "/");
        EXPECT_EQ(w.form.CardDrives.at(i).entry, mount + "/|MySep!!|" + cases[i].folder);
    }
}

TEST(SafeFolderName, LongLabelsAreCutBetweenCharactersWithinTheNameLimitAndEmptyOnesUnlabelled)
{
    EXPECT_EQ(safeFolderName(QString(300, 'a'), "Removable Disk"), QString(255, 'a'));
    // Two bytes each: 127 of them fit, the 128th would end at byte 256.
    EXPECT_EQ(safeFolderName(QString(150, QChar(0xE9)), "Removable Disk"), QString(127, QChar(0xE9)));
    QString emoji;
    for (int i = 0; i < 70; ++i)
        emoji += QString::fromUtf8("\xF0\x9F\x93\xB7"); // four bytes, two UTF-16 units
    const QString cut = safeFolderName("a" + emoji, "Removable Disk");
    EXPECT_EQ(cut.toUtf8().size(), 1 + 63 * 4);
    EXPECT_EQ(QString::fromUtf8(cut.toUtf8()), cut); // no half character left behind
    // A cut that ends in a blank leaves no trailing blank.
    EXPECT_EQ(safeFolderName(QString(254, 'a') + " b", "Removable Disk"), QString(254, 'a'));
    // Nothing usable left gives the unlabelled name.
    for (const QString &label : {QString(), QString("/"), QString("//"), QString("."), QString(".."),
             QString("..."), QString(" . . "), QString("\x01\x1f"), QString(QChar(0xFFFD)), QString("   ")}) {
        EXPECT_EQ(safeFolderName(label, "Local Disk"), "Local Disk") << label.toStdString();
    }
    // What is not a separator, dot or control stays as it is.
    EXPECT_EQ(safeFolderName(QString::fromUtf8("Data\xe2\x80\xa6"), "Local Disk"),
        QString::fromUtf8("Data\xe2\x80\xa6"));
}
