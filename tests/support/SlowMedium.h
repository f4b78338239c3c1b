#pragma once

#include "support/RealMedia.h"
#include "support/TempTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace halvorix::test {

// Bytes that no call with another seed gives, so they can be found in the device's image.
inline QByteArray uniqueBytes(quint32 seed, qsizetype size)
{
    QByteArray data(size, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
    return data;
}

// A simulated slow medium in a temporary folder: a card file system (ext4, exfat or vfat) on a
// loop device whose image lives on halvorix-slowfs, which takes writes at a given rate and can be
// paused like a card reader that stops answering. Driven through
// bench/slowmedium/slow-medium.sh; everything it put up is taken down by the destructor, also
// when the test failed half-way.
//
//     SlowMedium medium;
//     if (const QString why = SlowMedium::unavailableReason("exfat"); !why.isEmpty())
//         HALVORIX_SKIP_WITHOUT(why.toStdString());
//     ASSERT_EQ(medium.start(32, 64 << 20, "exfat"), "");
//     ... copy to medium.card(); medium.pause(); ... medium.resume(); medium.bytesOnDevice() ...
//
// What reaches the device from the card (measured on each type): ext4 passes fsync, fdatasync,
// sync_file_range and syncfs on; exfat (exfat-fuse) fsync, fdatasync and syncfs, not
// sync_file_range; vfat (fusefat) only syncfs and the unmount.
//
// The medium can lie like bad media (setCapacity, flipWrites, failReads). What the device holds
// is only read back once no cache holds it: ext4 reads a file's data from the device once the
// file's pages are dropped (posix_fadvise DONTNEED); the FUSE card drivers read /dev/loopN
// through the block device's page cache, so on exfat and vfat a read after that is still served
// from there until dropDeviceCache() (a remount drops it too). A read() of a card file that
// meets failing reads of the device gives up after 3 of them (the page caches and the driver
// retry), so 1 or 2 armed failures are absorbed and the read succeeds; readahead ahead of a
// sequential reader may meet one more first. exfat-fuse reports it as EIO, fusefat as EPERM.
class SlowMedium {
public:
    struct Stats {
        qint64 written = -1; // bytes that have reached the device, the card's making included
        qint64 read = -1; // bytes read from the device
        bool paused = false;
        int held = 0; // requests waiting for a resume right now
        qint64 flipped = 0; // write requests stored with a bit flipped
        qint64 readFailures = 0; // failed reads served
    };
    static constexpr int kAlways = -1; // failReads: a bad block

    SlowMedium() { folder_.setAutoRemove(false); }
    SlowMedium(const SlowMedium &) = delete;
    SlowMedium &operator=(const SlowMedium &) = delete;
    ~SlowMedium()
    {
        const QString failure = stop();
        if (!failure.isEmpty())
            ADD_FAILURE() << "the slow medium did not come down: " << failure.toStdString();
        // Never delete through a mount that is still up.
        if (leftovers().isEmpty())
            QDir(folder_.path()).removeRecursively();
    }

    // Why the medium cannot run here for this card type (not root, no /dev/fuse, no loop device,
    // a tool missing, the daemon not built); empty when it can.
    static QString unavailableReason(const QString &fsType)
    {
        if (daemonPath().isEmpty())
            return "halvorix-slowfs was not built (libfuse3-dev was missing when the build was configured)";
        static std::map<QString, QString> known; // the machine does not change during a run
        if (const auto it = known.find(fsType); it != known.end())
            return it->second;
        const auto [ok, output] = runScript({"check", fsType}, 30000);
        return known[fsType] = ok ? QString() : "slow medium unavailable: " + output.trimmed();
    }

    // Starts a card of sizeMb MiB that takes writes at bytesPerSecond (0: unthrottled). Returns
    // an empty string, or what went wrong.
    QString start(int sizeMb, qint64 bytesPerSecond, const QString &fsType)
    {
        if (!folder_.isValid())
            return "cannot create a temporary folder";
        const auto [ok, output] = runScript(
            {"start", folder(), QString::number(sizeMb), QString::number(bytesPerSecond), fsType, "SLOWCARD"},
            120000);
        return ok ? QString() : "start failed: " + output.trimmed();
    }

    QString folder() const { return folder_.path(); }
    QString card() const { return folder_.path() + "/card"; }
    QString imageStore() const { return folder_.path() + "/store/image"; } // the device's bytes

    bool pause() { return command("pause"); }
    bool resume() { return command("resume"); }

    Stats stats() const
    {
        Stats stats;
        for (const QByteArray &line : TempTree::read(folder() + "/backing/control").split('\n')) {
            const qsizetype space = line.indexOf(' ');
            const QByteArray key = line.left(space);
            const QByteArray value = line.mid(space + 1);
            if (key == "written")
                stats.written = value.toLongLong();
            else if (key == "read")
                stats.read = value.toLongLong();
            else if (key == "state")
                stats.paused = value == "paused";
            else if (key == "held")
                stats.held = value.toInt();
            else if (key == "flipped")
                stats.flipped = value.toLongLong();
            else if (key == "read-failures")
                stats.readFailures = value.toLongLong();
        }
        return stats;
    }
    qint64 bytesOnDevice() const { return stats().written; }

    // A fake capacity: from now on every write and read of the image at offset >= real lands at
    // keep + (offset - real) mod (real - keep), over what lies there. setCapacity(0, 0): all real.
    bool setCapacity(qint64 real, qint64 keep)
    {
        return command("capacity " + number(real) + ' ' + number(keep));
    }
    // Every every-th write request of at least minLength bytes starting at or beyond offset from
    // is stored with the lowest bit of its middle byte flipped. Card data reaches the device in
    // requests of 512 KiB, metadata in 4 KiB (exfat) or 36 KiB (vfat's tables). 0: off.
    bool flipWrites(qint64 every, qint64 minLength, qint64 from)
    {
        return command("flip " + number(every) + ' ' + number(minLength) + ' ' + number(from));
    }
    // Reads of the image covering offset fail count times, then succeed (kAlways: never).
    bool failReads(qint64 offset, int count)
    {
        return command("fail-read " + number(offset) + ' ' + number(count));
    }
    bool clearReadFailures() { return command("fail-read clear"); }
    // Reads covering `offset` fail for `milliseconds` from the first of them (a loose contact).
    bool failReadsFor(qint64 offset, int milliseconds)
    {
        return command("fail-read-for " + number(offset) + ' ' + number(milliseconds));
    }
    bool setReadRate(qint64 bytesPerSecond) { return command("read-rate " + number(bytesPerSecond)); }

    // Where these bytes first lie in the device's store, or -1. Below a fake capacity's real size
    // that is their offset in the image too.
    qint64 offsetInImage(const QByteArray &bytes) const
    {
        QFile store(imageStore());
        if (bytes.isEmpty() || !store.open(QIODevice::ReadOnly))
            return -1;
        constexpr qint64 kChunk = 8 << 20;
        QByteArray window; // the chunk, after the tail of the one before that a match may start in
        qint64 windowAt = 0;
        while (!store.atEnd()) {
            const QByteArray chunk = store.read(kChunk);
            if (chunk.isEmpty())
                break;
            window = window.right(bytes.size() - 1) + chunk;
            windowAt = store.pos() - window.size();
            if (const qsizetype at = window.indexOf(bytes); at >= 0)
                return windowAt + at;
        }
        return -1;
    }

    // Drops the loop device's page cache (writing back what is dirty first), through which the
    // FUSE card drivers read: with a card file's own pages dropped, its next read comes from the
    // device, as a kernel card driver's would.
    QString dropDeviceCache()
    {
        const auto [ok, output] = runScript({"drop-cache", folder()}, 60000);
        return ok ? QString() : "drop-cache failed: " + output.trimmed();
    }

    // Unmounts the card and mounts it again: what is read afterwards comes from the device.
    QString remount()
    {
        const auto [ok, output] = runScript({"remount", folder()}, 60000);
        return ok ? QString() : "remount failed: " + output.trimmed();
    }

    // Takes everything down (resuming a paused medium first); safe to repeat. Returns an empty
    // string, or what is left up.
    QString stop()
    {
        if (!QFile::exists(folder() + "/medium.state") && leftovers().isEmpty())
            return QString();
        const auto [ok, output] = runScript({"stop", folder()}, 120000);
        const QStringList left = leftovers();
        if (ok && left.isEmpty())
            return QString();
        return (output.trimmed() + '\n' + left.join('\n')).trimmed();
    }

    // What of this medium is still up: mounts under its folder, loop devices on its image,
    // processes naming its folder (the daemon, a FUSE card driver).
    QStringList leftovers() const
    {
        QStringList left;
        const QByteArray root = QFile::encodeName(folder_.path()) + '/';
        for (const QByteArray &line : TempTree::read("/proc/self/mountinfo").split('\n')) {
            if (const QList<QByteArray> fields = line.split(' ');
                fields.size() > 4 && fields[4].startsWith(root))
                left << "mount " + QString::fromUtf8(fields[4]);
        }
        for (const QString &loop : QDir("/sys/block").entryList({"loop*"}, QDir::Dirs | QDir::System)) {
            if (TempTree::read("/sys/block/" + loop + "/loop/backing_file").startsWith(root))
                left << "loop device /dev/" + loop;
        }
        for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) { // a zombie's command line is empty
            if (pid.toInt() > 0 && TempTree::read("/proc/" + pid + "/cmdline").contains(root))
                left << "process " + pid;
        }
        return left;
    }

private:
    struct ScriptResult {
        bool ok;
        QString output;
    };

    static QString daemonPath()
    {
#ifdef HALVORIX_SLOWFS
        return QStringLiteral(HALVORIX_SLOWFS);
#else
        return QString();
#endif
    }

    static ScriptResult runScript(const QStringList &arguments, int deadlineMs)
    {
        QProcess script;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HALVORIX_SLOWFS", daemonPath());
        script.setProcessEnvironment(environment);
        script.setProcessChannelMode(QProcess::MergedChannels);
        script.start("bash", QStringList{HALVORIX_SOURCE_DIR "/bench/slowmedium/slow-medium.sh"} + arguments);
        if (!script.waitForFinished(deadlineMs)) {
            script.kill();
            script.waitForFinished(5000);
            return {false, "slow-medium.sh " + arguments.join(' ') + " did not finish in time"};
        }
        const QString output = QString::fromLocal8Bit(script.readAll());
        return {script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0, output};
    }

    static QByteArray number(qint64 value)
    {
        return QByteArray::number(value);
    }

    // The control file is served by the daemon's other threads while data requests are held.
    bool command(const QByteArray &text) const
    {
        QFile control(folder() + "/backing/control");
        return control.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
            && control.write(text) == text.size();
    }

    QTemporaryDir folder_{QDir::tempPath() + "/halvorix-slow-XXXXXX"};
};

// Tests on a slow medium of 64 MiB: startMedium() skips, with the reason, where the medium cannot be
// made, and fails where it could not start.
class SlowCard : public ::testing::Test {
protected:
    SlowMedium medium;
    TempTree pc;

    void startMedium(qint64 rate, const QString &fsType = "ext4")
    {
        if (const QString why = SlowMedium::unavailableReason(fsType); !why.isEmpty())
            HALVORIX_SKIP_WITHOUT(why.toStdString());
        const QString failed = medium.start(64, rate, fsType);
        ASSERT_EQ(failed, "");
    }
};

} // namespace halvorix::test
