#pragma once

#include "support/Deadline.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <sys/stat.h>
#include <unistd.h>

namespace halvorix::test {

// A real memory card's file system, mounted for one test: an exFAT (exfat-fuse) or FAT32
// (fusefat) image in a temporary folder, attached to a loop device (exfat-fuse refuses an image
// file when run as root) and mounted through FUSE, as a camera card is on a desktop without the
// kernel's drivers. Case-insensitive, no links, times to the file system's grain, owners fixed by
// the mount. Unmounted and detached whatever happens.
class CardImage {
public:
    enum class Kind { ExFat, Fat32 };

    // `mountOptions` add to the driver's own (for exFAT, e.g. "umask=000").
    explicit CardImage(Kind kind, const QString &mountOptions = QString(), int megabytes = 48) : kind_(kind)
    {
        const QString mkfs = kind == Kind::ExFat ? "mkfs.exfat" : "mkfs.vfat";
        const QString driver = kind == Kind::ExFat ? "mount.exfat-fuse" : "fusefat";
        if (::geteuid() != 0)
            why_ = "mounting a card image needs root";
        else if (!QFile::exists("/dev/fuse"))
            why_ = "no /dev/fuse";
        else if (!QFile::exists("/dev/loop-control"))
            why_ = "no loop devices";
        else if (!dir_.isValid())
            why_ = "no temporary folder";
        for (const QString &tool : {mkfs, driver, QString("losetup"), QString("umount")})
            if (why_.isEmpty() && find(tool).isEmpty())
                why_ = tool + " is not installed (scripts/setup.sh installs it)";
        if (!why_.isEmpty())
            return;
        // Other users reach the card through this folder (a card mounted for everybody).
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        const QString image = dir_.path() + "/card.img";
        mountPoint_ = dir_.path() + "/card";
        {
            QFile file(image);
            if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(megabytes) << 20)) {
                why_ = "cannot make the image file";
                return;
            }
        }
        if (!QDir().mkpath(mountPoint_)
            || !run(mkfs, kind == Kind::ExFat ? QStringList{image} : QStringList{"-F", "32", image}))
            return;
        QByteArray loop;
        if (!run("losetup", {"-f", "--show", image}, &loop))
            return;
        loop_ = QString::fromUtf8(loop).trimmed();
        options_ = mountOptions;
        mount();
    }

    // Mounts the image again after unmount(): what was written is what the card holds.
    bool mount()
    {
        if (kind_ == Kind::ExFat) {
            QStringList args;
            if (!options_.isEmpty())
                args << "-o" << options_;
            if (!run("mount.exfat-fuse", args << loop_ << mountPoint_))
                return false;
        } else {
            // A block-device mount, as exfat-fuse makes by itself: a flush of the card's file system
            // then empties the device's cache, where fusefat's writes wait.
            QString options = "rw+,allow_other,blkdev,fsname=" + loop_;
            if (!options_.isEmpty())
                options += ',' + options_;
            if (!run("fusefat", {"-o", options, loop_, mountPoint_}))
                return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (!isMounted() && waited.elapsed() < 10000)
            QThread::msleep(20);
        if (!isMounted()) {
            why_ = "the card did not appear at " + mountPoint_;
            return false;
        }
        mounted_ = true;
        return true;
    }

    ~CardImage()
    {
        unmount();
        if (!loop_.isEmpty())
            run("losetup", {"-d", loop_}); // detaches once free
    }
    CardImage(const CardImage &) = delete;
    CardImage &operator=(const CardImage &) = delete;

    bool ready() const { return mounted_; }
    QString whyNot() const { return why_; }
    QString path(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? mountPoint_ : mountPoint_ + '/' + relative;
    }
    // Seconds a modification time is kept to: FAT keeps two-second steps.
    int timeGrainSeconds() const { return kind_ == Kind::Fat32 ? 2 : 1; }

    // Unmounts (a card pulled out, as far as what is on it goes). Safe to call twice.
    void unmount()
    {
        if (!isMounted())
            return;
        if (!run("umount", {mountPoint_}))
            run("umount", {"-l", mountPoint_});
        // The driver writes the last of the card when it ends; wait for it to let go.
        waitUntil(
            [this] { return !isMounted(); }, std::chrono::seconds(10), "the card image to be unmounted");
        mounted_ = false;
    }

    bool isMounted() const
    {
        QFile table("/proc/self/mountinfo");
        if (mountPoint_.isEmpty() || !table.open(QIODevice::ReadOnly))
            return false;
        const QByteArray point = ' ' + mountPoint_.toUtf8() + ' ';
        for (const QByteArray &line : table.readAll().split('\n'))
            if (line.contains(point))
                return true;
        return false;
    }

private:
    static QString find(const QString &tool)
    {
        QString found = QStandardPaths::findExecutable(tool);
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"});
        return found;
    }

    bool run(const QString &tool, const QStringList &arguments, QByteArray *output = nullptr)
    {
        QProcess process;
        process.start(find(tool), arguments);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0) {
            if (why_.isEmpty())
                why_ = tool + ' ' + arguments.join(' ')
                    + " failed: " + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
            return false;
        }
        if (output)
            *output = process.readAllStandardOutput();
        return true;
    }

    Kind kind_;
    QTemporaryDir dir_;
    QString mountPoint_;
    QString loop_;
    QString options_;
    QString why_;
    bool mounted_ = false;
};

} // namespace halvorix::test
