#include "copy/ModCopy.h"
#include "core/AppError.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/TemporaryNames.h"
#include "support/RealMedia.h"
#include "support/TempTree.h"

#include <QDirIterator>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <fcntl.h>
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
// temporary name then renamed (as on a FAT card); and, the card's way, with each kernel call that
// moves data forced.
enum class WriteWay { UnnamedLinkedDirectly, UnnamedLinkedThroughProc, TemporaryName };

struct Way {
    WriteWay write;
    DataCall call;
    const char *name;
};

void takeWay(CopySession &session, const Way &way)
{
    session.options.unnamedFiles = way.write != WriteWay::TemporaryName;
    session.refusals.directLink = way.write == WriteWay::UnnamedLinkedThroughProc;
    session.options.dataCall = way.call;
}

class CopyEngine : public ::testing::TestWithParam<Way> {
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
    QString into() const { return results.path() + "/"; }
};

} // namespace

TEST_P(CopyEngine, CardTreeArrivesExactlyWithTimesAndTheSourceNeverChanges)
{
    const auto before = snapshot(card.path());
    fs.measure(card.path("*"), true, session);
    EXPECT_EQ(session.progress.bytesTotal.load(), 300000 + 6 + 70000);
    fs.copyMatchingFiles(card.path("*.*"), results.path() + "/", session);
    EXPECT_EQ(fs.copyMatchingFolders(card.path("*"), results.path() + "/", session), 2);
    fs.flushDestinations(session);
    EXPECT_EQ(snapshot(results.path()), before);
    EXPECT_EQ(snapshot(card.path()), before);
    EXPECT_TRUE(QFileInfo(results.path("MISC/empty")).isDir());
    EXPECT_EQ(session.progress.bytesDone.load(), session.progress.bytesTotal.load());
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
    EXPECT_EQ(session.progress.filesCopied.load(), 4 + 4);
    if (GetParam().write == WriteWay::UnnamedLinkedDirectly && ::geteuid() == 0) {
        EXPECT_FALSE(session.refusals.directLink.load()); // a privileged process may link directly
    }
}

TEST_P(CopyEngine, OneUnreadableFileDoesNotStopTheRestAndIsNamed)
{
    session.hooks.beforeFile = [&](const QString &source) {
        if (source.endsWith("IMG_0002.JPG"))
            throw AppError(kPermissionDenied, EACCES, FailedAction::Reading, source);
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
        HALVORIX_SKIP_WITHOUT("needs root to drop to an unprivileged user");
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

// A full destination is "Disk full" (61), and it is the destination that is named, not the card.
TEST_P(CopyEngine, AFullDestinationLeavesTheReplacedFileIntactAndIsNamedAsTheDestination)
{
    SmallFileSystem small(results.path(), "size=256k");
    if (!small.mounted())
        HALVORIX_SKIP_WITHOUT("mounting a small tmpfs needs root");
    results.write("IMG_0001.JPG", "the previous copy");
    session.options.filesInFlight = 1; // one after the other: the small file never meets the big one's part
    try {
        fs.copyMatchingFiles(card.path("*.*"), into(), session);
        FAIL() << "the step must fail";
    } catch (const AppError &e) {
        EXPECT_EQ(e.code(), kDiskFull);
        EXPECT_EQ(e.description(), "Disk full: " + results.path("IMG_0001.JPG"));
    }
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "the previous copy");
    EXPECT_EQ(TempTree::read(results.path(".hidden.dat")), "secret");
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, card.path("IMG_0001.JPG"));
    EXPECT_EQ(session.failures()[0].reason, "could not write " + results.path("IMG_0001.JPG") + ": Disk full");
    EXPECT_FALSE(hasTemporaryFiles(results.path()));
}

TEST_P(CopyEngine, AReadOnlyDestinationFailsEveryItemClearly)
{
    SmallFileSystem small(results.path(), "size=1m");
    if (!small.mounted() || !small.remountReadOnly())
        HALVORIX_SKIP_WITHOUT("mounting a read-only tmpfs needs root");
    EXPECT_THROW(fs.copyMatchingFiles(card.path("*.*"), into(), session), AppError);
    EXPECT_THROW(fs.copyMatchingFolders(card.path("*"), into(), session), AppError);
    ASSERT_EQ(session.failures().size(), 4u); // two files, two folders
    for (const CopyFailure &failure : session.failures()) {
        EXPECT_TRUE(failure.reason.startsWith("could not create " + results.path("")));
        EXPECT_TRUE(failure.reason.endsWith(": Read-only file system"));
    }
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
    session.options.followLinks = false;
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
    session.options.followLinks = true;
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
    fs.flushDestinations(session); // files are named once on the medium
    EXPECT_EQ(QFileInfo(results.path("copy.jpg")).lastModified(), kOld);
    EXPECT_THROW(fs.copyFile(card.path("IMG_0001.JPG"), card.path("IMG_0001.JPG"), session), AppError);
    EXPECT_EQ(TempTree::read(card.path("IMG_0001.JPG")), QByteArray(300000, 'x'));
}

