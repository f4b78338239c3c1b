#include "copy/ModCopy.h"
#include "platform/AppError.h"
#include "platform/PosixFileSystem.h"
#include "support/TempTree.h"

#include <QDirIterator>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace halvorix;
using namespace halvorix::test;

namespace {

const QDateTime kOld = QDateTime(QDate(2019, 6, 1), QTime(12, 30, 15), Qt::UTC);

// Every file below `root`, relative, with its content and modification time.
std::map<QString, std::pair<QByteArray, qint64>> snapshot(const QString &root)
{
    std::map<QString, std::pair<QByteArray, qint64>> files;
    QDirIterator it(
        root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[path.mid(root.size())]
            = {TempTree::read(path), QFileInfo(path).lastModified().toMSecsSinceEpoch() / 1000};
    }
    return files;
}

bool hasTemporaryFiles(const QString &root)
{
    QDirIterator it(root, {".halvorix-*"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    return it.hasNext();
}

// A small tmpfs, for a full or read-only destination. Needs root; skipped elsewhere.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const QString &at, const char *options) : at_(at)
    {
        mounted_ = ::mount("tmpfs", at.toUtf8().constData(), "tmpfs", 0, options) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted_)
            ::umount2(at_.toUtf8().constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool remountReadOnly()
    {
        return ::mount("tmpfs", at_.toUtf8().constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0;
    }

private:
    QString at_;
    bool mounted_ = false;
};

// Every engine test runs each way a file can be written: unnamed then linked by its handle,
// unnamed then linked through /proc (where the direct way is refused), and under a hidden
// temporary name then renamed (as on a FAT card).
enum class WriteWay { UnnamedLinkedDirectly, UnnamedLinkedThroughProc, TemporaryName };

void takeWay(CopySession &session, WriteWay way)
{
    session.unnamedFiles = way != WriteWay::TemporaryName;
    session.directLinkRefused = way == WriteWay::UnnamedLinkedThroughProc;
}

class CopyEngine : public ::testing::TestWithParam<WriteWay> {
protected:
    TempTree card, results;
    PosixFileSystem fs{"/"};
    CopySession session;

    void SetUp() override
    {
        takeWay(session, GetParam());
        TempTree::setModified(card.write("IMG_0001.JPG", QByteArray(300000, 'x')), kOld);
        TempTree::setModified(card.write(".hidden.dat", "secret"), kOld);
        TempTree::setModified(card.write("DCIM/100CANON/IMG_0002.JPG", QByteArray(70000, 'y')), kOld);
        TempTree::setModified(card.write("DCIM/100CANON/IMG_0003.JPG", ""), kOld);
        card.mkdir("MISC/empty");
    }
};

} // namespace

TEST_P(CopyEngine, CardTreeArrivesExactlyWithTimesAndTheSourceNeverChanges)
{
    const auto before = snapshot(card.path());
    fs.measure(card.path("*"), true, session);
    EXPECT_EQ(session.bytesTotal.load(), 300000 + 6 + 70000);
    fs.copyMatchingFiles(card.path("*.*"), results.path() + "/", session);
    EXPECT_EQ(fs.copyMatchingFolders(card.path("*"), results.path() + "/", session), 2);
    fs.flushDestinations(session);
    EXPECT_EQ(snapshot(results.path()), before);
    EXPECT_EQ(snapshot(card.path()), before);
    EXPECT_TRUE(QFileInfo(results.path("MISC/empty")).isDir());
    EXPECT_EQ(session.bytesDone.load(), session.bytesTotal.load());
    EXPECT_TRUE(session.failures().empty());
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

TEST_P(CopyEngine, ExistingFilesAreReplaced)
{
    results.write("IMG_0001.JPG", "old and shorter");
    results.write("DCIM/100CANON/IMG_0002.JPG", "old");
    fs.copyMatchingFiles(card.path("*.*"), results.path() + "/", session);
    fs.copyMatchingFolders(card.path("*"), results.path() + "/", session);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), QByteArray(300000, 'x'));
    EXPECT_EQ(TempTree::read(results.path("DCIM/100CANON/IMG_0002.JPG")), QByteArray(70000, 'y'));
}

// Files are created with their permissions when the creation mask allows it and set again
// otherwise; either way they arrive exactly, and the count of files done is right.
TEST_P(CopyEngine, PermissionsArriveExactlyWhateverTheCreationMask)
{
    const std::vector<std::pair<QString, mode_t>> modes
        = {{"private.txt", 0600}, {"shared.txt", 0666}, {"tool.sh", 0755}, {"DCIM/odd.txt", 0471}};
    for (const auto &[name, mode] : modes)
        ::chmod(card.write(name, "x").toUtf8().constData(), mode);
    fs.copyMatchingFiles(card.path("*.*"), results.path() + "/", session);
    fs.copyMatchingFolders(card.path("*"), results.path() + "/", session);
    for (const auto &[name, mode] : modes) {
        struct stat st { };
        ASSERT_EQ(::stat(results.path(name).toUtf8().constData(), &st), 0) << name.toStdString();
        EXPECT_EQ(st.st_mode & 07777, mode) << name.toStdString();
    }
    EXPECT_EQ(session.filesCopied.load(), 4 + 4);
    if (GetParam() == WriteWay::UnnamedLinkedDirectly && ::geteuid() == 0) {
        EXPECT_FALSE(session.directLinkRefused.load()); // a privileged process may link directly
    }
}

TEST_P(CopyEngine, OneUnreadableFileDoesNotStopTheRestAndIsNamed)
{
    session.beforeFile = [&](const QString &source) {
        if (source.endsWith("IMG_0002.JPG"))
            throw AppError(kPermissionDenied, "Permission denied: " + source);
    };
    try {
        fs.copyMatchingFolders(card.path("*"), results.path() + "/", session);
        FAIL() << "the step must fail once";
    } catch (const AppError &e) {
        EXPECT_TRUE(e.description().startsWith("Permission denied: "));
    }
    EXPECT_TRUE(QFile::exists(results.path("DCIM/100CANON/IMG_0003.JPG")));
    EXPECT_FALSE(QFile::exists(results.path("DCIM/100CANON/IMG_0002.JPG")));
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, card.path("DCIM/100CANON/IMG_0002.JPG"));
    EXPECT_EQ(session.failures()[0].reason, "Permission denied");
}

TEST_P(CopyEngine, RealUnreadableFileAsAnUnprivilegedUser)
{
    ::chmod(card.path().toUtf8().constData(), 0755);
    ::chmod(card.path("IMG_0001.JPG").toUtf8().constData(), 0000);
    ::chmod(card.path(".hidden.dat").toUtf8().constData(), 0644);
    ::chmod(results.path().toUtf8().constData(), 0777);
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to an unprivileged user";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        PosixFileSystem real("/");
        CopySession s;
        takeWay(s, GetParam());
        try {
            real.copyMatchingFiles(card.path("*.*"), results.path() + "/", s);
            ::_exit(3); // must fail once
        } catch (const AppError &) {
        }
        const bool ok = s.failures().size() == 1 && s.failures()[0].reason == "Permission denied"
            && QFile::exists(results.path(".hidden.dat")) && !QFile::exists(results.path("IMG_0001.JPG"));
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

TEST_P(CopyEngine, AFullDestinationLeavesTheReplacedFileIntactAndNoTemporaryFile)
{
    SmallFileSystem small(results.path(), "size=256k");
    if (!small.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    results.write("IMG_0001.JPG", "the previous copy");
    EXPECT_THROW(fs.copyMatchingFiles(card.path("*.*"), results.path() + "/", session), AppError);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "the previous copy");
    EXPECT_EQ(TempTree::read(results.path(".hidden.dat")), "secret");
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].reason, "No space left on device");
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

TEST_P(CopyEngine, AReadOnlyDestinationFailsEveryItemClearly)
{
    SmallFileSystem small(results.path(), "size=1m");
    if (!small.mounted() || !small.remountReadOnly())
        GTEST_SKIP() << "mounting a read-only tmpfs needs root";
    EXPECT_THROW(fs.copyMatchingFiles(card.path("*.*"), results.path() + "/", session), AppError);
    EXPECT_THROW(fs.copyMatchingFolders(card.path("*"), results.path() + "/", session), AppError);
    EXPECT_EQ(session.failures().size(), 4u); // two files, two folders
    EXPECT_EQ(session.failures()[0].reason, "Read-only file system");
}

TEST_P(CopyEngine, AResultsFolderOnTheCardIsNeverCopiedIntoItself)
{
    const QString inside = card.mkdir("Results") + "/";
    EXPECT_THROW(fs.copyMatchingFolders(card.path("*"), inside, session), AppError);
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, card.path("Results"));
    EXPECT_TRUE(session.failures()[0].reason.startsWith("Cannot copy a folder into itself"));
    EXPECT_TRUE(QFile::exists(card.path("Results/DCIM/100CANON/IMG_0002.JPG")));
    EXPECT_FALSE(QFile::exists(card.path("Results/Results")));
}

