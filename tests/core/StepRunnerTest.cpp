#include "core/StepRunner.h"
#include "core/AppError.h"
#include "core/ErrorReport.h"
#include "support/FakeUi.h"

#include <gtest/gtest.h>

using namespace halvorix;
using halvorix::test::FakeUi;

namespace {
const QString kLoad = "in Tesmarin2016/11/03.Form1.Form_Load ";
const QString kCopy = "in Tesmarin2016/11/03.Form1.PushButton1_Click ";
} // namespace

TEST(ErrorReport, FullAndShortFormsByteForByte)
{
    const FailureRecord failure{"Path not found: /media/CARD/DCIM", 76, 134};
    const QString address = "help@cards.example.net";
    EXPECT_EQ(applicationErrorText(kLoad, failure, ReportForm::Full, address),
        "Path not found: /media/CARD/DCIM\r\nin Tesmarin2016/11/03.Form1.Form_Load at line 134"
        "\r\rPlease email screenshot of this message to help@cards.example.net");
    EXPECT_EQ(applicationErrorText(kCopy, failure, ReportForm::Short, address),
        "Path not found: /media/CARD/DCIM\r\nin Tesmarin2016/11/03.Form1.PushButton1_Click at line 134");
    // Without a support address nobody is asked to mail anything: the full form ends at the line.
    EXPECT_EQ(applicationErrorText(kLoad, failure, ReportForm::Full, QString()),
        "Path not found: /media/CARD/DCIM\r\nin Tesmarin2016/11/03.Form1.Form_Load at line 134");
    // Shown as a warning titled "Application Error", each line break as one.
    FakeUi ui;
    ui.setApplicationTitle("Halvorix");
    ShowApplicationError(ui, kCopy, {"Disk full: /media/CARD", 61, 136}, ReportForm::Short);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].style, kStyleWarning);
    EXPECT_EQ(ui.boxes[0].title, "Application Error");
    EXPECT_EQ(ui.boxes[0].text,
        "Disk full: /media/CARD\nin Tesmarin2016/11/03.Form1.PushButton1_Click at line 136");
}

// A condition that fails runs the statements it guards.
TEST(StepRunner, TwoFailuresGiveTwoBoxesInOrderEveryLaterStepRunsAndAFailedConditionHolds)
{
    FakeUi ui;
    StepRunner run(ui, kLoad, ReportForm::Full);
    std::vector<int> ran;
    run.step(102, [&] { throw AppError(75, "first"); });
    run.step(104, [&] { ran.push_back(104); });
    run.step(106, [&] { throw AppError(53, "second"); });
    run.step(108, [&] { ran.push_back(108); });
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].rawText, applicationErrorText(kLoad, {"first", 75, 102}, ReportForm::Full));
    EXPECT_EQ(ui.boxes[1].rawText, applicationErrorText(kLoad, {"second", 53, 106}, ReportForm::Full));
    EXPECT_EQ(ran, (std::vector<int>{104, 108}));
    EXPECT_EQ(run.failureCount(), 2);
    EXPECT_TRUE(run.test(110, []() -> bool { throw AppError(57, "device gone"); }));
    EXPECT_FALSE(run.test(146, [] { return false; }));
    EXPECT_TRUE(run.test(146, [] { return true; }));
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_TRUE(ui.boxes[2].rawText.contains("at line 110"));
}

TEST(StepRunner, ForeignExceptionsAreReportedButProgramEndPassesThrough)
{
    FakeUi ui;
    StepRunner run(ui, kLoad, ReportForm::Short);
    run.step(110, [] { throw std::runtime_error("odd"); });
    EXPECT_EQ(ui.boxes.size(), 1u);
    bool resumed = false;
    run.step(112, [] { throw std::bad_alloc(); }); // memory ran out: reported, the handler goes on
    run.step(114, [&] { resumed = true; });
    EXPECT_TRUE(resumed);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].rawText, "Out of memory\r\n" + kLoad + "at line 112");
    EXPECT_THROW(run.step(116, [] { throw test::ProgramEnded{}; }), test::ProgramEnded);
}

TEST(StepRunner, TooManyFilesShowsItsOwnBoxOnceAndEndsTheHandler)
{
    FakeUi ui;
    ui.setApplicationTitle("Halvorix");
    StepRunner run(ui, "in Tesmarin2016/11/03.Form1.PushButton5_Click ", ReportForm::Full);
    run.setInterceptor([&](const FailureRecord &f) { return showTooManyFilesInstead(ui, f); });
    bool later = false;
    run.step(110, [] { throw AppError(kFileNameBufferTooSmall, "buffer"); });
    run.step(112, [&] { later = true; });
    EXPECT_FALSE(run.test(114, [] { return true; }));
    EXPECT_FALSE(later);
    EXPECT_TRUE(run.ended());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].rawText,
        "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
    EXPECT_EQ(ui.boxes[0].style, kStyleOk);
    EXPECT_EQ(ui.boxes[0].title, "Halvorix");
}
