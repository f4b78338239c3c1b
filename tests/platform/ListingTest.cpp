#include "core/AppError.h"
#include "core/Wildcard.h"
#include "platform/posix/Machine.h"
#include "support/TempTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace halvorix;
using namespace halvorix::test;
using ::testing::AllOf;
using ::testing::Property;
using ::testing::Throws;

namespace {
QStringList names(const std::vector<ListedName> &listed)
{
    QStringList out;
    for (const auto &n : listed)
        out << n.name;
    out.sort();
    return out;
}
} // namespace

TEST(Wildcard, DriveLetterRules)
{
    EXPECT_TRUE(matchesWildcard(u"*.*", u"README")); // dotless names too
    EXPECT_TRUE(matchesWildcard(u"*.*", u".hidden"));
    EXPECT_TRUE(matchesWildcard(u"IMG_????.JPG", u"IMG_0001.JPG"));
    EXPECT_FALSE(matchesWildcard(u"IMG_????.JPG", u"IMG_001.JPG"));
    EXPECT_TRUE(matchesWildcard(u"Photos*", u"Photos 2019"));
    EXPECT_FALSE(matchesWildcard(u"photos*", u"Photos")); // case matters on Linux
    EXPECT_TRUE(matchesWildcard(u"a*b*c", u"aXXbYYbZc"));
    EXPECT_FALSE(matchesWildcard(u"a*b*c", u"aXXbYY"));
    EXPECT_EQ(splitPattern("/a/b/*.*").folder, "/a/b/");
    EXPECT_EQ(splitPattern("/a/b/*.*").namePattern, "*.*");
}

class Listing : public ::testing::Test {
protected:
    TempTree tree;
    Machine fs{"/"};
    void SetUp() override
    {
        tree.write("plain.txt");
        tree.write("README");
        tree.write(".hidden");
        tree.mkdir("folder");
        tree.mkdir(".hiddenfolder");
        QFile::link(tree.path("folder"), tree.path("linkToFolder"));
        QFile::link(tree.path("plain.txt"), tree.path("linkToFile"));
        QFile::link(tree.path("nowhere"), tree.path("dangling"));
        ASSERT_EQ(::mkfifo(tree.path("pipe").toUtf8().constData(), 0600), 0);
    }
};

TEST_F(Listing, MasksDecideHiddenAndFolderEntriesAndAPlainNameIsTheEntryItself)
{
    const QString all = tree.path("*.*");
    EXPECT_EQ(names(fs.list(all, 0)), QStringList({"README", "dangling", "linkToFile", "pipe", "plain.txt"}));
    EXPECT_EQ(names(fs.list(all, 6)),
        QStringList({".hidden", "README", "dangling", "linkToFile", "pipe", "plain.txt"}));
    EXPECT_EQ(names(fs.list(all, 16)),
        QStringList({"README", "dangling", "folder", "linkToFile", "linkToFolder", "pipe", "plain.txt"}));
    EXPECT_EQ(names(fs.list(tree.path("*.txt"), 0)), QStringList({"plain.txt"}));
    EXPECT_TRUE(fs.list(tree.path("missing/*.*"), 6).empty());
    // A pattern without a wildcard names the entry itself.
    EXPECT_EQ(names(fs.list(tree.path("folder"), 16)), QStringList{"folder"});
    EXPECT_EQ(names(fs.list(tree.path("folder/"), 16)), QStringList{"folder"});
    EXPECT_TRUE(fs.list(tree.path("folder"), 0).empty());
    EXPECT_TRUE(fs.list(tree.path(".hiddenfolder"), 16).empty()); // hidden needs bit 2
    EXPECT_EQ(fs.list("/", 16).size(), 1u);
}

TEST_F(Listing, OpenProbeAnswersWithoutOpeningAnything)
{
    for (const ListedName &n : fs.list(tree.path("*.*"), 6)) {
        const bool expected
            = n.name == "plain.txt" || n.name == "README" || n.name == ".hidden" || n.name == "linkToFile";
        EXPECT_EQ(n.opensAsFile, expected) << n.name.toStdString();
        EXPECT_EQ(fs.opensAsFile(tree.path(n.name)), expected) << n.name.toStdString();
    }
    EXPECT_FALSE(fs.opensAsFile(tree.path("folder")));
    EXPECT_FALSE(fs.opensAsFile(tree.path("missing")));
}