// Some file systems' fast calls report the end too early: a copy that stopped there would be
// short under its final name. read() must confirm the end.
TEST_P(CopyEngine, AFastCallThatStopsEarlyIsNeverTakenForTheEnd)
{
    session.options.chunkBytes = 64 << 10;
    session.hooks.fastCallEndsAt = 100000;
    fs.copyMatchingFiles(card.path("*.*"), into(), session);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), QByteArray(300000, 'x'));
    EXPECT_EQ(session.progress.bytesDone.load(), 300000 + 6);
    EXPECT_TRUE(session.failures().empty());
}

// Two items with one name in one copy: the earlier stays and the later one is a failure named with
// its reason. What was there before the run is still replaced, and the same file listed twice is
// simply there.
TEST_P(CopyEngine, OneCopyNeverReplacesWhatItWroteItself)
{
    TempTree pc;
    pc.write("100CANON/IMG_0001.JPG", "first camera");
    pc.write("101CANON/IMG_0001.JPG", "second camera");
    pc.write("102CANON/img_0001.jpg", "third camera");
    results.write("IMG_0001.JPG", "left by an earlier run");
    session.options.followLinks = true;
    for (const char *row : {"100CANON/IMG_0001.JPG", "101CANON/IMG_0001.JPG", "102CANON/img_0001.jpg",
             "100CANON/IMG_0001.JPG"}) {
        fs.copyFile(pc.path(row), results.path(QString(row).section('/', 1)), session);
    }
    fs.flushDestinations(session); // files are named once on the medium
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "first camera");
    EXPECT_EQ(TempTree::read(results.path("img_0001.jpg")), "third camera"); // case counts here
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, pc.path("101CANON/IMG_0001.JPG"));
    EXPECT_EQ(session.failures()[0].reason,
        "could not name " + results.path("IMG_0001.JPG") + ": An item of this copy already has that name there");
    EXPECT_EQ(session.progress.filesCopied.load(), 2);
    EXPECT_FALSE(hasTemporaryFiles(results.path()));

    CopySession again; // a later run replaces what this one wrote
    takeWay(again, GetParam());
    fs.copyFile(pc.path("101CANON/IMG_0001.JPG"), results.path("IMG_0001.JPG"), again);
    fs.flushDestinations(again);
    EXPECT_EQ(TempTree::read(results.path("IMG_0001.JPG")), "second camera");
}

// The same holds inside folder trees: a sub-folder row lands beside its parent's copy, and two
// folders of one name merge, but none of their files replaces another.
TEST_P(CopyEngine, FolderTreesOfOneNameMergeWithoutReplacingEachOther)
{
    TempTree pc;
    pc.write("a/Trip/day1.jpg", "a1");
    pc.write("a/Trip/notes.txt", "from a");
    pc.write("b/Trip/day2.jpg", "b2");
    pc.write("b/Trip/notes.txt", "from b");
    session.options.followLinks = true;
    fs.copyFolder(pc.path("a/Trip"), into(), session);
    fs.copyFolder(pc.path("b/Trip/"), into(), session);
    fs.flushDestinations(session); // files are named once on the medium
    EXPECT_EQ(TempTree::read(results.path("Trip/day1.jpg")), "a1");
    EXPECT_EQ(TempTree::read(results.path("Trip/day2.jpg")), "b2");
    EXPECT_EQ(TempTree::read(results.path("Trip/notes.txt")), "from a");
    ASSERT_EQ(session.failures().size(), 1u);
    EXPECT_EQ(session.failures()[0].path, pc.path("b/Trip/notes.txt"));
}

// No name character is ever a pattern: a row for "Why?" is that folder, not "Whys" too, and a
// folder named "*" is not every folder beside it.
TEST_P(CopyEngine, FolderRowsAreExactWhateverCharactersTheirNamesHold)
{
    TempTree pc;
    pc.write("Why?/a.txt", "question");
    pc.write("Whys/b.txt", "plural");
    pc.write("*/c.txt", "star");
    pc.write("other/d.txt", "other");
    session.options.followLinks = true;
    fs.copyFolder(pc.path("Why?/"), into(), session);
    fs.copyFolder(pc.path("*"), into(), session);
    fs.flushDestinations(session);
    EXPECT_EQ(QDir(results.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList{"*", "Why?"}));
    EXPECT_EQ(TempTree::read(results.path("Why?/a.txt")), "question");
    EXPECT_EQ(TempTree::read(results.path("*/c.txt")), "star");
    fs.measureItem(pc.path("Why?"), session);
    EXPECT_EQ(session.progress.bytesTotal.load(), 8); // "question", not "plural" as well
    EXPECT_THROW(fs.copyFolder(pc.path("Wh*"), into(), session), AppError);
    EXPECT_EQ(session.failures().back().reason, "No such file or directory");
}

