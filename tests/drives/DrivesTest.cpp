#include "core/AppError.h"
#include "drives/Destinations.h"
#include "drives/DriveLists.h"
#include "platform/posix/LinuxDrives.h"
#include "platform/posix/Machine.h"
#include "support/FakeSystem.h"
#include "support/FormFixture.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;
using Form1Drives = LoadedForm;
using Form1FolderPicker = LoadedForm;

// The kinds of mount the machines (MachinesTest) do not show; SD cards in a built-in reader, USB
// disks without the removable bit, tmpfs and snaps are theirs.
TEST(DriveDiscovery, ClassifiesEveryKindOfMountFromTheSystemFiles)
{
    FakeSystem sys;
    sys.disk("sda", "8:0", "0");
    sys.partition("sda", "sda2", "8:2");
    sys.mount("8:2", "root", "ext4", "/dev/sda2"); // fixed, unlabelled
    sys.disk("sdb", "8:16", "1");
    sys.partition("sdb", "sdb1", "8:17");
    sys.mount("8:17", "card one", "vfat", "/dev/sdb1"); // removable through its disk
    sys.disk("sdc", "8:32", "1");
    sys.partition("sdc", "sdc1", "8:33");
    sys.label("MY\\x20CARD", "sdc1");
    sys.mount("8:33", "labelled", "exfat", "/dev/sdc1"); // removable, labelled
    sys.disk("mmcblk1", "179:8", "0", "MMC");
    sys.partition("mmcblk1", "mmcblk1p1", "179:9");
    sys.mount("179:9", "emmc", "ext4", "/dev/mmcblk1p1"); // built-in eMMC: fixed
    sys.mount("8:17", "card bind", "vfat", "/dev/sdb1"); // bind duplicate of the card
    sys.mount("0:50", "net", "nfs4", "server:/share");
    sys.disk("sde", "8:64", "1");
    sys.partition("sde", "sde1", "8:65");
    sys.mount("8:65", "gone", "vfat", "/dev/sde1", /*ready=*/false);

    const std::vector<DriveInfo> drives = sys.drives();
    ASSERT_EQ(drives.size(), 5u);
    auto expect = [&](size_t i, const QString &name, int type, const QString &label, bool ready) {
        EXPECT_EQ(drives[i].root, sys.mountPoint(name) + "/") << i;
        EXPECT_EQ(drives[i].type, type) << i;
        EXPECT_EQ(drives[i].label, label) << i;
        EXPECT_EQ(drives[i].ready, ready) << i;
    };
    expect(0, "root", kDriveFixed, "", true);
    expect(1, "card one", kDriveRemovable, "", true);
    expect(2, "labelled", kDriveRemovable, "MY CARD", true);
    expect(3, "emmc", kDriveFixed, "", true);
    expect(4, "gone", kDriveRemovable, "", false);

    SysrootForm w(sys.root.path()); // a drive that is not ready is not offered
    ASSERT_EQ(w.form.Combo1->count(), 2);
    EXPECT_EQ(w.form.Combo1->itemText(0), "Removable Disk (" + sys.mountPoint("card one") + ")");
    EXPECT_EQ(w.form.Combo1->itemText(1), "MY CARD (" + sys.mountPoint("labelled") + ")");
}

// The system's boot partitions, each a device of its own on the system's disk, are no drive,
// whether their folders exist here or not; nor is a disk image attached to a loop device, whole or
// partitioned, whatever file system it holds. The system's drive offers the home folder as its root.
TEST(DriveDiscovery, BootPartitionsAndDiskImagesAreNoDrives)
{
    FakeSystem sys;
    sys.disk("sda", "8:0", "0");
    for (int i = 1; i <= 4; ++i)
        sys.partition("sda", QString("sda%1").arg(i), QString("8:%1").arg(i));
    sys.mount("8:2", "/", "ext4", "/dev/sda2");
    sys.mount("8:1", "/boot/efi", "vfat", "/dev/sda1");
    sys.mount("8:3", "/boot", "ext4", "/dev/sda3");
    sys.mount("8:4", "/boot/firmware", "vfat", "/dev/sda4");
    sys.disk("loop1", "7:8", "0");
    sys.mount("7:8", "image", "ext4", "/dev/loop1");
    sys.disk("loop2", "7:16", "0");
    sys.partition("loop2", "loop2p1", "259:0");
    sys.mount("259:0", "card image", "vfat", "/dev/loop2p1");
    sys.disk("sdb", "8:16", "1");
    sys.mount("8:16", "card", "vfat", "/dev/sdb");

    const ScopedHome home(sys.root.mkdir("home/alice"));
    const std::vector<DriveInfo> drives = sys.drives(); // ready or not
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].root, sys.root.path("home/alice/"));
    EXPECT_EQ(drives[0].type, kDriveFixed);
    EXPECT_EQ(drives[1].root, sys.mountPoint("card") + "/");
    EXPECT_EQ(drives[1].type, kDriveRemovable);
}

