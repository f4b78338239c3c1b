#include "platform/qt/QtUi.h"
#include "support/FormFixture.h"
#include "support/ModalDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <gtest/gtest.h>
#include <set>

using namespace halvorix;
using namespace halvorix::test;
using Form1Look = LoadedForm;
using Form1Fonts = LoadedForm;
using Form1Layout = LoadedForm;

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
// smaller (see Form1Fonts). Each control a screen reader reads has a name (a label is read as text).
TEST_F(Form1Look, ControlsKeepTheDesignedFontsAndHaveNamesForScreenReaders)
{
    form.ensurePolished();
    for (QWidget *control : form.findChildren<QWidget *>()) {
        if (control->parentWidget() != form.Frame1 && control->parentWidget() != form.Frame2
            && control->parentWidget() != form.Frame3 && control->parentWidget() != &form)
            continue; // parts inside a control (scroll bars, the list's header)
        const std::string where = control->objectName().toStdString();
        const QFont font = control->font();
        EXPECT_EQ(font.family(), "Arial") << where;
        EXPECT_TRUE(font.bold()) << where;
        const double size = qobject_cast<QPushButton *>(control) ? 11.25 : 9.0;
        EXPECT_LE(font.pointSizeF(), size) << where;
        EXPECT_GE(font.pointSizeF(), size - 1.5) << where;
        QString name = control->accessibleName();
        if (auto *button = qobject_cast<QAbstractButton *>(control); name.isEmpty() && button)
            name = button->text();
        else if (auto *frame = qobject_cast<QGroupBox *>(control); name.isEmpty() && frame)
            name = frame->title();
        EXPECT_TRUE(!name.isEmpty() || qobject_cast<QLabel *>(control)) << where;
    }
}

TEST_F(Form1Look, MessageBoxesAndFileDialogsOfTheWindowUseTheDesktopFont)
{
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
    ui.pickFolder("Please select folder:");
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

// Where a frame's caption is drawn, in the frame's coordinates.
QRect captionOf(QGroupBox *frame)
{
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    return frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
}

// Every caption of the window as the user sees it now, measured in the font each control
// actually resolved to, with the style's own margins.
std::vector<CaptionFit> measureCaptions(Form1 &form)
{
    std::vector<CaptionFit> fits;
    for (QGroupBox *frame : {form.Frame1, form.Frame2, form.Frame3}) {
        const int needed = captionOf(frame).left() + frame->fontMetrics().horizontalAdvance(frame->title());
        fits.push_back({frame->objectName(), frame->title(), needed, frame->width(), {}});
    }
    for (QRadioButton *option : {form.Option1, form.Option2, form.Option3, form.Option4})
        fits.push_back(
            {option->objectName(), option->text(), option->sizeHint().width(), option->width(), {}});
    const std::pair<QLabel *, QWidget *> labelled[]
        = {{form.Label1[1], form.Combo1}, {form.Label1[0], form.Combo2}, {form.Label1[2], form.Text1},
            {form.Label1[3], form.Combo3}, {form.Label1[4], form.Text3}};
    for (const auto &[label, control] : labelled) {
        CaptionFit fit{label->objectName(), label->text(), label->sizeHint().width(), label->width(), {}};
        if (label->geometry().right() >= control->x())
            fit.overlaps = control->objectName();
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
        fits.push_back({button->objectName(), button->text(),
            button->fontMetrics().horizontalAdvance(button->text()) + margins, button->width(), {}});
    }
    return fits;
}

} // namespace

// Run by CTest once per font a machine may have (see tests/CMakeLists.txt): HALVORIX_EXPECT_FONT
// names the family "Arial" must resolve to there, so a missing font cannot pass unnoticed.
TEST_F(Form1Fonts, EveryCaptionFitsItsControlInTheFontActuallyResolved)
{
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

namespace {

std::string named(const QWidget *control)
{
    return control->objectName().toStdString();
}

// The controls a user can see directly on `parent`, top to bottom.
std::vector<QWidget *> shownOn(const Form1 &form, QWidget *parent)
{
    std::vector<QWidget *> shown;
    for (QWidget *child : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(&form))
            shown.push_back(child);
    }
    std::stable_sort(shown.begin(), shown.end(), [](QWidget *a, QWidget *b) { return a->y() < b->y(); });
    return shown;
}

// What a user sees of the window as it stands: the direction frame at the top, the chosen
// direction's frame below it, then Start Copying and the progress bar, each within the window
// and clear of the others, and the window ending just below the bar. Inside a frame each
// control sits clear of the others, below the caption and inside the border, or wholly out of
// sight (and then out of reach of the keyboard too): never cut in half.
void expectTidy(Form1 &form, const std::string &where)
{
    QGroupBox *chosen = form.Option1->isChecked() ? form.Frame1 : form.Frame2;
    const std::vector<QWidget *> stack = shownOn(form, &form);
    std::vector<std::string> order;
    for (const QWidget *control : stack)
        order.push_back(named(control));
    ASSERT_EQ(order, (std::vector<std::string>{"Frame3", named(chosen), "PushButton1", "ProgressBar1"}))
        << where;
    const int side = form.Frame3->x();
    EXPECT_GT(side, 0) << where;
    for (size_t i = 0; i < stack.size(); ++i) {
        EXPECT_TRUE(form.rect().contains(stack[i]->geometry())) << where << ": " << named(stack[i]);
        EXPECT_EQ(form.width() - stack[i]->geometry().right() - 1, side) << where << ": " << named(stack[i]);
        if (i > 0) {
            EXPECT_GT(stack[i]->y(), stack[i - 1]->geometry().bottom()) << where << ": " << named(stack[i]);
        }
    }
    const int below = form.height() - form.ProgressBar1->geometry().bottom() - 1;
    EXPECT_GT(below, 0) << where << ": the progress bar touches the window's edge";
    EXPECT_LE(below, 2 * side) << where << ": an empty band below the progress bar";

    for (QGroupBox *frame : {form.Frame3, chosen}) {
        // The part of the frame its controls may use: inside its border and below its caption.
        const QRect area = frame->rect().adjusted(1, captionOf(frame).bottom() + 1, -1, -1);
        std::vector<QWidget *> seen;
        for (QWidget *control : shownOn(form, frame)) {
            if (!control->geometry().intersects(frame->rect())) {
                EXPECT_EQ(control->focusPolicy(), Qt::NoFocus) << where << ": " << named(control);
                continue;
            }
            EXPECT_TRUE(area.contains(control->geometry()))
                << where << ": " << named(control) << " is cut by the edge or the caption of "
                << named(frame);
            for (const QWidget *other : seen)
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << where << " in " << named(frame) << ": " << named(other) << " overlaps "
                    << named(control);
            seen.push_back(control);
        }
        EXPECT_GE(seen.size(), 2u) << where << ": " << named(frame);
    }
}

// The controls Tab reaches, from the first direction option round to it again.
std::vector<QWidget *> tabbingRound(Form1 &form)
{
    std::vector<QWidget *> visited;
    form.Option1->setFocus(Qt::TabFocusReason);
    for (int presses = 0; presses < 40; ++presses) {
        QWidget *current = QApplication::focusWidget();
        if (!current || (presses > 0 && current == form.Option1))
            break;
        visited.push_back(current);
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(current, &tab);
    }
    return visited;
}

} // namespace