TEST_F(Listing, AttributesInClassicBitsAndFoldersMadeOneLevelAtATime)
{
    EXPECT_EQ(fs.attributes(tree.path("plain.txt")), kAttrArchive);
    EXPECT_EQ(fs.attributes(tree.path(".hidden")), kAttrArchive | kAttrHidden);
    EXPECT_EQ(fs.attributes(tree.path("folder")), kAttrDirectory);
    EXPECT_EQ(fs.attributes(tree.path("linkToFolder")), kAttrDirectory | kAttrReparsePoint);
    EXPECT_EQ(fs.attributes(tree.path("linkToFile")), kAttrArchive | kAttrReparsePoint);
    ::chmod(tree.path("plain.txt").toUtf8().constData(), 0444);
    EXPECT_EQ(fs.attributes(tree.path("plain.txt")), kAttrArchive | kAttrReadOnly);
    EXPECT_THAT([&] { fs.attributes(tree.path("missing")); },
        Throws<AppError>(AllOf(Property(&AppError::code, kFileNotFound),
            Property(&AppError::description, "No such file or directory: " + tree.path("missing")))));
    EXPECT_THAT([&] { fs.attributes(tree.path("nofolder/file")); },
        Throws<AppError>(Property(&AppError::code, kPathNotFound)));
    fs.createFolder(tree.path("new")); // one level
    EXPECT_TRUE(QFileInfo(tree.path("new")).isDir());
    EXPECT_THROW(fs.createFolder(tree.path("a/b")), AppError);
    EXPECT_THAT([&] { fs.createFolder(tree.path("new")); },
        Throws<AppError>(Property(&AppError::code, kFileAlreadyExists)));
}

TEST_F(Listing, SubFoldersIncludeLinksToFoldersAndSkipFiles)
{
    QStringList subs;
    fs.forEachSubFolder(tree.path(), [&](const QString &n) { subs << n; });
    subs.sort();
    EXPECT_EQ(subs, QStringList({".hiddenfolder", "folder", "linkToFolder"}));
    // A failure says why and where, in what() as in the report.
    EXPECT_THAT([&] { fs.forEachSubFolder(tree.path("missing"), [](const QString &) {}); },
        Throws<AppError>(
            AllOf(Property(&AppError::description, "No such file or directory: " + tree.path("missing")),
                Property(
                    &AppError::what, ("No such file or directory: " + tree.path("missing")).toStdString()))));
    EXPECT_EQ(
        fs.examineFolder(tree.path("folder")).identity, fs.examineFolder(tree.path("linkToFolder")).identity);
    EXPECT_EQ(fs.examineFolder(tree.path("linkToFolder")).attributes, kAttrDirectory | kAttrReparsePoint);
    EXPECT_TRUE(fs.isRootFolder("/"));
    EXPECT_FALSE(fs.isRootFolder(tree.path("folder")));
}

// A walk's level read ahead answers each folder as a read when asked does, whichever of them the
// walk leaves out, asks twice or asks out of order, and a folder that cannot be read fails alike.
TEST_F(Listing, ReadingALevelAheadAnswersAsReadingWhenAsked)
{
    tree.write("folder/inside.txt");
    tree.mkdir("folder/sub");
    const auto answer = [](auto &reader, const QString &path) {
        QStringList seen;
        try {
            reader.forEachSubFolder(
                path, [&](const QString &n) { seen << "folder " + n; },
                [&](QStringView n, bool opens) {
                    seen << n.toString() + (opens ? " opens" : " does not open");
                });
        } catch (const AppError &error) {
            seen << error.description();
        }
        seen.sort();
        return seen;
    };
    const QString root = tree.path() + "/", folder = tree.path("folder/"), missing = tree.path("missing/");
    const QString empty = tree.path(".hiddenfolder/");
    const auto ahead = fs.readFolders({root, missing, folder, empty, root, folder});
    for (const QString &path : {root, missing, empty, root, folder, folder, root})
        EXPECT_EQ(answer(*ahead, path), answer(fs, path)) << path.toStdString();
}

TEST(UndecodableNames, NeverOpenByTheirText)
{
    TempTree tree;
    const QByteArray bad = tree.path().toUtf8() + "/bad\xff\xfe.txt";
    ASSERT_EQ(::close(::open(bad.constData(), O_WRONLY | O_CREAT, 0644)), 0);
    Machine fs("/");
    const auto listed = fs.list(tree.path("*.*"), 6);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(listed[0].name.contains(QChar::ReplacementCharacter));
    EXPECT_FALSE(listed[0].opensAsFile);
    EXPECT_FALSE(fs.opensAsFile(tree.path(listed[0].name)));
}