TEST(DriveDiscovery, AnonymousMountsAreFoundThroughTheirSource)
{
    FakeSystem sys;
    sys.disk("sdb", "8:16", "1");
    sys.partition("sdb", "sdb1", "8:17");
    sys.uuid("6F2E-0A11", "sdb1");
    sys.mount("0:50", "stick", "fuseblk", "/dev/disk/by-uuid/6F2E-0A11");
    sys.mount("0:50", "stick again", "fuseblk", "/dev/disk/by-uuid/6F2E-0A11"); // a bind mount of it
    sys.disk("sdc", "8:32", "0");
    sys.partition("sdc", "sdc1", "8:33");
    sys.deviceMapper("dm-0", "254:0", "backup", {"sdc1"}, /*mapperLink=*/false);
    sys.mount("0:51", "backup", "btrfs", "/dev/mapper/backup"); // a node, named in dm/name
    sys.mount("0:52", "unknown", "fuseblk", "/dev/sdz1"); // names no device the kernel has
    sys.disk("sdd", "8:48", "1");
    sys.partition("sdd", "sdd1", "8:49");
    sys.root.mkdir("dev/disk/by-label");
    QFile::link("/dev/sdd1", sys.root.path("dev/disk/by-label/ABS")); // an absolute link
    sys.mount("0:53", "absolute", "fuseblk", "/dev/disk/by-label/ABS");
    sys.mount("0:54", "share", "fuse.sshfs", "alice@server:/srv");

    const std::vector<DriveInfo> drives = sys.drives();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].root, sys.mountPoint("stick") + "/");
    EXPECT_EQ(drives[0].type, kDriveRemovable);
    EXPECT_EQ(drives[0].identity.device, "sdb1");
    EXPECT_EQ(drives[0].identity.uuid, "6F2E-0A11");
    EXPECT_EQ(drives[1].root, sys.mountPoint("backup") + "/");
    EXPECT_EQ(drives[1].type, kDriveFixed);
    EXPECT_EQ(drives[1].identity.device, "dm-0");
    EXPECT_EQ(drives[2].root, sys.mountPoint("absolute") + "/");
    EXPECT_EQ(drives[2].type, kDriveRemovable);
    EXPECT_EQ(drives[2].label, "ABS");
}

TEST(DriveDiscovery, AFailingQueryStopsThereKeepingWhatWasListed)
{
    FakeSystem sys;
    sys.disk("sdb", "8:16", "1");
    sys.mount("8:16", "first", "vfat", "/dev/sdb");
    sys.disk("sdc", "8:32", nullptr); // its type cannot be read
    sys.mount("8:32", "broken", "vfat", "/dev/sdc");
    sys.disk("sdd", "8:48", "1");
    sys.mount("8:48", "after", "vfat", "/dev/sdd");
    SysrootForm w(sys.root.path());
    ASSERT_EQ(w.ui.boxes.size(), 1u); // the report at its line (Form1DriveDiscovery)
    ASSERT_EQ(w.form.CardDrives.size(), 1u);
    EXPECT_EQ(w.form.CardDrives[0].entry, sys.mountPoint("first") + "/|MySep!!|Removable Disk");
}

TEST(DriveDiscovery, MountTableEscapesAndLabelEscapesDecode)
{
    EXPECT_EQ(decodeMountEscapes("/media/a\\040b\\011c"), "/media/a b\tc");
    EXPECT_EQ(decodeUdevLabel("MY\\x20CARD\\x21"), "MY CARD!");
    EXPECT_EQ(decodeUdevLabel("plain"), "plain");
    EXPECT_EQ(decodeUdevLabel("end\\x2"), "end\\x2"); // cut short: kept as it stands
    EXPECT_EQ(decodeMountEscapes("/media/last\\040"), "/media/last ");
}

