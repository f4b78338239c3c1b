#pragma once

#include <QFont>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace halvorix {

// Makes the window's controls at their designed place and size, in twips, each in the designed
// font. A window with a style sheet passes no font on to its controls: each takes the designed
// font itself (push buttons have their own), so captions are measured in it from the start. A
// caption that would not fit its room is set narrower, never clipped and never moved.
class ControlMaker {
public:
    explicit ControlMaker(const QFont &designed);

    void place(QWidget *control, int left, int top, int width, int height) const;
    QGroupBox *frame(
        QWidget *window, const char *name, const QString &caption, int l, int t, int w, int h) const;
    QRadioButton *option(
        const char *name, QWidget *parent, const QString &caption, int l, int t, int w, int h) const;
    // A label may grow to the right up to a little short of the control it names (at `upTo`).
    QLabel *label(
        int index, QWidget *parent, const QString &caption, int l, int t, int w, int h, int upTo) const;
    QComboBox *combo(const char *name, QWidget *parent, int l, int t, int w, int h) const;
    QLineEdit *textBox(const char *name, QWidget *parent, int l, int t, int w, int h) const;
    // `other` is the caption the button shows in the other mode, if any: both fit.
    QPushButton *pushButton(const char *name, QWidget *parent, const QString &caption, int l, int t, int w,
        int h, const QString &other = QString()) const;

    const QFont &designed() const { return designed_; }

private:
    QFont designed_;
    QFont buttonFont_;
};

} // namespace halvorix