TEST_P(CopyEngine, FromACardLinksStayLinksAndLeadNowhere)
{
    TempTree outside;
    outside.write("private/secret.txt");
    ASSERT_TRUE(QFile::link(outside.path("private"), card.path("DCIM/away")));
    ASSERT_TRUE(QFile::link(card.path("DCIM"), card.path("DCIM/100CANON/loop")));
    session.followLinks = false;
    fs.copyMatchingFolders(card.path("*"), results.path() + "/", session);
    EXPECT_TRUE(QFileInfo(results.path("DCIM/away")).isSymLink());
    EXPECT_EQ(QFileInfo(results.path("DCIM/away")).symLinkTarget(), outside.path("private"));
    EXPECT_TRUE(QFileInfo(results.path("DCIM/100CANON/loop")).isSymLink());
    EXPECT_TRUE(session.failures().empty());
}

TEST_P(CopyEngine, ToACardLinksAreFollowedOnceAndPipesFail)
{
    TempTree source, target;
    source.write("album/photo.jpg", "pixels");
    source.write("shared/doc.txt", "words");
    ASSERT_TRUE(QFile::link(source.path("shared"), source.path("album/shared-link")));
    ASSERT_TRUE(QFile::link(source.path("album"), source.path("album/loop")));
    ASSERT_EQ(::mkfifo(source.path("album/pipe").toUtf8().constData(), 0600), 0);
    session.followLinks = true;
    EXPECT_THROW(fs.copyMatchingFolders(source.path("album"), target.path() + "/", session), AppError);
    EXPECT_EQ(TempTree::read(target.path("album/photo.jpg")), "pixels");
    EXPECT_EQ(TempTree::read(target.path("album/shared-link/doc.txt")), "words");
    EXPECT_FALSE(QFileInfo(target.path("album/shared-link")).isSymLink());
    EXPECT_FALSE(QFile::exists(target.path("album/loop/loop")));
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, source.path("album/pipe"));
}

