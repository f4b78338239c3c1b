#pragma once

#include "app/Form1.h"
#include "platform/posix/LinuxDrives.h"
#include "platform/posix/Machine.h"
#include "support/FakeDesktopUi.h"
#include "support/TempTree.h"

#include <QComboBox>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <gtest/gtest.h>

namespace halvorix::test {

// A fake machine under a temporary folder, built piece by piece: the mount table, sysfs (device
// folders reached through /sys/dev/block/M:m and /sys/class/block/NAME) and udev's links. The mount
// points are real folders inside it, so readiness is real too. Whole machines as met in the field
// come from FakeMachine below.
class FakeSystem {
public:
    TempTree root;

    QString mountPoint(const QString &name) const { return root.path("mnt/" + name); }

    void disk(
        const QString &name, const QString &majorMinor, const char *removable, const char *mmcType = nullptr)
    {
        const QString dir = root.mkdir("sys/devices/block/" + name);
        if (removable)
            root.write("sys/devices/block/" + name + "/removable", removable);
        if (mmcType)
            root.write("sys/devices/block/" + name + "/device/type", mmcType);
        registerDevice(name, majorMinor, dir);
    }
    void partition(const QString &diskName, const QString &name, const QString &majorMinor)
    {
        const QString dir = root.mkdir("sys/devices/block/" + diskName + "/" + name);
        root.write("sys/devices/block/" + diskName + "/" + name + "/partition", "1");
        registerDevice(name, majorMinor, dir);
    }
    // A device-mapper device on `slaves`. Its /dev/mapper name is a link to ../dm-N, or, as on
    // older systems, a node of its own.
    void deviceMapper(const QString &name, const QString &majorMinor, const QString &dmName,
        const QStringList &slaves, bool mapperLink = true)
    {
        const QString dir = root.mkdir("sys/devices/virtual/block/" + name);
        root.write("sys/devices/virtual/block/" + name + "/removable", "0");
        root.write("sys/devices/virtual/block/" + name + "/dm/name", dmName.toUtf8() + "\n");
        root.mkdir("sys/devices/virtual/block/" + name + "/slaves");
        for (const QString &slave : slaves)
            QFile::link(QFileInfo(root.path("sys/class/block/" + slave)).canonicalFilePath(),
                dir + "/slaves/" + slave);
        registerDevice(name, majorMinor, dir);
        root.mkdir("dev/mapper");
        if (mapperLink)
            QFile::link("../" + name, root.path("dev/mapper/" + dmName));
        else
            root.write("dev/mapper/" + dmName, "");
    }
    void label(const QString &escapedLabel, const QString &kernelName)
    {
        udevLink("by-label", escapedLabel, kernelName);
    }
    void uuid(const QString &uuid, const QString &kernelName) { udevLink("by-uuid", uuid, kernelName); }
    void removeUuid(const QString &uuid) { QFile::remove(root.path("dev/disk/by-uuid/" + uuid)); }

    // Mounts at mnt/<name> (or at <name> as it stands when it starts with "/"); a not-ready drive
    // has no folder behind its mount point.
    void mount(const QString &majorMinor, const QString &name, const QString &fsType, const QString &source,
        bool ready = true)
    {
        const QString point = name.startsWith('/') ? name : mountPoint(name);
        if (ready && !name.startsWith('/'))
            root.mkdir("mnt/" + name);
        lines_.append({name,
            QString("%1 1 %2 / %3 rw,relatime shared:1 - %4 %5 rw\n")
                .arg(++id_)
                .arg(majorMinor, QString(point).replace(' ', "\\040"), fsType, source)});
        writeMountTable();
    }
    // The mount goes from the table; its folder stays, as a fixed mount folder does.
    void unmount(const QString &name)
    {
        lines_.removeIf([&](const auto &line) { return line.first == name; });
        writeMountTable();
    }

    std::vector<DriveInfo> drives() const
    {
        std::vector<DriveInfo> out;
        LinuxDriveSource(root.path()).forEachDrive([&](const DriveInfo &d) { out.push_back(d); });
        return out;
    }

private:
    void registerDevice(const QString &name, const QString &majorMinor, const QString &dir)
    {
        root.mkdir("sys/dev/block");
        root.mkdir("sys/class/block");
        QFile::link(dir, root.path("sys/dev/block/" + majorMinor));
        QFile::link(dir, root.path("sys/class/block/" + name));
        root.write("dev/" + name, ""); // stands in for the device node
    }
    void udevLink(const QString &folder, const QString &name, const QString &kernelName)
    {
        root.mkdir("dev/disk/" + folder);
        QFile::link("../../" + kernelName, root.path("dev/disk/" + folder + "/" + name));
    }
    void writeMountTable()
    {
        QString text;
        for (const auto &line : lines_)
            text += line.second;
        root.write("proc/self/mountinfo", text.toUtf8());
    }
    QList<std::pair<QString, QString>> lines_; // mount name, mountinfo line
    int id_ = 20;
};

// A machine as met in the field, laid out by tests/window/fake-machine.sh (which the real-window
// checks use too). System mounts keep their real paths ("/", "/boot/efi"); the rest is under root().
class FakeMachine {
public:
    explicit FakeMachine(const QString &machine)
    {
        QProcess script;
        script.start("bash",
            {QStringLiteral(HALVORIX_SOURCE_DIR "/tests/window/fake-machine.sh"), machine,
                tree_.path("root")});
        const bool finished = script.waitForFinished(60000);
        EXPECT_TRUE(finished && script.exitCode() == 0) << script.readAllStandardError().toStdString();
        home_ = QString::fromUtf8(script.readAllStandardOutput()).trimmed();
    }
    QString root() const { return tree_.path("root"); }
    QString path(const QString &relative) const { return root() + '/' + relative; }
    QString home() const { return home_; }

private:
    TempTree tree_;
    QString home_;
};

// HOME for the lifetime of the object: the fixed drive holding it offers it as its root.
class ScopedHome {
public:
    explicit ScopedHome(const QString &home) : old_(qgetenv("HOME")) { qputenv("HOME", home.toUtf8()); }
    ~ScopedHome() { qputenv("HOME", old_); }

private:
    QByteArray old_;
};

// The main window over the real drive source reading `sysroot`, loaded, with a scripted user.
class SysrootForm {
public:
    explicit SysrootForm(const QString &sysroot)
        : fs(sysroot), form(fs, ui, appFolder.path(), [] { return 42; })
    {
        form.Form_Load();
    }

    // Hard drive first, then the card: Text1 becomes the hard drive's root plus the card's name.
    void pickCardToComputer(int card, int disk)
    {
        form.Combo2->setCurrentIndex(disk);
        form.Combo1->setCurrentIndex(card);
    }

    TempTree appFolder;
    FakeDesktopUi ui;
    Machine fs;
    Form1 form;
};

} // namespace halvorix::test
