// The slow-medium harness itself: what the copy tests rely on when they hang a card or count the
// bytes on it. Behaviour only; how fast it runs is measured in bench/, never asserted here.
#include "support/SlowMedium.h"
#include "support/Deadline.h"
#include "support/RealMedia.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace halvorix::test;
using namespace std::chrono_literals;

namespace {

// Small and fast: the harness's behaviour does not depend on the rate.
constexpr int kSizeMb = 32;
constexpr qint64 kRate = 64 << 20;

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

// Writes a file on the card and flushes the card, so its bytes are on the device.
bool writeFlushed(const QString &path, const QByteArray &data)
{
    const OpenFile file(path);
    return file.write(data) && ::syncfs(file.fd) == 0;
}

struct DeviceRead {
    QByteArray data;
    int error = 0; // the read's errno
};

// Reads a card file's bytes from the device: the file's own pages and the loop device's cache,
// through which the FUSE card drivers read, are dropped first.
DeviceRead readFromDevice(SlowMedium &medium, const QString &path, qint64 offset = 0, qint64 size = -1)
{
    const OpenFile file(path, O_RDONLY);
    struct stat st { };
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0)
        return {{}, errno};
    EXPECT_EQ(::posix_fadvise(file.fd, 0, 0, POSIX_FADV_DONTNEED), 0);
    EXPECT_EQ(medium.dropDeviceCache().toStdString(), "");
    QByteArray data(size < 0 ? st.st_size - offset : size, '\0');
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::pread(file.fd, data.data() + done, size_t(data.size() - done), offset + done);
        if (n <= 0)
            return {data.left(done), n < 0 ? errno : 0};
        done += n;
    }
    return {data, 0};
}

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

// A hung reader: the flush of a written file does not return while the device is paused, and
// nothing reaches the device meanwhile; after the resume it returns and the data counts on the
// device. After a remount (the card's cache gone) it is read back from the device intact. Stopping
// a paused medium with unflushed data on the card flushes that to the image on the way down,
// leaves no mount, loop device or process, and a second stop is harmless.
// fusefat passes no fsync to its device, so a vfat card is flushed as a whole.
TEST_P(SlowMediumCard, FlushesAreHeldWhilePausedCountedOnTheDeviceAndStopLeavesNothingBehind)
{
    const bool wholeCard = std::string_view(GetParam()) == "vfat";
    const QByteArray photo = uniqueBytes(1, 3 << 20), note = uniqueBytes(2, 1000);
    ASSERT_TRUE(QDir().mkpath(medium.card() + "/DCIM/100CARD"));
    const qint64 before = medium.bytesOnDevice();
    {
        const OpenFile file(medium.card() + "/DCIM/100CARD/IMG_0001.JPG");
        ASSERT_TRUE(file.write(photo));
        ASSERT_TRUE(OpenFile(medium.card() + "/note.txt").write(note));
        ASSERT_TRUE(medium.pause());
        EXPECT_TRUE(medium.stats().paused);
        const qint64 pausedAt = medium.bytesOnDevice();
        std::future<int> flush = std::async(std::launch::async,
            [&] { return (wholeCard ? ::syncfs(file.fd) : ::fsync(file.fd)) == 0 ? 0 : errno; });
        const struct Resume { // before the flush is waited for: a failing test never leaves it held
            SlowMedium &medium;
            ~Resume() { medium.resume(); }
        } resume{medium};
        ASSERT_TRUE(waitUntil([&] { return medium.stats().held > 0; }, 10s, "the flush to reach the device"));
        EXPECT_EQ(flush.wait_for(300ms), std::future_status::timeout) << "the flush returned while paused";
        EXPECT_EQ(medium.bytesOnDevice(), pausedAt) << "bytes reached a paused device";
        ASSERT_TRUE(medium.resume());
        ASSERT_EQ(flush.wait_for(60s), std::future_status::ready) << "still held after the resume";
        EXPECT_EQ(flush.get(), 0);
        EXPECT_FALSE(medium.stats().paused);
        ASSERT_EQ(::syncfs(file.fd), 0) << strerror(errno);
    }
    EXPECT_GE(medium.bytesOnDevice() - before, photo.size() + note.size());

    ASSERT_EQ(medium.remount().toStdString(), "");
    const qint64 readBefore = medium.stats().read;
    EXPECT_TRUE(TempTree::read(medium.card() + "/DCIM/100CARD/IMG_0001.JPG") == photo);
    EXPECT_TRUE(TempTree::read(medium.card() + "/note.txt") == note);
    EXPECT_GE(medium.stats().read - readBefore, photo.size()) << "read from a cache, not from the device";

    const QByteArray unflushed = uniqueBytes(3, 1 << 20);
    ASSERT_TRUE(OpenFile(medium.card() + "/unflushed.bin").write(unflushed));
    ASSERT_TRUE(medium.pause());
    const QString left = medium.leftovers().join('\n');
    // What the check below must not find any more, found while it is up.
    EXPECT_TRUE(left.contains("mount ") && left.contains("loop device") && left.contains("process"))
        << left.toStdString();
    EXPECT_EQ(medium.stop().toStdString(), "");
    EXPECT_TRUE(medium.leftovers().isEmpty()) << medium.leftovers().join('\n').toStdString();
    EXPECT_EQ(medium.stop().toStdString(), "");
    // A small file on a card this empty lies in the image as written.
    EXPECT_TRUE(TempTree::read(medium.imageStore()).contains(unflushed)) << "it never reached the image";
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

class LyingCard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const QString why = SlowMedium::unavailableReason("exfat"); !why.isEmpty())
            HALVORIX_SKIP_WITHOUT(why.toStdString());
        ASSERT_EQ(medium.start(kSizeMb, 0, "exfat").toStdString(), "");
    }
    SlowMedium medium;
};

