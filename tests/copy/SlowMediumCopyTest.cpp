// The copy on a slow stick behind the page cache, and on a card reader that stops answering
// (bench/slowmedium): a name on the medium always stands for a complete file, the bar counts what
// the medium holds, and a close request ends the program at once in every phase of a run.
// Behaviour only: how fast the medium goes is measured in bench/, never asserted here.
#include "platform/posix/Machine.h"
#include "support/CardImage.h"
#include "support/Deadline.h"
#include "support/FormFixture.h"
#include "support/RealMedia.h"
#include "support/SlowMedium.h"

#include <QProcess>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace halvorix;
using namespace halvorix::test;
using namespace std::chrono_literals;

namespace {

// Files below `root` that carry a final name (temporary names left out), relative.
QStringList namedFiles(const QString &root)
{
    QStringList files = filesBelow(root);
    files.removeIf([](const QString &file) { return file.section('/', -1).startsWith(".halvorix-"); });
    return files;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// A copy of the device's bytes, taken while the medium is paused, mounted to be read as a card
// pulled at that instant would be (the journal replayed, as the next mount does).
class DeviceSnapshot {
public:
    DeviceSnapshot(SlowMedium &medium, const QString &at) : at_(at)
    {
        image_ = at + ".img";
        taken_ = run("cp", {"--sparse=always", medium.imageStore(), image_});
    }
    ~DeviceSnapshot()
    {
        if (mounted_)
            run("umount", {mountPoint()});
        QFile::remove(image_);
    }
    QString mountPoint() const { return at_ + ".mnt"; }
    bool mount()
    {
        QDir().mkpath(mountPoint());
        mounted_ = taken_ && run("mount", {"-o", "loop", image_, mountPoint()});
        return mounted_;
    }

private:
    QString at_, image_;
    bool taken_ = false, mounted_ = false;
};

} // namespace

// Copies of the medium's bytes taken at several moments of a run (a stick pulled at that instant)
// hold only complete files under final names: a name is given once the data is on the device.
TEST_F(SlowCard, ANameOnTheMediumAlwaysStandsForACompleteFile)
{
    startMedium(6 << 20);
    if (HasFatalFailure() || IsSkipped())
        return;
    std::map<QString, QByteArray> sources;
    qint64 total = 0;
    for (int i = 0; i < 12; ++i) {
        const QString name = QString("DCIM/IMG_%1.JPG").arg(i, 4, 10, QChar('0'));
        sources[name] = uniqueBytes(quint32(i + 1), 300000 + i * 40000);
        pc.write(name, sources[name]);
        total += sources[name].size();
    }

    Machine fs("/");
    CopySession session;
    session.options.followLinks = true;
    // The names' order alone is looked at here: the read-back (a card's comes after the last
    // write) would only move the moments the snapshots are taken at.
    session.options.verify = false;
    session.options.aheadOfDevice = 1 << 20;
    const qint64 before = medium.bytesOnDevice();
    std::atomic<bool> done{false};
    std::thread copy([&] {
        try {
            fs.copyFolder(pc.path("DCIM"), medium.card() + "/", session);
            fs.flushDestinations(session);
        } catch (...) {
        }
        done = true;
    });
    TempTree shots; // outlives the snapshots mounted in it
    std::vector<std::unique_ptr<DeviceSnapshot>> snapshots;
    for (double share : {0.3, 0.55, 0.8}) {
        waitUntil([&] { return done || medium.bytesOnDevice() - before >= qint64(share * double(total)); },
            60s, "a share of the data to reach the medium");
        if (done)
            break;
        ASSERT_TRUE(medium.pause());
        snapshots.push_back(std::make_unique<DeviceSnapshot>(medium, shots.path(QString::number(share))));
        ASSERT_TRUE(medium.resume());
    }
    {
        const Watchdog watchdog(120s, "the copy to the slow medium to end");
        copy.join();
    }
    ASSERT_TRUE(session.failures().empty());
    ASSERT_GE(snapshots.size(), 2u) << "the run ended before the medium could be looked at";

    int namedSeen = 0;
    for (const auto &snapshot : snapshots) {
        ASSERT_TRUE(snapshot->mount());
        for (const QString &name : namedFiles(snapshot->mountPoint() + "/DCIM")) {
            ++namedSeen;
            EXPECT_EQ(TempTree::read(snapshot->mountPoint() + "/DCIM/" + name), sources["DCIM/" + name])
                << name.toStdString() << " is named on the medium but not complete";
        }
    }
    EXPECT_GT(namedSeen, 0) << "no snapshot held a named file: nothing was checked";
    EXPECT_EQ(namedFiles(medium.card() + "/DCIM").size(), sources.size());
}

// When the run ends (where the window says "Done."), what it named is on the device: a card
// pulled at that instant holds every file, whole, under its name.
TEST_F(SlowCard, WhatTheRunNamedIsOnTheDeviceWhenItEnds)
{
    startMedium(0);
    if (HasFatalFailure() || IsSkipped())
        return;
    std::map<QString, QByteArray> sources;
    for (int i = 0; i < 5; ++i) {
        const QString name = QString("IMG_%1.JPG").arg(i);
        pc.write("DCIM/" + name, sources[name] = uniqueBytes(quint32(i + 1), 200000));
    }
    Machine fs("/");
    CopySession session;
    session.options.followLinks = session.options.toCard = true;
    fs.copyFolder(pc.path("DCIM"), medium.card() + "/", session);
    fs.flushDestinations(session);
    ASSERT_TRUE(session.failures().empty());
    TempTree shots;
    DeviceSnapshot pulled(medium, shots.path("pulled"));
    ASSERT_TRUE(pulled.mount());
    EXPECT_EQ(namedFiles(pulled.mountPoint() + "/DCIM").size(), sources.size());
    for (const auto &[name, data] : sources)
        EXPECT_EQ(TempTree::read(pulled.mountPoint() + "/DCIM/" + name), data) << name.toStdString();
}

namespace {

// A window copying the transfer list to the slow card.
class ClosingOnSlowCard : public SlowCard {
protected:
    FormFixture f;
    Form1 *form = nullptr;