namespace {
QByteArray bytesPath(const QString &folder, const QByteArray &relative)
{
    return folder.toUtf8() + '/' + relative;
}
bool writeBytesFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
    ::close(fd);
    return ok;
}
QByteArray readBytesFile(const QByteArray &path)
{
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<missing>";
    return file.readAll();
}
} // namespace

// Latin-1 names from an old camera are not UTF-8: they are copied under the very same bytes, both
// from a card and to one, never re-encoded into names that do not exist.
TEST_P(CopyEngine, NamesThatAreNotUtf8ArriveByteForByte)
{
    const QByteArray folder = "caf\xe9";
    const QByteArray file = "bad\xff.jpg";
    ASSERT_EQ(::mkdir(bytesPath(card.path(), folder).constData(), 0755), 0);
    ASSERT_TRUE(writeBytesFile(bytesPath(card.path(), file), "latin root"));
    ASSERT_TRUE(writeBytesFile(bytesPath(card.path(), folder + "/photo\xe9.jpg"), "latin inside"));
    fs.measure(card.path("*"), true, session);
    fs.copyMatchingFiles(card.path("*.*"), into(), session);
    fs.copyMatchingFolders(card.path("*"), into(), session);
    EXPECT_TRUE(session.failures().empty());
    EXPECT_EQ(readBytesFile(bytesPath(results.path(), file)), "latin root");
    EXPECT_EQ(readBytesFile(bytesPath(results.path(), folder + "/photo\xe9.jpg")), "latin inside");
    EXPECT_EQ(session.progress.bytesTotal.load(), session.progress.bytesDone.load());

    TempTree target; // and the other way, a listed folder holding such names
    CopySession toCard;
    takeWay(toCard, GetParam());
    toCard.options.followLinks = true;
    fs.copyFolder(card.path("DCIM"), target.path() + "/", toCard);
    fs.flushDestinations(toCard);
    ASSERT_TRUE(writeBytesFile(bytesPath(card.path(), "DCIM/" + file), "inside DCIM"));
    fs.copyFolder(card.path("DCIM"), target.path() + "/", toCard);
    fs.flushDestinations(toCard);
    EXPECT_EQ(readBytesFile(bytesPath(target.path(), "DCIM/" + file)), "inside DCIM");
    EXPECT_TRUE(toCard.failures().empty());
}

// A copy ended by force, or a card pulled in the middle of one, leaves its temporary file behind:
// the next run that writes into that folder removes it, and only what no live copy writes.
TEST_P(CopyEngine, TemporaryFilesOfEndedCopiesAreRemovedByTheNextRun)
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const pid_t live = ::fork(); // another copy of this program, still at work
    if (live == 0) {
        ::close(gate[1]);
        char c;
        while (::read(gate[0], &c, 1) < 0 && errno == EINTR) { }
        ::_exit(0);
    }
    ::close(gate[0]);
    TemporaryNames earlier; // an earlier run of this very process
    const QString ownEarlier = QString::fromUtf8(earlier.next());
    const QString endedName = QString(".halvorix-%1-7.part").arg(ended);
    const QString liveName = QString(".halvorix-%1-7.part").arg(live);
    for (const QString &name : {ownEarlier, endedName, liveName, QString(".halvorix-notes.txt")}) {
        results.write(name, "leftover");
        results.write("DCIM/100CANON/" + name, "leftover");
    }
    CopySession later;
    takeWay(later, GetParam());
    fs.copyMatchingFiles(card.path("*.*"), into(), later);
    fs.copyMatchingFolders(card.path("*"), into(), later);
    ::close(gate[1]);
    ::waitpid(live, nullptr, 0);
    for (const QString &folder : {QString(), QString("DCIM/100CANON/")}) {
        EXPECT_FALSE(QFile::exists(results.path(folder + ownEarlier)));
        EXPECT_FALSE(QFile::exists(results.path(folder + endedName)));
        EXPECT_TRUE(QFile::exists(results.path(folder + liveName)));
        EXPECT_TRUE(QFile::exists(results.path(folder + ".halvorix-notes.txt"))); // not one of ours
    }
    EXPECT_TRUE(later.failures().empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, CopyEngine,
    ::testing::Values(Way{WriteWay::UnnamedLinkedDirectly, DataCall::Automatic, "UnnamedLinkedDirectly"},
        Way{WriteWay::UnnamedLinkedThroughProc, DataCall::Automatic, "UnnamedLinkedThroughProc"},
        Way{WriteWay::TemporaryName, DataCall::Automatic, "TemporaryNameRenamed"},
        Way{WriteWay::TemporaryName, DataCall::RangeCopy, "CopyFileRangeForced"},
        Way{WriteWay::TemporaryName, DataCall::Sendfile, "SendfileForced"},
        Way{WriteWay::TemporaryName, DataCall::ReadWrite, "ReadWriteForced"}),
    [](const ::testing::TestParamInfo<Way> &param) { return std::string(param.param.name); });

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
