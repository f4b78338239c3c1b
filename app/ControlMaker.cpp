#include "app/ControlMaker.h"

#include "app/Twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>
#include <functional>

namespace halvorix {

namespace {

// Font metrics differ from the designer's, and DejaVu Sans (drawn where the designed font's
// metric twin is missing) is wider still. A caption that would not fit its room is set
// narrower, never clipped and never moved: a little tighter first, then condensed, then a
// pixel or two smaller, whichever fits first.
void fitCaption(QWidget *control, int room, const std::function<int()> &needed)
{
    const QFont base = control->font();
    auto fits = [&] { return needed() <= room; };
    for (int spacing = 99; spacing >= 92 && !fits(); --spacing) {
        QFont tighter = base;
        tighter.setLetterSpacing(QFont::PercentageSpacing, spacing);
        control->setFont(tighter);
    }
    for (int smaller = 0; smaller <= 2 && !fits(); ++smaller) {
        for (int stretch = smaller == 0 ? 95 : 100; stretch >= 80 && !fits(); stretch -= 5) {
            QFont narrower = base;
            narrower.setPointSizeF(base.pointSizeF() - 0.75 * smaller);
            narrower.setStretch(stretch);
            control->setFont(narrower);
        }
    }
}

} // namespace

ControlMaker::ControlMaker(const QFont &designed) : designed_(designed), buttonFont_(designed)
{
    buttonFont_.setPointSizeF(11.25);
}

void ControlMaker::place(QWidget *control, int left, int top, int width, int height) const
{
    if (!control->testAttribute(Qt::WA_SetFont))
        control->setFont(designed_);
    control->setGeometry(tw(left), tw(top), tw(width), tw(height));
}

QGroupBox *ControlMaker::frame(
    QWidget *window, const char *name, const QString &caption, int l, int t, int w, int h) const
{
    auto *box = new QGroupBox(caption, window);
    box->setObjectName(QLatin1String(name));
    place(box, l, t, w, h);
    return box;
}

QRadioButton *ControlMaker::option(
    const char *name, QWidget *parent, const QString &caption, int l, int t, int w, int h) const
{
    auto *button = new QRadioButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    place(button, l, t, w, h);
    // Its neighbour leaves it no room to grow.
    fitCaption(button, button->width(), [button] { return button->sizeHint().width(); });
    return button;
}

QLabel *ControlMaker::label(
    int index, QWidget *parent, const QString &caption, int l, int t, int w, int h, int upTo) const
{
    auto *text = new QLabel(caption, parent);
    text->setObjectName(QStringLiteral("Label1_%1").arg(index));
    text->setTextFormat(Qt::PlainText); // a caption is what it says, never markup
    place(text, l, t, w, h);
    const int room = std::max(text->width(), tw(upTo - l) - 4);
    fitCaption(text, room, [text] { return text->sizeHint().width(); });
    text->resize(std::clamp(text->sizeHint().width(), text->width(), room), text->height());
    return text;
}

QComboBox *ControlMaker::combo(const char *name, QWidget *parent, int l, int t, int w, int h) const
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(false);
    place(box, l, t, w, h);
    return box;
}

QLineEdit *ControlMaker::textBox(const char *name, QWidget *parent, int l, int t, int w, int h) const
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    place(edit, l, t, w, h);
    return edit;
}

QPushButton *ControlMaker::pushButton(const char *name, QWidget *parent, const QString &caption, int l, int t,
    int w, int h, const QString &other) const
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(buttonFont_);
    place(button, l, t, w, h);
    // The caption fits inside the button's frame and the style's button margin on either side.
    const int margins = 2
        * (button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
            + button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
    fitCaption(button, button->width(), [button, caption, other, margins] {
        const QFontMetrics metrics = button->fontMetrics();
        return std::max(metrics.horizontalAdvance(caption), metrics.horizontalAdvance(other)) + margins;
    });
    return button;
}

} // namespace halvorix