    void loadWindow()
    {
        for (int i = 0; i < 4; ++i)
            pc.write(QString("album/%1.jpg").arg(i), uniqueBytes(quint32(i + 1), 2 << 20));
        form = &f.loadCopyingToCard(medium.card(), pc.path("album/"));
    }

    // While Start Copying runs (and the program ends with it), sends the close request from another
    // thread once `ready` holds, then calls `afterwards`; notes whether the window's close returned
    // while `stillHeld` held (a copy held by the device cannot end then).
    std::atomic<bool> closed{false}, closedWhileHeld{false};
    std::atomic<qint64> bytesOnDeviceAtClose{-1};
    void startAndCloseWhen(const std::function<bool()> &ready, const std::function<bool()> &stillHeld,
        const std::function<void()> &afterwards)
    {
        std::thread closer([&] {
            waitUntil(ready, 30s, "the moment to close the window");
            QMetaObject::invokeMethod(
                form,
                [&, stillHeld] {
                    form->close();
                    closedWhileHeld = stillHeld();
                    bytesOnDeviceAtClose = medium.bytesOnDevice();
                    closed = true;
                },
                Qt::QueuedConnection);
            waitUntil([&] { return closed.load(); }, 30s, "the window to handle the close");
            afterwards();
        });
        f.expectStartEndedByTheClose(60s);
        closer.join();
        EXPECT_TRUE(closed);
    }
};

} // namespace

// The card reader stops answering in the middle of the copy: the window still goes at once on a
// close request, and nothing incomplete carries a final name.
TEST_F(ClosingOnSlowCard, ACloseWhileTheCardHangsEndsAtOnce)
{
    startMedium(0);
    if (HasFatalFailure() || IsSkipped())
        return;
    loadWindow();
    f.fs.aheadOfDevice = 1 << 20; // the copy soon waits for the device
    ASSERT_TRUE(medium.pause());
    startAndCloseWhen([&] { return medium.stats().held > 0; }, [&] { return medium.stats().paused; },
        [&] { medium.resume(); });
    EXPECT_TRUE(closedWhileHeld) << "the close waited for the hung card";
    EXPECT_TRUE(f.ui.programEnded);
    EXPECT_FALSE(form->isVisible());
    for (const QString &name : namedFiles(medium.card() + "/From_PC"))
        EXPECT_EQ(TempTree::read(medium.card() + "/From_PC/" + name), TempTree::read(pc.path(name)))
            << name.toStdString();
}

// The flush of a slow stick takes a while (all the data waits in the cache): a close while the
// medium is being written ends the program at once as well, and never says "Done.".
TEST_F(ClosingOnSlowCard, ACloseDuringTheFlushEndsAtOnce)
{
    startMedium(2 << 20);
    if (HasFatalFailure() || IsSkipped())
        return;
    loadWindow();
    f.fs.aheadOfDevice = 64 << 20; // all of it in the cache: only a flush writes the medium
    const qint64 before = medium.bytesOnDevice();
    startAndCloseWhen([&] { return medium.bytesOnDevice() - before > (1 << 20); },
        [&] { return medium.bytesOnDevice() >= 0; }, [] {});
    EXPECT_LT(bytesOnDeviceAtClose - before, 8 << 20) << "the close waited for the whole flush";
    EXPECT_TRUE(f.ui.boxes.empty()); // never "Done."
}

// Closing during the byte count or the walk of a folder tree stops the run there: no folder is
// made and no file copied after the close, and the file being written leaves no temporary file.
TEST(ClosingDuringARun, TheCountAndTheWalkStopAtTheClose)
{
    CardImage card(CardImage::Kind::ExFat);
    if (!card.ready())
        HALVORIX_SKIP_WITHOUT(card.whyNot().toStdString());
    TempTree pc;
    for (int i = 0; i < 60; ++i)
        pc.write(QString("tree/f%1/a.txt").arg(i, 2, 10, QChar('0')), "a");
    for (bool duringTheCount : {true, false}) {
        FormFixture f;
        f.loadCopyingToCard(card.path(), pc.path("tree/"));
        // The close comes during the count, or with the first file the walk copies (in its own
        // thread, so the walk cannot run ahead meanwhile).
        std::atomic<bool> asked{false};
        const auto closeAndWait = [&](CopySession &session) {
            if (!asked.exchange(true))
                f.closeFrom(session);
        };
        if (duringTheCount)
            f.fs.beforeMeasure = closeAndWait;
        else {
            f.fs.filesInFlight = 1;
            f.fs.beforeEachChunk = closeAndWait;
        }
        f.expectStartEndedByTheClose(60s);
        const QDir copied(card.path("From_PC/tree"));
        if (duringTheCount)
            EXPECT_FALSE(QFile::exists(card.path("From_PC"))) << "the run went on after the close";
        else { // only the folder of the file being written at the close, and nothing in it
            EXPECT_EQ(copied.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
            EXPECT_EQ(filesBelow(card.path("From_PC")), QStringList()) << "left on the card";
        }
        QDir(card.path("From_PC")).removeRecursively();
    }
}
