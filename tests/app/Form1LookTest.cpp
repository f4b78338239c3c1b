#include "platform/qt/QtUi.h"
#include "support/FormFixture.h"
#include "support/ModalDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

namespace {

// The font a widget is drawn with, as far as the eye can tell.
std::string described(const QFont &font)
{
    const QFontInfo info(font);
    return QStringLiteral("%1 %2pt weight %3")
        .arg(info.family())
        .arg(info.pointSizeF())
        .arg(info.weight())
        .toStdString();
}

} // namespace

// Arial, bold, 9 point (buttons 11.25); a caption that would not fit may be set up to 1.5 point
// smaller (see Form1Fonts).
TEST(Form1Look, ControlsKeepTheDesignedFonts)
{
    FormFixture f;
    Form1 &form = f.load();
    form.ensurePolished();
    for (QWidget *control : form.findChildren<QWidget *>()) {
        if (control->parentWidget() != form.Frame1 && control->parentWidget() != form.Frame2
            && control->parentWidget() != form.Frame3 && control->parentWidget() != &form)
            continue;
        const QFont font = control->font();
        EXPECT_EQ(font.family(), "Arial") << control->objectName().toStdString();
        EXPECT_TRUE(font.bold()) << control->objectName().toStdString();
        const double size = qobject_cast<QPushButton *>(control) ? 11.25 : 9.0;
        EXPECT_LE(font.pointSizeF(), size) << control->objectName().toStdString();
        EXPECT_GE(font.pointSizeF(), size - 1.5) << control->objectName().toStdString();
    }
}

TEST(Form1Look, MessageBoxesAndFileDialogsOfTheWindowUseTheDesktopFont)
{
    FormFixture f;
    Form1 &form = f.load();
    QtUi ui;
    ui.setOwner(&form);
    const std::string desktop = described(QApplication::font());
    ASSERT_NE(desktop, described(form.font())); // else this test could not tell them apart

    bool seen = false;
    std::vector<std::pair<std::string, std::string>> shown; // object name, font
    auto collect = [&](QWidget *dialog) {
        dialog->ensurePolished();
        for (QWidget *part : dialog->findChildren<QWidget *>()) {
            if (qobject_cast<QLabel *>(part) || qobject_cast<QAbstractButton *>(part)
                || qobject_cast<QAbstractItemView *>(part))
                shown.emplace_back(part->objectName().toStdString(), described(part->font()));
        }
    };
    whenModalOpens<QMessageBox>([&](QMessageBox *box) { collect(box); }, seen);
    ui.msgBox("Done.", kStyleOk);
    ASSERT_TRUE(seen);
    whenModalOpens<QFileDialog>([&](QFileDialog *dialog) { collect(dialog); }, seen);
    ui.pickFolder(&form, "Please select folder:");
    ASSERT_TRUE(seen);

    ASSERT_GT(shown.size(), 5u);
    for (const auto &[name, font] : shown)
        EXPECT_EQ(font, desktop) << name;
}

namespace {

// One caption against the room its control gives it, in pixels.
struct CaptionFit {
    QString control, text;
    int needed = 0, room = 0;
    QString overlaps; // the control it runs into, if any
};

QString nameOf(const QWidget *widget)
{
    return widget->objectName();
}

// Every caption of the window as the user sees it now, measured in the font each control
// actually resolved to, with the style's own margins.
std::vector<CaptionFit> measureCaptions(Form1 &form)
{
    std::vector<CaptionFit> fits;
    for (QGroupBox *frame : {form.Frame1, form.Frame2, form.Frame3}) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label
            = frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        const int needed = label.left() + frame->fontMetrics().horizontalAdvance(frame->title());
        fits.push_back({nameOf(frame), frame->title(), needed, frame->width(), {}});
    }
    for (QRadioButton *option : {form.Option1, form.Option2, form.Option3, form.Option4})
        fits.push_back({nameOf(option), option->text(), option->sizeHint().width(), option->width(), {}});
    const std::pair<QLabel *, QWidget *> labelled[]
        = {{form.Label1[1], form.Combo1}, {form.Label1[0], form.Combo2}, {form.Label1[2], form.Text1},
            {form.Label1[3], form.Combo3}, {form.Label1[4], form.Text3}};
    for (const auto &[label, control] : labelled) {
        CaptionFit fit{nameOf(label), label->text(), label->sizeHint().width(), label->width(), {}};
        if (label->geometry().right() >= control->x())
            fit.overlaps = nameOf(control);
        fits.push_back(fit);
    }
    for (QPushButton *button : form.findChildren<QPushButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        // The frame and the style's button margin on either side of the text.
        const int margins = 2
            * (button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button)
                + button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button));
        fits.push_back({nameOf(button), button->text(),
            button->fontMetrics().horizontalAdvance(button->text()) + margins, button->width(), {}});
    }
    return fits;
}

} // namespace

// Run by CTest once per font a machine may have (see tests/CMakeLists.txt): HALVORIX_EXPECT_FONT
// names the family "Arial" must resolve to there, so a missing font cannot pass unnoticed.
TEST(Form1Fonts, EveryCaptionFitsItsControlInTheFontActuallyResolved)
{
    FormFixture f;
    Form1 &form = f.load();
    form.show(); // laid out and polished as on screen
    const QString resolved = QFontInfo(form.Label1[0]->font()).family();
    const QString expected = qEnvironmentVariable("HALVORIX_EXPECT_FONT");
    if (!expected.isEmpty()) {
        ASSERT_EQ(resolved.toStdString(), expected.toStdString()) << "the font this run is meant to measure";
    }
    std::vector<CaptionFit> fits = measureCaptions(form);
    form.Option4->setChecked(true); // the folder captions of the two add buttons
    for (const CaptionFit &fit : measureCaptions(form)) {
        if (fit.control == "PushButton4" || fit.control == "PushButton5")
            fits.push_back(fit);
    }
    ASSERT_EQ(fits.size(), 3u + 4u + 5u + 6u + 2u);
    for (const CaptionFit &fit : fits) {
        const std::string where = QStringLiteral("%1 \"%2\" in %3 at scale %4")
                                      .arg(fit.control, fit.text, resolved)
                                      .arg(form.devicePixelRatioF())
                                      .toStdString();
        EXPECT_LE(fit.needed, fit.room)
            << where << ": clipped (" << fit.needed << " px in " << fit.room << ")";
        EXPECT_EQ(fit.overlaps.toStdString(), "") << where << ": runs under its neighbour";
    }
}
