#include "core/MainModule.h"
#include "core/AppError.h"
#include "platform/posix/Machine.h"
#include "support/FakeUi.h"
#include "support/TempTree.h"

#include <QTime>
#include <gtest/gtest.h>
#include <map>

using namespace halvorix;
using namespace halvorix::test;

TEST(AppTitleSet, DropsLastWordAndMoreWhileOverForty)
{
    EXPECT_EQ(AppTitleSet("Halvorix"), "Halvorix");
    EXPECT_EQ(AppTitleSet("Card Copy Tool"), "Card Copy");
    // 50 characters of short words: words go from the end until at most 40 remain.
    const QString fifty = "ab cd ef gh ij kl mn op qr st uv wx yz ab cd ef gh";
    ASSERT_EQ(fifty.size(), 50);
    const QString title = AppTitleSet(fifty);
    EXPECT_LE(title.size(), 40);
    EXPECT_EQ(title, "ab cd ef gh ij kl mn op qr st uv wx yz");
    EXPECT_EQ(AppTitleSet(QString(60, 'x')).size(), 40);
}

TEST(FileExists, FileOrFolderAndIsExistingFolderOnlyForFolders)
{
    TempTree tree;
    Machine fs("/");
    EXPECT_TRUE(FileExists(fs, tree.write("a.txt")));
    EXPECT_TRUE(FileExists(fs, tree.mkdir("folder")));
    EXPECT_FALSE(FileExists(fs, tree.path("missing")));
    EXPECT_FALSE(FileExists(fs, tree.path("missing/deeper/file")));
    EXPECT_TRUE(IsExistingFolder(fs, tree.path("folder/")));
    EXPECT_FALSE(IsExistingFolder(fs, tree.path("a.txt")));
    EXPECT_FALSE(IsExistingFolder(fs, tree.path("missing/")));
}

TEST(ToBoolean, ClassicConversionRules)
{
    for (const char *text : {"True", "TRUE", "1", "-1"})
        EXPECT_TRUE(toBoolean(text)) << text;
    for (const char *text : {"false", "0"})
        EXPECT_FALSE(toBoolean(text)) << text;
    EXPECT_THROW(toBoolean("garbage"), AppError);
    EXPECT_THROW(toBoolean(""), AppError);
}

// Only a draw of seven opens the page, and only when there is an address; the draw is made anyway.
TEST(HomePageOpen, OpensOnDrawSevenOnlyAndNeverWithoutAnAddress)
{
    const QString address = "https://cards.example.net/";
    FakeUi ui;
    for (int draw : {1, 6, 8, 100})
        HomePageOpen(
            ui, [draw] { return draw; }, address);
    int draws = 0;
    HomePageOpen(
        ui, [&] { return ++draws, 7; }, QString());
    EXPECT_EQ(draws, 1);
    EXPECT_TRUE(ui.programsRun.empty());
    HomePageOpen(
        ui, [] { return 7; }, address);
    ASSERT_EQ(ui.programsRun.size(), 1u);
    EXPECT_EQ(ui.programsRun[0].first, "xdg-open");
    EXPECT_EQ(ui.programsRun[0].second, QStringList{address});
}

// Every second of a day draws a number from 1 to 100, each of them about as often: the page opens
// on about one start in a hundred. A start draws its own second's number.
TEST(HomePageOpen, EachSecondOfTheDayDrawsOneToHundredEvenly)
{
    std::map<int, int> seconds; // draw -> seconds of the day that draw it
    for (int second = 0; second < 24 * 3600; ++second)
        ++seconds[drawForSecond(second)];
    ASSERT_EQ(seconds.size(), 100u);
    EXPECT_EQ(seconds.begin()->first, 1);
    EXPECT_EQ(seconds.rbegin()->first, 100);
    for (const auto &[draw, count] : seconds) // 864 each on average
        EXPECT_TRUE(count > 600 && count < 1150) << draw << " is drawn in " << count << " seconds";

    for (int attempt = 0; attempt < 3; ++attempt) { // a start at the turn of a second tries again
        const int before = QTime::currentTime().msecsSinceStartOfDay() / 1000;
        const int draw = drawFromTimeOfDay();
        if (QTime::currentTime().msecsSinceStartOfDay() / 1000 != before)
            continue;
        EXPECT_EQ(draw, drawForSecond(before));
        return;
    }
    FAIL() << "the second changed during each of three draws";
}