// What the folder lists do not show: the file system's root, and an entry of more than two parts.
TEST(DriveEntries, TheRootDriveAndAnEntryOfThreeParts)
{
    EXPECT_EQ(driveItemText({"/", kDriveFixed, true, "", {}}), "Local Disk (/)");
    EXPECT_EQ(splitDriveEntry("/media/x/|MySep!!|A|MySep!!|B"), QStringList({"/media/x/", "A", "B"}));
}

TEST(Destinations, TypedResultsFolderIsAFullPathOrInTheHomeFolderNeverRelative)
{
    const QString home = "/home/alice";
    EXPECT_EQ(resultsFolderFromTyped("/media/backup/CARD/", home), "/media/backup/CARD/");
    EXPECT_EQ(resultsFolderFromTyped("~/HXBackup/", home), "/home/alice/HXBackup/");
    EXPECT_EQ(resultsFolderFromTyped("~/HXBackup/", "/home/alice/"), "/home/alice/HXBackup/");
    EXPECT_EQ(resultsFolderFromTyped("~", home), "/home/alice/");
    EXPECT_EQ(resultsFolderFromTyped("~/", "/"), "/");
    // Relative texts would be resolved against wherever the program was started.
    for (const char *relative : {"HXBackup/", "./HXBackup/", "../HXBackup", "~alice/HXBackup/", "~HXBackup",
             " /home/alice/HXBackup/"})
        EXPECT_EQ(resultsFolderFromTyped(relative, home), std::nullopt) << relative;
    EXPECT_EQ(resultsFolderFromTyped("~/HXBackup/", "relative/home"), std::nullopt);
}

// The pick order decides the results folder.
TEST_F(Form1Drives, ListsFilledInOrderWithNothingSelectedThenThePickOrderDecidesTheResultsFolder)
{
    EXPECT_EQ(form.Combo1->count(), 1);
    EXPECT_EQ(form.Combo3->itemText(0), "CARD (" + f.card.path() + ")");
    EXPECT_EQ(form.Combo2->itemText(0), "Local Disk (" + f.disk.path() + ")");
    EXPECT_EQ(form.HardDiskDrives, QStringList{f.disk.path() + "/|MySep!!|Local Disk"});
    for (QComboBox *box : {form.Combo1, form.Combo2, form.Combo3}) {
        EXPECT_EQ(box->currentIndex(), -1);
        EXPECT_FALSE(box->isEditable());
    }
    EXPECT_TRUE(form.Text1->text().isEmpty());
    form.Combo1->setCurrentIndex(0); // card first: no hard drive yet, nothing changes
    EXPECT_TRUE(form.Text1->text().isEmpty());
    EXPECT_TRUE(form.Text2->text().isEmpty());
    form.Combo2->setCurrentIndex(0);
    EXPECT_EQ(form.Text1->text(), f.disk.path() + "/");
    EXPECT_EQ(form.Text2->text(), f.card.path() + "/");
}

TEST(Form1DriveDiscovery, AFailureIsReportedAt134AndStartUpGoesOn)
{
    FormFixture f;
    f.fs.driveFailureAfterListed = AppError(57, "Input/output error: /sys/block/sdz");
    Form1 &form = f.load();
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_TRUE(f.ui.boxes[0].text.startsWith(
        "Input/output error: /sys/block/sdz\nin Tesmarin2016/11/03.Form1.Form_Load at line 134"));
    EXPECT_EQ(form.Combo1->count(), 1);
    EXPECT_EQ(form.transferList().columnCount(), 2); // line 136 onward ran
}

TEST_F(Form1FolderPicker, CancelRootAndOrdinaryFolder)
{
    form.Text1->setText("/keep/");
    form.PushButton2_Click(); // cancelled
    EXPECT_EQ(form.Text1->text(), "/keep/");
    EXPECT_EQ(f.ui.folderPrompts, std::vector<QString>{"Please select folder:"});
    f.ui.folderPicks = {"/", "/home/alice/Photos"};
    form.PushButton2_Click();
    EXPECT_EQ(form.Text1->text(), "/");
    form.PushButton2_Click();
    EXPECT_EQ(form.Text1->text(), "/home/alice/Photos/");
    form.Combo2->setCurrentIndex(0); // a later pick replaces the chosen folder
    form.Combo1->setCurrentIndex(0);
    EXPECT_EQ(form.Text1->text(), f.disk.path() + "/CARD/");
    EXPECT_TRUE(f.ui.boxes.empty());
}
