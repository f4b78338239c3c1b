// The slow-medium harness itself: what the copy tests rely on when they hang a card or count the
// bytes on it. Behaviour only; how fast it runs is measured in bench/, never asserted here.
#include "support/Deadline.h"
#include "support/SlowMedium.h"
#include "support/RealMedia.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace halvorix::test;
using namespace std::chrono_literals;

namespace {

// Small and fast: the harness's behaviour does not depend on the rate.
constexpr int kSizeMb = 32;
constexpr qint64 kRate = 64 << 20;

QByteArray randomBytes(qsizetype size)
{
    QList<quint32> words(size / 4 + 1);
    QRandomGenerator::global()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char *>(words.constData()), size);
}

// An open file on the card, closed however the test ends (before the medium comes down).
class OpenFile {
public:
    explicit OpenFile(const QString &path, int flags = O_WRONLY | O_CREAT | O_TRUNC)
        : fd(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644))
    {
    }
    ~OpenFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool write(const QByteArray &data) const
    {
        return ::write(fd, data.constData(), size_t(data.size())) == data.size();
    }
    const int fd;
};

// A call on its own thread, so a test can watch it being held by a paused device. The
// destructor resumes the device before joining: a failing test never leaves it stuck.
class CallOnThread {
public:
    CallOnThread(SlowMedium &medium, std::function<int()> call)
        : medium_(medium), thread_([this, call = std::move(call)] {
              result_ = call() == 0 ? 0 : errno;
              done_ = true;
          })
    {
    }
    ~CallOnThread()
    {
        medium_.resume();
        thread_.join();
    }
    bool doneWithin(std::chrono::milliseconds deadline) const
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!done_ && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(10ms);
        return done_;
    }
    int error() const { return result_; } // 0, or the call's errno

private:
    SlowMedium &medium_;
    std::atomic<bool> done_{false};
    std::atomic<int> result_{-1};
    std::thread thread_; // last: started once the flags exist
};

class SlowMediumCard : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        if (const QString why = SlowMedium::unavailableReason(GetParam()); !why.isEmpty())
            HALVORIX_SKIP_WITHOUT(why.toStdString());
        ASSERT_EQ(medium.start(kSizeMb, kRate, GetParam()).toStdString(), "");
    }
    SlowMedium medium;
};

} // namespace

// Flushed data is on the device: it counts there, and after a remount (the card's cache gone)
// it is read back from the device intact.
TEST_P(SlowMediumCard, SyncedDataCountsOnTheDeviceAndReadsBackIntactAfterARemount)
{
    const QByteArray photo = randomBytes(3 << 20);
    const QByteArray note = randomBytes(1000);
    ASSERT_TRUE(QDir().mkpath(medium.card() + "/DCIM/100CARD"));
    const qint64 before = medium.bytesOnDevice();
    {
        const OpenFile file(medium.card() + "/DCIM/100CARD/IMG_0001.JPG");
        ASSERT_TRUE(file.write(photo));
        const OpenFile small(medium.card() + "/note.txt");
        ASSERT_TRUE(small.write(note));
    }
    ASSERT_EQ(::syncfs(OpenFile(medium.card(), O_RDONLY | O_DIRECTORY).fd), 0) << strerror(errno);
    EXPECT_GE(medium.bytesOnDevice() - before, photo.size() + note.size());

    ASSERT_EQ(medium.remount().toStdString(), "");
    const qint64 readBefore = medium.stats().read;
    EXPECT_TRUE(TempTree::read(medium.card() + "/DCIM/100CARD/IMG_0001.JPG") == photo);
    EXPECT_TRUE(TempTree::read(medium.card() + "/note.txt") == note);
    EXPECT_GE(medium.stats().read - readBefore, photo.size()) << "read from a cache, not from the device";
}

// A hung reader: the flush of a written file does not return while the device is paused, and
// nothing reaches the device meanwhile; after the resume it returns and the data is there.
// fusefat passes no fsync to its device, so a vfat card is flushed as a whole.
TEST_P(SlowMediumCard, AFlushIsHeldWhilePausedAndReturnsAfterTheResume)
{
    const bool wholeCard = std::string_view(GetParam()) == "vfat";
    const QByteArray data = randomBytes(1 << 20);
    const OpenFile file(medium.card() + "/held.bin");
    ASSERT_TRUE(file.write(data));
    const qint64 before = medium.bytesOnDevice();

    ASSERT_TRUE(medium.pause());
    EXPECT_TRUE(medium.stats().paused);
    const qint64 pausedAt = medium.bytesOnDevice();
    {
        CallOnThread flush(medium, [&] { return wholeCard ? ::syncfs(file.fd) : ::fsync(file.fd); });
        ASSERT_TRUE(waitUntil([&] { return medium.stats().held > 0; }, 10s, "the flush to reach the device"));
        EXPECT_FALSE(flush.doneWithin(300ms)) << "the flush returned while the device was paused";
        EXPECT_EQ(medium.bytesOnDevice(), pausedAt) << "bytes reached a paused device";

        ASSERT_TRUE(medium.resume());
        ASSERT_TRUE(flush.doneWithin(60s)) << "the flush did not return after the resume";
        EXPECT_EQ(flush.error(), 0);
    }
    EXPECT_FALSE(medium.stats().paused);
    EXPECT_GE(medium.bytesOnDevice() - before, data.size());
}

// Stopping a paused medium with unflushed data on the card: the data is flushed to the image on
// the way down, no mount, loop device or process is left, and a second stop is harmless.
TEST_P(SlowMediumCard, StopWhilePausedFlushesAndLeavesNothingBehind)
{
    const QByteArray data = randomBytes(1 << 20);
    {
        const OpenFile file(medium.card() + "/unflushed.bin");
        ASSERT_TRUE(file.write(data));
    }
    ASSERT_TRUE(medium.pause());
    const QString left = medium.leftovers().join('\n');
    // What the check below must not find any more, found while it is up.
    EXPECT_TRUE(left.contains("mount ") && left.contains("loop device") && left.contains("process"))
        << left.toStdString();

    EXPECT_EQ(medium.stop().toStdString(), "");
    EXPECT_TRUE(medium.leftovers().isEmpty()) << medium.leftovers().join('\n').toStdString();
    EXPECT_EQ(medium.stop().toStdString(), "");
    // A fresh card puts a small file in one run: its bytes lie in the image as written.
    EXPECT_TRUE(TempTree::read(medium.imageStore()).contains(data)) << "the data never reached the image";
}

INSTANTIATE_TEST_SUITE_P(CardTypes, SlowMediumCard, ::testing::Values("ext4", "exfat", "vfat"));

// A start that fails half-way (here making the file system, after the daemon and the loop device
// are up) takes down what it put up.
TEST(SlowMedium, AFailedStartLeavesNothingBehind)
{
    if (const QString why = SlowMedium::unavailableReason("ext4"); !why.isEmpty())
        HALVORIX_SKIP_WITHOUT(why.toStdString());
    SlowMedium medium;
    const QString failure = medium.start(0, kRate, "ext4"); // an empty image: mkfs refuses it
    EXPECT_TRUE(failure.contains("mkfs")) << failure.toStdString();
    EXPECT_TRUE(medium.leftovers().isEmpty()) << medium.leftovers().join('\n').toStdString();
    EXPECT_EQ(medium.stop().toStdString(), "");
}