TEST_F(Form1Layout, InEitherDirectionControlsStayInsideTheirFrameAndTheWindowAndClearOfEachOther)
{
    // Not shown: the window's outer height counts the title bar, which a window manager sizes;
    // until one has framed it the title bar is as designed.
    form.ensurePolished();
    expectTidy(form, "memory card to computer");
    form.Option2->setChecked(true);
    expectTidy(form, "computer to memory card");
    form.Option4->setChecked(true);
    expectTidy(form, "computer to memory card, folders");
    form.Option1->setChecked(true);
    expectTidy(form, "memory card to computer again");
}

// Names in full: the source column spans the list without a sideways scroll bar, and the
// column behind it (the row's kind) is out of sight.
TEST_F(Form1Layout, TheListShowsItsSourceColumnAcrossAndNothingElse)
{
    form.Option2->setChecked(true);
    form.show();
    const int across = form.ListView1->viewport()->width();
    EXPECT_LE(form.ListView1->columnWidth(0), across);
    EXPECT_GE(form.ListView1->columnWidth(0), across * 3 / 4);
    EXPECT_LE(form.ListView1->columnWidth(1), 1);
}

// Tab goes along a row to the right, or down to a row below, and round to the top at the end;
// every control that takes the keyboard's focus in that direction is reached once.
TEST_F(Form1Layout, TabFollowsTheOrderOnScreen)
{
    form.show();
    QApplication::setActiveWindow(&form);
    const auto onWindow
        = [&](const QWidget *control) { return QRect(control->mapTo(&form, QPoint()), control->size()); };
    for (bool cardToComputer : {true, false}) {
        (cardToComputer ? form.Option1 : form.Option2)->setChecked(true);
        const std::string where = cardToComputer ? "memory card to computer" : "computer to memory card";
        const std::vector<QWidget *> visited = tabbingRound(form);
        std::vector<QWidget *> reachable;
        for (QWidget *control : form.findChildren<QWidget *>()) {
            if (control->isVisibleTo(&form) && (control->focusPolicy() & Qt::TabFocus))
                reachable.push_back(control);
        }
        EXPECT_EQ(std::set<QWidget *>(visited.begin(), visited.end()),
            std::set<QWidget *>(reachable.begin(), reachable.end()))
            << where;
        EXPECT_EQ(visited.size(), reachable.size()) << where;
        for (size_t i = 1; i < visited.size(); ++i) {
            const QRect from = onWindow(visited[i - 1]), to = onWindow(visited[i]);
            const bool sameRow = to.top() <= from.bottom() && from.top() <= to.bottom();
            const bool along = sameRow && to.left() > from.right();
            const bool down = to.top() > from.center().y() && !sameRow;
            EXPECT_TRUE(along || down)
                << where << ": " << named(visited[i - 1]) << " to " << named(visited[i]);
        }
    }
}

// A list or text box is read out by the caption of the label beside it, and the label's
// shortcut leads to it.
TEST_F(Form1Layout, EachLabelNamesTheControlBesideIt)
{
    for (QLabel *label : form.Label1) {
        QWidget *beside = nullptr;
        for (QWidget *control : label->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QRect at = control->geometry();
            const bool sameRow
                = at.top() <= label->geometry().bottom() && label->geometry().top() <= at.bottom();
            if (control != label && sameRow && at.left() > label->geometry().right()
                && (!beside || at.left() < beside->x()))
                beside = control;
        }
        ASSERT_NE(beside, nullptr) << named(label);
        EXPECT_EQ(label->buddy(), beside) << named(label) << " is beside " << named(beside);
        EXPECT_EQ(beside->accessibleName().toStdString(), label->text().toStdString()) << named(beside);
    }
}
