// Pointer shapes: the window's own (0 arrow, 11 busy, 99 hand) and the rule each control applies
// when the mouse moves over it.
#include "app/Form1.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace halvorix {

void Form1::installPointerRules()
{
    // Every control reports its mouse moves to the window, which applies the rule of that
    // control: the arrow over the surfaces, the hand over buttons, nothing elsewhere.
    for (QWidget *surface : std::initializer_list<QWidget *>{this, Frame1, Frame2, Frame3, ListView1,
             ListView1->viewport(), ListView1->header()->viewport(), Text1})
        pointerRules_.insert(surface, PointerRule::Arrow);
    for (QWidget *button : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6})
        pointerRules_.insert(button, PointerRule::Hand);
    setMouseTracking(true);
    installEventFilter(this);
    for (QWidget *control : findChildren<QWidget *>()) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }
}

void Form1::setMousePointer(int shape)
{
    mousePointer_ = shape;
    applyPointerShape();
}

void Form1::applyPointerShape()
{
    const bool busy = mousePointer_ == kPointerBusy;
    QCursor cursor(Qt::ArrowCursor);
    if (busy)
        cursor = QCursor(Qt::WaitCursor);
    else if (mousePointer_ == kPointerHand)
        cursor = customCursor_.value_or(QCursor(Qt::PointingHandCursor));
    setCursor(cursor);
    const QHeaderView *header = ListView1->header();
    for (QWidget *control : findChildren<QWidget *>()) {
        // The window's shape covers every control, but the arrow and the hand leave a text box
        // its I-beam and the list's header its resize pointer over a column divider (the header
        // sets that itself, only on a header without a pointer of its own), so that a user sees
        // where to type and where to drag. The busy pointer covers them all.
        if (busy) { // NOLINT(bugprone-branch-clone): the busy pointer first, over every control
            control->setCursor(cursor);
        } else if (const auto *edit = qobject_cast<QLineEdit *>(control)) {
            control->setCursor(edit->isReadOnly() ? Qt::ArrowCursor : Qt::IBeamCursor);
        } else if (control == header || control->parentWidget() == header) {
            control->unsetCursor(); // the list's shape, or the header's own over a divider
        } else {
            control->setCursor(cursor);
        }
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);
    const PointerRule rule = pointerRules_.value(watched, PointerRule::LeaveAlone);
    if (mousePointer_ != kPointerBusy && rule != PointerRule::LeaveAlone) {
        const int wanted = rule == PointerRule::Hand ? kPointerHand : kPointerDefault;
        if (mousePointer_ != wanted)
            setMousePointer(wanted);
    }
    // Each control answers for itself: a move a control ignores must not reach the frame behind
    // it. Moves without a button pressed serve nothing else, so they end here; the header alone
    // needs them, to show its resize pointer over a column divider.
    if (watched == ListView1->header()->viewport())
        return false;
    const auto *move = static_cast<QMouseEvent *>(event);
    return move->buttons() == Qt::NoButton;
}

} // namespace halvorix