TEST_P(CopyEngine, NothingMatchingIsNoFolderButAFailureForFiles)
{
    TempTree empty;
    EXPECT_EQ(fs.copyMatchingFolders(empty.path("*"), results.path() + "/", session), 0);
    EXPECT_THROW(fs.copyMatchingFiles(empty.path("*.*"), results.path() + "/", session), AppError);
    EXPECT_TRUE(session.failures().empty());
}

TEST_P(CopyEngine, SingleFileCopyFailsForMissingSourcesAndRecordsThem)
{
    EXPECT_THROW(fs.copyFile(card.path("gone.jpg"), results.path("gone.jpg"), session), AppError);
    CopyFileIgnoringErrors(fs, card.path("also-gone.jpg"), results.path("x"), session);
    ASSERT_EQ(session.failures().size(), 2u);
    EXPECT_EQ(session.failures()[1].reason, "No such file or directory");
    fs.copyFile(card.path("IMG_0001.JPG"), results.path("copy.jpg"), session);
    EXPECT_EQ(QFileInfo(results.path("copy.jpg")).lastModified(), kOld);
    EXPECT_THROW(fs.copyFile(card.path("IMG_0001.JPG"), card.path("IMG_0001.JPG"), session), AppError);
    EXPECT_EQ(TempTree::read(card.path("IMG_0001.JPG")), QByteArray(300000, 'x'));
}

INSTANTIATE_TEST_SUITE_P(WriteWays, CopyEngine,
    ::testing::Values(
        WriteWay::UnnamedLinkedDirectly, WriteWay::UnnamedLinkedThroughProc, WriteWay::TemporaryName),
    [](const ::testing::TestParamInfo<WriteWay> &param) {
        switch (param.param) {
        case WriteWay::UnnamedLinkedDirectly:
            return "UnnamedLinkedDirectly";
        case WriteWay::UnnamedLinkedThroughProc:
            return "UnnamedLinkedThroughProc";
        default:
            return "TemporaryNameRenamed";
        }
    });

TEST(ClosingWarning, ListsTwentyThenCountsTheRest)
{
    std::vector<CopyFailure> failures;
    for (int i = 1; i <= 23; ++i)
        failures.push_back({QString("/card/f%1").arg(i), "Permission denied"});
    const QString text = closingWarningText(failures);
    const QStringList lines = text.split('\r');
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[0], "Done, but 23 item(s) could not be copied:");
    EXPECT_EQ(lines[1], "/card/f1 (Permission denied)");
    EXPECT_EQ(lines[20], "/card/f20 (Permission denied)");
    EXPECT_EQ(lines[21], "and 3 more.");
    EXPECT_EQ(closingWarningText({{"/a", "gone"}}), "Done, but 1 item(s) could not be copied:\r/a (gone)");
}