// A card with a fake capacity: a file written past the real size lands on an earlier one, which
// then reads back as the later file. A write stored with a bit flipped reads back with exactly
// the flipped bits changed.
TEST_F(LyingCard, WritesPastTheRealCapacityOverwriteEarlierFilesAndFlippedWritesReadBackChanged)
{
    const QByteArray first = uniqueBytes(4, 4 << 20), second = uniqueBytes(5, 4 << 20);
    ASSERT_TRUE(writeFlushed(medium.card() + "/first.bin", first));
    const qint64 at = medium.offsetInImage(first);
    ASSERT_GE(at, 0);
    // Real up to the end of the first file: the next file is allocated past it, and wraps onto it.
    ASSERT_TRUE(medium.setCapacity(at + first.size(), at));
    ASSERT_TRUE(writeFlushed(medium.card() + "/second.bin", second));
    EXPECT_EQ(medium.offsetInImage(first), -1) << "the first file is still on the device";
    EXPECT_EQ(medium.offsetInImage(second), at);
    EXPECT_TRUE(readFromDevice(medium, medium.card() + "/first.bin").data == second);
    EXPECT_TRUE(readFromDevice(medium, medium.card() + "/second.bin").data == second);

    ASSERT_TRUE(medium.setCapacity(0, 0));
    ASSERT_TRUE(medium.flipWrites(1, 64 << 10, 0)); // data writes only
    const QByteArray third = uniqueBytes(6, 2 << 20);
    ASSERT_TRUE(writeFlushed(medium.card() + "/third.bin", third));
    ASSERT_TRUE(medium.flipWrites(0, 0, 0));
    const QByteArray back = readFromDevice(medium, medium.card() + "/third.bin").data;
    ASSERT_EQ(back.size(), third.size());
    qint64 changed = 0;
    for (qsizetype i = 0; i < back.size(); ++i) {
        if (back[i] != third[i]) {
            ++changed;
            EXPECT_EQ(back[i] ^ third[i], 1) << "at " << i;
        }
    }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(changed, medium.stats().flipped);
}

// A read armed to fail COUNT times fails (exfat-fuse passes the device's EIO on) until exactly
// COUNT failures are served, then succeeds with the right bytes; a bad block fails every time
// until it is cleared. A read() of the card costs several failures at the device (the caches and
// the driver retry): COUNT 5 makes at least the first read() fail.
TEST_F(LyingCard, ArmedReadsFailTheirCountThenSucceedAndABadBlockAlwaysFails)
{
    const QByteArray data = uniqueBytes(7, 4 << 20);
    const QString path = medium.card() + "/photo.jpg";
    ASSERT_TRUE(writeFlushed(path, data));
    const qint64 at = medium.offsetInImage(data);
    ASSERT_GE(at, 0);
    constexpr qint64 kMiB = 1 << 20;

    ASSERT_TRUE(medium.failReads(at + kMiB + 4096, 5));
    const DeviceRead failed = readFromDevice(medium, path, kMiB, kMiB);
    EXPECT_EQ(failed.error, EIO);
    DeviceRead retried;
    for (int attempt = 0; attempt < 10; ++attempt) {
        retried = readFromDevice(medium, path, kMiB, kMiB);
        if (retried.error == 0)
            break;
        EXPECT_EQ(retried.error, EIO);
    }
    EXPECT_EQ(retried.error, 0);
    EXPECT_TRUE(retried.data == data.mid(kMiB, kMiB));
    EXPECT_EQ(medium.stats().readFailures, 5);

    ASSERT_TRUE(medium.failReads(at + 3 * kMiB, SlowMedium::kAlways));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const qint64 before = medium.stats().readFailures;
        EXPECT_EQ(readFromDevice(medium, path, 3 * kMiB, kMiB).error, EIO);
        EXPECT_GT(medium.stats().readFailures, before);
    }
    ASSERT_TRUE(medium.clearReadFailures());
    EXPECT_TRUE(readFromDevice(medium, path).data == data);
}
